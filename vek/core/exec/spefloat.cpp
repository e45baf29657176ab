// SPE conversion rules, kept apart from the instruction table because the
// target float hooks use the same bit casts.
#include "vek/core/exec/spefloat.h"

#include <bit>
#include <cmath>

namespace vek {

float f32(uint32_t bits) { return std::bit_cast<float>(bits); }
uint32_t bits32(float value) { return std::bit_cast<uint32_t>(value); }

namespace {

double roundvalue(double v, bool truncate)
{
    // nearbyint follows the host rounding mode, which is never changed from
    // round-to-nearest-even here.
    return truncate ? std::trunc(v) : std::nearbyint(v);
}

}  // namespace

int32_t spetosigned(double value, bool truncate)
{
    if (std::isnan(value)) return 0;
    double r = roundvalue(value, truncate);
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return int32_t(r);
}

uint32_t spetounsigned(double value, bool truncate)
{
    if (std::isnan(value)) return 0;
    double r = roundvalue(value, truncate);
    if (r <= 0) return 0;
    if (r >= 4294967295.0) return UINT32_MAX;
    return uint32_t(r);
}

}  // namespace vek
