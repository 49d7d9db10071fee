// The main window's state that the controller, capture control and the window procedure
// share: the current key list (the hardware buttons behind the eight logical keys, for the
// screen orientation and the quarter turns of the direction keys) and minimising.
#pragma once

#include <windows.h>
#include <gx.h>

#include <cstdint>

// The key list for orientation 0 to 3 (#35) and quarter turns of the direction keys (#2):
// the landscape list for orientations 0 and 2, the portrait list for 1 and 3; upside down
// (2 and 3) Left and Right, Up and Down, A and B change places; each quarter turn then moves
// Up to Left, Left to Down, Down to Right and Right to Up. C and Start never change.
GXKeyList DeriveKeyList(const GXKeyList &landscape, const GXKeyList &portrait, uint32_t orientation,
                        uint32_t quarterTurns);

// The overlay's text orientation and the current key list, from #35 and #2.
void SetOverlayOrientation();

// Leaves full screen and minimises the main window; release says whether losing activation
// may then stop the camera (0 keeps it capturing in the background).
void Minimise(uint32_t release);
