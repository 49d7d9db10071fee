description = Pocket LOOX 720, a VGA Pocket PC
oem_info = Pocket LOOX 720
platform_type = PocketPC
os_version = 4.21.1088
processor_core = XScale
processor_name = PXA272
display = 480x640
bits_per_pixel = 16
frame_buffer = raw
touch_screen = yes
microphone = yes
memory = 128M
camera = vendor
camera_largest = 1280x960
camera_native = 1280x960
camera_rate = 15
camera_mounting = 1
camera_range = 5 0-255 120
system_library = HTCcamera.dll
storage_card = Storage Card, 1G
storage_card = CF Card, 1G
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000003c
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000012c
