// The handset shell's home screen: what the display shows while no program holds it. It moves
// (a clock bar and a bouncing square over a field of tiles) so that a screen recording sees
// change, and can be frozen so that it sees none. The device's control API; product code never
// includes it.
//
// HANDSET_HOME_SCREEN: "animated" (the default), "frozen" (the picture of time 0, unchanging) or
// "off" (the shell draws nothing).
#pragma once

#include <cstdint>

namespace device {

// The home screen at t milliseconds into a width × height RGB 565 picture, rows packed.
void drawHomeScreen(uint16_t *pixels, int width, int height, uint32_t t);

// The shell comes up with the handset program (the process entry) and goes when it ends.
void startHomeScreen();
void stopHomeScreen();
// A program takes (true) or gives back (false) the display; the home screen shows while none
// holds it.
void holdDisplay(bool held);
// Whether a program holds the display (else the home screen is up).
bool displayHeld();
// Stops the picture changing (true) or lets it move again (false).
void freezeHomeScreen(bool frozen);

}  // namespace device
