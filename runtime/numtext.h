// Number text: the console's conversions between texts and integers.
#pragma once
#include <cstdint>

#include "runtime/text.h"

namespace tarvex {

// Leading white space, an optional sign, then "%" binary, "$" hexadecimal or decimal digits;
// wraps modulo 2^32 and ignores whatever follows the digits. Never fails.
int32_t toint(const Text& text);
// Decimal digits without leading zeros, "-" before a negative value.
Text decimaltext(int32_t n);

} // namespace tarvex
