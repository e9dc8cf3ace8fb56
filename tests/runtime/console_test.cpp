// The console: the exact bytes of status lines, prompts, raw writes and line reads.
#include "runtime/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

using namespace tarvex;

TEST(console, writes_and_reads_the_exact_bytes) {
  using file = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
  // Operation ('p'rintline, prompt '>', consolewrite 'w', consoleread 'r'), input bytes,
  // argument, result, bytes written.
  std::tuple<char, std::string, Text, Text, std::string> rows[] = {
      {'p', "", u"a\u00e9", u"", "a\xc3\xa9\r\n"},
      {'p', "", u"", u"", "\r\n"},
      {'>', "abc\r\n", u">", u"abc", ">"},
      {'>', "ab", u">", u"ab", ">"}, // the end of the input ends the wait without an error
      {'w', "", chartext(0), u"", ""},
      {'w', "", chartext(256), u"", ""},
      {'w', "", chartext(321), u"", "A"},
      {'r', "42\n", u"", u"42", ""},
      {'r', "42 \n", u"", u"42", ""},
      {'r', "42  \n", u"", u"42 ", ""},
      {'r', "\n", u"", u"", ""},
      {'r', std::string(300, 'x') + "\n", u"", Text(300, u'x'), ""},
      {'r', std::string("4\0002\n", 4), u"", u"4", ""},
      // The white space at index 254 ends the first chunk; its line feed comes in the next.
      {'r', std::string(254, 'y') + " \n", u"", Text(254, u'y') + u" ", ""},
      {'r', "", u"", u"", ""},
  };
  for (const auto& [op, input, argument, result, written] : rows) {
    file in(std::tmpfile(), std::fclose), out(std::tmpfile(), std::fclose);
    std::fwrite(input.data(), 1, input.size(), in.get());
    std::rewind(in.get());
    console con(in.get(), out.get());
    Text got;
    if (op == 'p') con.printline(argument);
    if (op == '>') got = con.promptline(argument);
    if (op == 'w') con.consolewrite(argument);
    if (op == 'r') got = con.consoleread();
    std::string bytes(static_cast<size_t>(std::ftell(out.get())), '\0');
    std::rewind(out.get());
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), out.get()), bytes.size());
    EXPECT_EQ(got, result) << op << " " << input.size() << " bytes";
    EXPECT_EQ(bytes, written) << op << " " << input.size() << " bytes";
  }
}
