// The platform faults a run can meet, by code, and their names.
#pragma once
#include <cstdint>

namespace tarvex {

namespace faultcode {
constexpr uint32_t DATATYPE_MISALIGNMENT = 0x80000002;
constexpr uint32_t BREAKPOINT = 0x80000003;
constexpr uint32_t SINGLE_STEP = 0x80000004;
constexpr uint32_t ACCESS_VIOLATION = 0xC0000005;
constexpr uint32_t IN_PAGE_ERROR = 0xC0000006;
constexpr uint32_t ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr uint32_t ARRAY_BOUNDS_EXCEEDED = 0xC000008C;
constexpr uint32_t FLT_DIVIDE_BY_ZERO = 0xC000008E;
constexpr uint32_t FLT_INEXACT_RESULT = 0xC000008F;
constexpr uint32_t FLT_INVALID_OPERATION = 0xC0000090;
constexpr uint32_t FLT_OVERFLOW = 0xC0000091;
constexpr uint32_t FLT_UNDERFLOW = 0xC0000093;
constexpr uint32_t INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr uint32_t INT_OVERFLOW = 0xC0000095;
constexpr uint32_t PRIV_INSTRUCTION = 0xC0000096;
constexpr uint32_t STACK_OVERFLOW = 0xC00000FD;
} // namespace faultcode

// The fault's name from the table, "EXCEPTION_UNKNOWN" for any other code.
const char* faultname(uint32_t code);

} // namespace tarvex
