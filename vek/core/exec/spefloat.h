// Single-precision helpers shared by the SPE instructions and the target's
// float conversion hooks: bit casts and the integer conversions with SPE's
// rules (NaN gives 0, out-of-range values saturate).
#pragma once

#include <cstdint>

namespace vek {

float f32(uint32_t bits);
uint32_t bits32(float value);
// Signed and unsigned conversion; truncate selects round-toward-zero,
// otherwise round to nearest even.
int32_t spetosigned(double value, bool truncate);
uint32_t spetounsigned(double value, bool truncate);

}  // namespace vek
