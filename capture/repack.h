// The planar layouts the vendor encoder takes, made from camera frames.
#pragma once

#include <cstdint>

// Bytes of the planar picture RepackUyvy and TurnPlanar write for width x height.
uint32_t PlanarBytes(uint32_t width, uint32_t height, uint32_t sampling);

// Halves a 2W x 2H UYVY frame in place to W x H, each component the rounded mean of its 2 x 2
// block.
void HalveUyvy(uint8_t *data, uint32_t width, uint32_t height);

// UYVY frame (width x height, or twice that with scale 2: halved in place first) to planar
// Y, U, V for sampling 2 (4:2:2), 1 (4:2:0) or 4 (grey), turned by rotation. 4:2:2 with a
// quarter turn is never configured and does nothing.
void RepackUyvy(uint8_t *out, uint8_t *in, uint32_t width, uint32_t height, uint32_t scale,
                uint32_t sampling, uint32_t rotation);

// Planar 4:2:0 frame (Y, then the two quarter planes) turned by rotation into out: all three
// planes for sampling 1, the Y plane only for sampling 4.
void TurnPlanar(uint8_t *out, const uint8_t *in, uint32_t width, uint32_t height,
                uint32_t sampling, uint32_t rotation);
