#!/usr/bin/env python3
"""Writes the seed corpus of each fuzz target (fuzz/corpus/TARGET/) from the project's own files:
the shipped profiles, language file and fonts, the demonstration's input script, and small
hand-made registry text, WAV images, overlay set-ups and stream sequences. Run it again after
changing a shipped file; the seeds are committed."""
import os
import shutil
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def put(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def read(*path):
    with open(os.path.join(ROOT, *path), "rb") as f:
        return f.read()


def wav(rate, channels, bits, samples, riff_size=None):
    block = channels * bits // 8
    data = bytes((i * 37) & 0xFF for i in range(samples * block))
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body) if riff_size is None else riff_size) + body


def main():
    if os.path.isdir(CORPUS):
        shutil.rmtree(CORPUS)

    # The registry file as the store writes it, one in UTF-16LE, and the profiles' registry lines.
    reg = ("Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_CURRENT_USER\\ControlPanel\\Backlight]\r\n"
           "\"ACTimeout\"=dword:0000012c\r\n\"BatteryTimeout\"=dword:0000003c\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Vendrasol\\Pelkavo]\r\n"
           "@=\"default\"\r\n\"Name\"=\"\u00e9t\u00e9 \\\"quoted\\\" \\\\ path\"\r\n"
           "\"Bytes\"=hex:01,02,03,ff,\\\r\n  00,10\r\n"
           "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
           "\"Odd\"=hex(1):41,00,42\r\n")
    put("registry", "store.reg", reg)
    put("registry", "utf16.reg", b"\xFF\xFE" + reg.encode("utf-16-le"))
    put("registry", "regedit4.reg", "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID\\{E436EBB3-524F-11CE-9F53-0020AF0BA770}\\InprocServer32]\n"
                                    "@=\"\\\\Windows\\\\fgraph.dll\"\n[-HKEY_USERS\\Gone]\n; a comment\n")

    # Every shipped profile, and one using each kind of value.
    profiles = os.path.join(ROOT, "device", "profiles")
    for name in sorted(os.listdir(profiles)):
        if name.endswith(".profile"):
            put("profile", name, read("device", "profiles", name))

    # The demonstration's script and one with every action.
    put("input_script", "demo.keys", read("device", "desktop", "demo.keys"))
    put("input_script", "every_action.keys",
        "# every action\n500 key Action\n250ms down up\n1.5s up 0x26\n0 key a\n0 key 7\n0 key SOFT2\n"
        "2s tap 10 300\n0 deactivate\n0 activate\n0 switch\n0 front\n0 freeze\n0 unfreeze\n"
        "0 screenshot  shots/after photo.png \n0 close\n")

    # WAV images: the first byte picks the flags (SND_NODEFAULT, SND_LOOP, SND_NOSTOP).
    put("playsound", "pcm8_mono.wav", b"\x01" + wav(8000, 1, 8, 400))
    put("playsound", "pcm16_stereo.wav", b"\x00" + wav(22050, 2, 16, 300))
    put("playsound", "short_riff_size.wav", b"\x03" + wav(11025, 1, 16, 200, riff_size=40))
    put("playsound", "not_riff.bin", b"\x02RIFX\x00\x00\x00\x00WAVE")

    # Font pages: shape byte (page, size, orientation), width, height, overlay rows, then the file's
    # pixels after its 62-byte header.
    for page in (0, 1):
        pixels = read("assets", "font%d.bmp" % page)[62:]
        put("font", "font%d_upright" % page, bytes([page ^ 1, 95, 40, 32]) + b"\xff" * 128 + pixels)
        put("font", "font%d_turned_doubled" % page, bytes([(page ^ 1) | 2 | 4, 70, 95, 0]) + pixels)
    put("language", "language.txt", read("assets", "language.txt"))
    put("config", "capture_window.txt", "CaptureWindow: 0,26,240,294\r\nFlashSound: \\Windows\\flash.wav")
    put("config", "sound_only.txt", "FlashSound: \\Storage Card\\click.wav\n")

    # Handset paths in UTF-16LE.
    for name, path in [("documents", "\\My Documents\\My Pictures\\IMG_0001.jpg"),
                       ("card", "\\Storage Card\\DCIM\\..\\clip.avi"),
                       ("program", "\\Program Files\\Pelkavo\\language.txt"),
                       ("system_library", "\\Windows\\jpegenc.dll"),
                       ("slashes", "//sd karte/./x/../y"),
                       ("host", "relative/host/path"),
                       ("latin1", "\\My Documents\\BILD\u00c4.JPG")]:
        put("paths", name, path.encode("utf-16-le"))

    # Overlay set-ups, each followed by register writes (count, then register index and value).
    for name, setup in [("yuv420", "2:yuv420:176x144+32+48"), ("rgb16", "1:rgb16:64x48+0+0"),
                        ("ycbcr", "2:ycbcr:32x32+8+8"), ("rgb19p", "2:rgb19p:100x20+1000+1000")]:
        put("lcd", name, setup.encode() + b"\n" + b"\x01\x05" + struct.pack("<I", 0x8000_0000 | 31 | 31 << 10 | 2 << 20))
    put("lcd", "base_only", b"none\n\x02\x00" + struct.pack("<I", 239) + b"\x01" + struct.pack("<I", 319))

    # UTF-8 and UTF-16 text.
    put("utf", "ascii", "Storage Card\\My Documents")
    put("utf", "latin_greek_cjk", "\u00e9t\u00e9 \u03b1\u03b2 \u65e5\u672c \U0001F600")
    put("utf", "malformed", b"\xc3\x28 \xe2\x82 \xf0\x9f\x98 \xff \xed\xa0\x80 \xc0\x80")

    # Stream sequences: mode byte, then operations (see volume_streams.cpp).
    def op(code, *fields):
        return bytes([code]) + b"".join(fields)
    u16 = lambda v: struct.pack("<H", v)
    u32 = lambda v: struct.pack("<I", v & 0xFFFFFFFF)
    put("volume_streams", "fill_and_rewrite", b"\x00" + op(0, u16(30000)) + op(0, u16(30000)) + op(0, u16(30000)) +
        op(3, u32(0)) + op(2, u16(100)) + op(6, b"R") + op(5, u32(-10)) + op(2, u16(50)))
    put("volume_streams", "seek_past_end", b"\x00" + op(0, u16(1000)) + op(5, u32(100000)) + op(0, u16(10)) +
        op(4, u32(-200000)) + op(5, u32(20000)) + op(1, u16(5000), b"\x10") + op(8) + op(2, u16(2000)))
    put("volume_streams", "append", b"\x01" + op(0, u16(500)) + op(3, u32(0)) + op(0, u16(20)) + op(2, u16(600)) +
        op(1, u16(0), b"\x00") + op(7) + op(8) + op(6, b"x"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
