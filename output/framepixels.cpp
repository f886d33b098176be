#include "framepixels.h"

#include <cstring>

namespace framepixels {

namespace {

// (c * 255 + a / 2) / a for every alpha a, as a factor in 16.16 fixed point: one multiply per channel.
struct Reciprocals
{
    uint32_t factor[256];
    Reciprocals()
    {
        factor[0] = 0;
        for (uint32_t a = 1; a < 256; ++a)
            factor[a] = (255u * 65536u + a / 2) / a;
    }
};

const Reciprocals reciprocals;

inline uint8_t straight(uint8_t c, uint8_t a)
{
    const uint32_t v = (c * reciprocals.factor[a] + 32768u) >> 16;
    return v > 255 ? 255 : static_cast<uint8_t>(v);
}

} // namespace

void toStraight(const uint8_t *src, uint8_t *dst, long long count)
{
    for (long long i = 0; i < count; ++i, src += 4, dst += 4) {
        const uint8_t a = src[3];
        if (a == 255) {
            std::memcpy(dst, src, 4);
        } else if (a == 0) {
            std::memset(dst, 0, 4);
        } else {
            dst[0] = straight(src[0], a);
            dst[1] = straight(src[1], a);
            dst[2] = straight(src[2], a);
            dst[3] = a;
        }
    }
}

} // namespace framepixels
