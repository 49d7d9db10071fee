// Multimedia: waveform audio input and PlaySoundW.
#pragma once

#include <windows.h>
#include <wavein.h>
#include <playsound.h>
