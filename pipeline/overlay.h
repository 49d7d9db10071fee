// The on-screen display drawn over every composition of the screen.
#pragma once

#include "pipeline/text.h"

// Lays the overlay over ScreenPicture with the renderer; called inside ComposeAndBlit, under
// ComposeBusy.
void DrawOverlay(TextRenderer *renderer);
