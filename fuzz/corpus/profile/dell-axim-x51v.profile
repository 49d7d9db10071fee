description = Dell Axim X51v: unknown to the model table, no camera; a PXA270 found by the processor query
oem_info = Dell Axim X51v
platform_type = PocketPC
os_version = 5.1.1700
processor_core = XScale
processor_name = PXA270
display = 480x640
bits_per_pixel = 16
frame_buffer = raw
touch_screen = yes
microphone = yes
memory = 64M
camera = none
storage_card = SD Card, 1G
storage_card = CF Card, 2G
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000003c
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000012c
