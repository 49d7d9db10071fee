description = HTC Star Trek, a clamshell Smartphone
oem_info = HTC Star Trek
platform_type = SmartPhone
os_version = 5.2.1236
processor_core = ARM926
processor_name = OMAP850
display = 240x320
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
system_library = HTCcamera.dll
system_library = JPEGENC.dll
storage_card = Storage Card, 1G
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000001e
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000003c
