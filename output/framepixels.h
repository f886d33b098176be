#pragma once
// Pixel work on one frame of the composite, kept apart from threads and GL so that a test can call
// it with a handful of pixels.
#include <cstdint>

namespace framepixels {

// The scene graph draws with premultiplied alpha; GStreamer and downstream keyers expect straight
// alpha. Copies `count` RGBA pixels from `src` (premultiplied) to `dst` (straight).
void toStraight(const uint8_t *src, uint8_t *dst, long long count);

} // namespace framepixels
