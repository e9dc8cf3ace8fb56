// The fault report: the fault names, the box or standard error, and real platform faults
// ending the process with status 2.
#include "runtime/faultreport.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/process.h"

using namespace tarvex;
using namespace tarvex::testing;

TEST(faultreport, names_every_platform_code_and_unknown_for_the_rest) {
  struct row {
    uint32_t code;
    const char* name;
  } rows[] = {
      {0x80000002, "EXCEPTION_DATATYPE_MISALIGNMENT"},
      {0x80000003, "EXCEPTION_BREAKPOINT"},
      {0x80000004, "EXCEPTION_SINGLE_STEP"},
      {0xC0000005, "EXCEPTION_ACCESS_VIOLATION"},
      {0xC0000006, "EXCEPTION_IN_PAGE_ERROR"},
      {0xC000001D, "EXCEPTION_ILLEGAL_INSTRUCTION"},
      {0xC0000025, "EXCEPTION_NONCONTINUABLE_EXCEPTION"},
      {0xC0000026, "EXCEPTION_INVALID_DISPOSITION"},
      {0xC000008C, "EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
      {0xC000008D, "EXCEPTION_FLT_DENORMAL_OPERAND"},
      {0xC000008E, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
      {0xC000008F, "EXCEPTION_FLT_INEXACT_RESULT"},
      {0xC0000090, "EXCEPTION_FLT_INVALID_OPERATION"},
      {0xC0000091, "EXCEPTION_FLT_OVERFLOW"},
      {0xC0000092, "EXCEPTION_FLT_STACK_CHECK"},
      {0xC0000093, "EXCEPTION_FLT_UNDERFLOW"},
      {0xC0000094, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
      {0xC0000095, "EXCEPTION_INT_OVERFLOW"},
      {0xC0000096, "EXCEPTION_PRIV_INSTRUCTION"},
      {0xC00000FD, "EXCEPTION_STACK_OVERFLOW"},
      {0, "EXCEPTION_UNKNOWN"},
      {0x80000001, "EXCEPTION_UNKNOWN"},
      {0xC0000094 + 0x100, "EXCEPTION_UNKNOWN"},
      {0xFFFFFFFF, "EXCEPTION_UNKNOWN"},
  };
  for (const row& r : rows)
    EXPECT_STREQ(faultname(r.code), r.name) << std::hex << r.code;
}

namespace {

void stderrbox(const char* name) {
  std::fprintf(stderr, "box<%s>", name);
}

} // namespace

TEST(faultreport, an_installed_box_shows_the_name_instead_of_standard_error) {
  EXPECT_EXIT(
      {
        setfaultbox(stderrbox);
        faultreport(faultcode::ACCESS_VIOLATION);
      },
      ::testing::ExitedWithCode(2), "^box<EXCEPTION_ACCESS_VIOLATION>$");
}

TEST(faultreport, without_a_box_the_name_and_a_line_end_go_to_standard_error) {
  EXPECT_EXIT(faultreport(0x12345678), ::testing::ExitedWithCode(2), "^EXCEPTION_UNKNOWN\n$");
}

TEST(faultreport, real_faults_end_with_their_names_and_status_2) {
  struct row {
    const char* word;
    std::string err;
  } rows[] = {
    {"divzero", "EXCEPTION_INT_DIVIDE_BY_ZERO\n"},
#if !defined(__SANITIZE_ADDRESS__)
    // The address sanitizer owns the memory-fault signals and its own stack handling.
    {"segv", "EXCEPTION_ACCESS_VIOLATION\n"},
    {"stackoverflow", "EXCEPTION_STACK_OVERFLOW\n"},
#endif
  };
  for (const row& r : rows) {
    outcome o = run({.program = TARVEX_DRIVER, .args = {r.word}, .timeoutseconds = 20});
    EXPECT_EQ(o.signal, 0) << r.word;
    EXPECT_EQ(o.status, 2) << r.word;
    EXPECT_EQ(o.out, "") << r.word;
    EXPECT_EQ(o.err, r.err) << r.word;
  }
}
