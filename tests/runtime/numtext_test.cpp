// Number text: reading integers from text.
#include "runtime/numtext.h"

#include <gtest/gtest.h>

#include <climits>

using namespace tarvex;

TEST(numtext, toint_reads_sign_base_and_digits_wrapping_modulo_two_to_the_32) {
  std::pair<Text, int32_t> rows[] = {
      {u"  -12abc", -12}, {u"$ff", 255}, {u"$FF", 255},      {u"%1010", 10},
      {u"+7", 7},         {u"-", 0},     {u"abc", 0},        {u"- 5", 0},
      {u"0x10", 0},       {u"1e3", 1},   {u"-$10", -16},     {u"$-10", 0},
      {u"\t9", 9},        {u"\r9", 9},   {u"4294967297", 1}, {u"2147483648", INT32_MIN},
  };
  for (const auto& [text, value] : rows)
    EXPECT_EQ(toint(text), value) << std::string(text.begin(), text.end());
}
