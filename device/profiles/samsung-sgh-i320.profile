description = Samsung SGH-i320, a thin Smartphone
oem_info = SAMSUNG SGH-i320
platform_type = SmartPhone
os_version = 5.1.1700
processor_core = ARM926
processor_name = OMAP2420
display = 320x240
bits_per_pixel = 16
frame_buffer = gxinfo
touch_screen = no
microphone = yes
memory = 64M
camera = directshow
camera_largest = 1280x1024
camera_native = 640x480
camera_rate = 15
camera_mounting = 1
storage_card = Storage Card, 1G
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000001e
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000003c
