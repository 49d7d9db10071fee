description = SPV C550, a Smartphone
oem_info = SPV C550
platform_type = SmartPhone
os_version = 5.1.1700
processor_core = ARM926
processor_name = OMAP850
display = 176x220
bits_per_pixel = 16
frame_buffer = gxinfo
touch_screen = no
microphone = yes
memory = 64M
camera = vendor
camera_largest = 1280x1024
camera_native = 352x288
camera_rate = 15
camera_mounting = 1
camera_range = 5 0-255 120
camera_range = 6 0-9 4
camera_range = 7 0-9 4
camera_chroma_swapped = yes
system_library = HTCcamera.dll
system_library = JPEGENC.dll
storage_card = Storage Card, 512M
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000001e
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000003c
