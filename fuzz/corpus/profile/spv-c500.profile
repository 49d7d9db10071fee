description = SPV C500, a candybar Smartphone
oem_info = SPV C500
platform_type = SmartPhone
os_version = 4.21.1088
processor_core = ARM925
processor_name = OMAP730
display = 176x220
bits_per_pixel = 16
frame_buffer = gxinfo
touch_screen = no
microphone = yes
memory = 32M
camera = vendor
camera_largest = 640x480
camera_native = 352x288
camera_rate = 15
camera_mounting = 1
camera_chroma_swapped = yes
system_library = HTCcamera.dll
system_library = JPEGENC.dll
storage_card = Storage Card, 256M
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000001e
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000003c
