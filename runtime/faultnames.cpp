// The names of platform faults, as the fault report shows them.
#include "runtime/faultnames.h"

namespace tarvex {

namespace {

struct faultentry {
  uint32_t code;
  const char* name;
};

constexpr faultentry FAULTNAMES[] = {
    {faultcode::DATATYPE_MISALIGNMENT, "EXCEPTION_DATATYPE_MISALIGNMENT"},
    {faultcode::BREAKPOINT, "EXCEPTION_BREAKPOINT"},
    {faultcode::SINGLE_STEP, "EXCEPTION_SINGLE_STEP"},
    {faultcode::ACCESS_VIOLATION, "EXCEPTION_ACCESS_VIOLATION"},
    {faultcode::IN_PAGE_ERROR, "EXCEPTION_IN_PAGE_ERROR"},
    {faultcode::ILLEGAL_INSTRUCTION, "EXCEPTION_ILLEGAL_INSTRUCTION"},
    {faultcode::ARRAY_BOUNDS_EXCEEDED, "EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
    {faultcode::FLT_DIVIDE_BY_ZERO, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
    {faultcode::FLT_INEXACT_RESULT, "EXCEPTION_FLT_INEXACT_RESULT"},
    {faultcode::FLT_INVALID_OPERATION, "EXCEPTION_FLT_INVALID_OPERATION"},
    {faultcode::FLT_OVERFLOW, "EXCEPTION_FLT_OVERFLOW"},
    {faultcode::FLT_UNDERFLOW, "EXCEPTION_FLT_UNDERFLOW"},
    {faultcode::INT_DIVIDE_BY_ZERO, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
    {faultcode::INT_OVERFLOW, "EXCEPTION_INT_OVERFLOW"},
    {faultcode::PRIV_INSTRUCTION, "EXCEPTION_PRIV_INSTRUCTION"},
    {faultcode::STACK_OVERFLOW, "EXCEPTION_STACK_OVERFLOW"},
};

} // namespace

const char* faultname(uint32_t code) {
  for (const faultentry& entry : FAULTNAMES)
    if (entry.code == code) return entry.name;
  return "EXCEPTION_UNKNOWN";
}

} // namespace tarvex
