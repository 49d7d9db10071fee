description = HTC PU10, a VGA clamshell Pocket PC
oem_info = HTC PU10
platform_type = PocketPC
os_version = 5.1.1700
processor_core = XScale
processor_name = PXA270
display = 480x640
bits_per_pixel = 16
frame_buffer = raw
touch_screen = yes
microphone = yes
memory = 128M
camera = vendor
camera_largest = 1280x1024
camera_native = 1280x1024
camera_rate = 15
camera_mounting = 1
system_library = HTCcamera.dll
system_library = JPEGENC.dll
storage_card = Storage Card, 1G
storage_card = CF Card, 4G
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000003c
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000012c
