// Number text: every rule of reading integers from text, and writing them back.
#include "runtime/numtext.h"

#include <gtest/gtest.h>

#include <climits>

using namespace tarvex;

TEST(numtext, toint_reads_sign_base_and_digits_and_ignores_the_rest) {
  struct row {
    Text text;
    int32_t value;
  } rows[] = {
      {u"  -12abc", -12}, {u"$ff", 255},    {u"$FF", 255},   {u"$aB", 171}, {u"%1010", 10},
      {u"+7", 7},         {u"-", 0},        {u"+", 0},       {u"abc", 0},   {u"- 5", 0},
      {u"0x10", 0},       {u"1e3", 1},      {u"-$10", -16},  {u"$-10", 0},  {u"-%11", -3},
      {u"%102", 2},       {u"%", 0},        {u"$", 0},       {u"$1g", 1},   {u"++5", 0},
      {u"1 2", 1},        {u"007", 7},      {u"", 0},        {u"   ", 0},   {u"\t9", 9},
      {u"\r9", 9},        {u"\n\v\f 9", 9}, {u"\u00a09", 0}, // no-break space is not white space
      {u"\uff11", 0},                                        // a full-width digit is not a digit
      {u"\u0130", 0},
  };
  for (const row& r : rows)
    EXPECT_EQ(toint(r.text), r.value) << std::string(r.text.begin(), r.text.end());
}

TEST(numtext, toint_wraps_modulo_two_to_the_32) {
  struct row {
    Text text;
    int32_t value;
  } rows[] = {
      {u"4294967297", 1},
      {u"2147483647", INT32_MAX},
      {u"2147483648", INT32_MIN},
      {u"-2147483648", INT32_MIN},
      {u"-2147483649", INT32_MAX},
      {u"4294967296", 0},
      {u"99999999999", 1215752191},
      {u"$FFFFFFFF", -1},
      {u"$100000001", 1},
      {u"-$80000000", INT32_MIN},
      {u"%111111111111111111111111111111111", -1},
  };
  for (const row& r : rows)
    EXPECT_EQ(toint(r.text), r.value) << std::string(r.text.begin(), r.text.end());
}

TEST(numtext, decimaltext_writes_digits_with_a_minus_for_negatives) {
  struct row {
    int32_t value;
    Text text;
  } rows[] = {
      {0, u"0"},
      {5, u"5"},
      {-5, u"-5"},
      {10, u"10"},
      {-10, u"-10"},
      {255, u"255"},
      {INT32_MAX, u"2147483647"},
      {INT32_MIN, u"-2147483648"},
  };
  for (const row& r : rows) {
    EXPECT_EQ(decimaltext(r.value), r.text) << r.value;
    EXPECT_EQ(toint(decimaltext(r.value)), r.value);
  }
}
