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
# DirectShow: the filter graph manager and the video capture filter in \Windows, registered as
# the handset's ROM registers them, and the camera the capture filter opens.
system_library = fgraph.dll
system_library = capfilter.dll
registry = [HKEY_CLASSES_ROOT\CLSID\{E436EBB3-524F-11CE-9F53-0020AF0BA770}\InprocServer32] @="\\Windows\\fgraph.dll"
registry = [HKEY_CLASSES_ROOT\CLSID\{F80B6E95-B55A-4619-AEC4-A10EAEDE980C}\InprocServer32] @="\\Windows\\capfilter.dll"
dshow_device = CAM1:
dshow_capture = 320x240 UYVY
dshow_capture = 640x480 UYVY
dshow_capture = 176x144 UYVY
dshow_still = 1280x1024 UYVY
dshow_still = 640x480 UYVY
