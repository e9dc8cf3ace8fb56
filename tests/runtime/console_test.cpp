// The console: the exact bytes of status lines, prompts, raw writes and line reads.
#include "runtime/console.h"

#include <gtest/gtest.h>

#include "tests/support/memconsole.h"

using namespace tarvex;

TEST(console, writes_and_reads_the_exact_bytes) {
  // Operation ('p'rintline, prompt '>', consolewrite 'w', consoleread 'r'), input bytes,
  // argument, result, bytes written.
  const std::tuple<char, std::string, Text, Text, std::string> rows[] = {
      {'p', "", u"a\u00e9\u07ff\u0800\uffff", u"", "a\xc3\xa9\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\r\n"},
      {'>', "abc\r\n", u">", u"abc", ">"},
      {'>', "ab", u">", u"ab", ">"}, // the end of the input ends the wait without an error
      {'w', "", chartext(0), u"", ""},
      {'w', "", chartext(256), u"", ""},
      {'w', "", chartext(321), u"", "A"},
      {'r', "42 \n", u"", u"42", ""},
      {'r', "42\t\t\n", u"", u"42\t", ""},
      {'r', std::string(300, 'x') + "\n", u"", Text(300, u'x'), ""},
      {'r', std::string("4\0002\n", 4), u"", u"4", ""},
      // The white space at index 254 ends the first chunk; its line feed comes in the next.
      {'r', std::string(254, 'y') + " \n", u"", Text(254, u'y') + u" ", ""},
      {'r', "", u"", u"", ""},
  };
  for (const auto& [op, input, argument, result, written] : rows) {
    tarvex::testing::memconsole io(input);
    Text got;
    if (op == 'p') io.con.printline(argument);
    if (op == '>') got = io.con.promptline(argument);
    if (op == 'w') io.con.consolewrite(argument);
    if (op == 'r') got = io.con.consoleread();
    EXPECT_EQ(got, result) << op << " " << input.size() << " bytes";
    EXPECT_EQ(io.output(), written) << op << " " << input.size() << " bytes";
  }
}
