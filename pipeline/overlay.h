// The on-screen display drawn over every composition of the screen.
#pragma once

#include <cstdint>

#include "pipeline/text.h"

// Lays the overlay over ScreenPicture with the renderer; called inside ComposeAndBlit, under
// ComposeBusy.
void DrawOverlay(TextRenderer *renderer);

// Lays the program's renderer over ScreenPicture for the screen orientation (#35): text
// orientation #35 + 3, modulo 4 (0 is the landscape view). At start-up and whenever the
// orientation or the picture changes; waits for a composition in progress.
void SetOverlayTextOrientation();

// Shows a status message on the bottom line for duration ms (0: until replaced); the text
// must stay valid as long as it can be shown. Main thread.
void ShowStatus(const char *text, uint32_t duration);
