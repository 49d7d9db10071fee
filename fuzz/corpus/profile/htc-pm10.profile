description = HTC Pocket PC with the camera behind the LCM1: driver
oem_info = HTC PM10
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
camera = lcm
camera_largest = 1280x960
camera_native = 1280x960
camera_rate = 15
camera_mounting = 1
system_library = JPEGENC.dll
storage_card = Storage Card, 1G
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000003c
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000012c
