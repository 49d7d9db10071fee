description = BenQ P51, a Pocket PC phone
oem_info = BenQ P51
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
camera = directshow
camera_largest = 1280x1024
camera_native = 640x480
camera_rate = 15
camera_mounting = 1
storage_card = Storage Card, 512M
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000003c
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000012c
