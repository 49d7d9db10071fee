description = HTC Pocket PC phone PH10C
oem_info = HTC PH10C
platform_type = PocketPC
os_version = 5.1.1700
processor_core = XScale
processor_name = PXA270
display = 240x320
bits_per_pixel = 16
frame_buffer = raw
touch_screen = yes
microphone = yes
memory = 64M
camera = vendor
camera_largest = 1280x960
camera_native = 1280x960
camera_rate = 15
camera_mounting = 1
system_library = HTCcamera.dll
system_library = JPEGENC.dll
storage_card = Storage Card, 512M
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000001e
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:00000078
