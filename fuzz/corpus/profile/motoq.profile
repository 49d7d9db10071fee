description = Motorola Q, a landscape keyboard Smartphone
oem_info = MotoQ
platform_type = SmartPhone
os_version = 5.1.1700
processor_core = ARM926
processor_name = OMAP1710
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
storage_card = Storage Card, 512M
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "BatteryTimeout"=dword:0000001e
registry = [HKEY_CURRENT_USER\ControlPanel\Backlight] "ACTimeout"=dword:0000003c
# DirectShow: the filter graph manager and the video capture filter in \Windows, registered as
# the handset's ROM registers them, and the camera the capture filter opens.
system_library = fgraph.dll
system_library = capfilter.dll
registry = [HKEY_CLASSES_ROOT\CLSID\{E436EBB3-524F-11CE-9F53-0020AF0BA770}\InprocServer32] @="\\Windows\\fgraph.dll"
registry = [HKEY_CLASSES_ROOT\CLSID\{F80B6E95-B55A-4619-AEC4-A10EAEDE980C}\InprocServer32] @="\\Windows\\capfilter.dll"
dshow_device = CAM1:
dshow_capture = 320x240 UYVY
dshow_capture = 176x144 UYVY
dshow_capture = 640x480 UYVY
dshow_still = 1280x1024 UYVY
dshow_still = 640x480 UYVY
