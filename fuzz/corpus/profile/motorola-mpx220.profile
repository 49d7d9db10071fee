description = Motorola MPx220, a clamshell Smartphone with the camera behind DSC1:
oem_info = Motorola MPx220
platform_type = SmartPhone
os_version = 4.21.1088
processor_core = XScale
processor_name = PXA255
display = 176x220
bits_per_pixel = 16
frame_buffer = gxinfo
touch_screen = no
microphone = yes
memory = 32M
camera = dsc
camera_largest = 1280x960
camera_native = 1280x960
camera_rate = 15
camera_mounting = 1
storage_card = Storage Card, 256M
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000001e
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000003c
