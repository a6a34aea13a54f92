// Rounding helpers of the library's math module.
#pragma once

#include <cstdint>

// Truncates toward zero and adds 1 when the fractional part is 0.5 or more; a negative x is thus
// only truncated (-2.5 gives -2). Throws tk::ERangeError when the result does not fit in 32 bits
// or x is not a number.
int32_t RoundHalfUp(long double x);
