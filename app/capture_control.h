// Capture control: prepares the encoder before a capture and restarts the preview when a
// format cannot be captured.
#pragma once

#include <cstdint>

// Configures the JPEG encoder for the Camera's active geometry and the quality, sampling and
// orientation settings of the capture mode in force. Non-zero when the encoder accepted.
uint32_t PrepareEncoder();

// Restarts the preview for the current capture kind and shows "Try another format.".
void FormatFallback();
