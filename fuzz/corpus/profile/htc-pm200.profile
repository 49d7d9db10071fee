description = HTC Pocket PC phone PM200
oem_info = HTC PM200
platform_type = PocketPC
os_version = 5.1.1700
processor_core = ARM926
processor_name = OMAP850
display = 240x320
bits_per_pixel = 16
frame_buffer = gxinfo
touch_screen = yes
microphone = yes
memory = 64M
camera = vendor
camera_largest = 1280x960
camera_native = 640x480
camera_rate = 15
camera_mounting = 1
camera_chroma_swapped = yes
system_library = HTCcamera.dll
system_library = JPEGENC.dll
storage_card = Storage Card, 512M
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000003c
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000012c
