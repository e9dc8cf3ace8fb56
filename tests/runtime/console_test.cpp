// The console: the exact bytes of status lines, prompts, raw writes and line reads.
#include "runtime/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/numtext.h"
#include "tests/support/process.h"

using namespace tarvex;
using namespace tarvex::testing;

namespace {

// A console over a temporary input file holding the given bytes and an output in memory.
class consolebytes {
public:
  explicit consolebytes(const std::string& input = {}) {
    _in = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), _in);
    std::rewind(_in);
    _out = open_memstream(&_data, &_size);
    _console = std::make_unique<console>(_in, _out);
  }
  ~consolebytes() {
    _console.reset();
    std::fclose(_in);
    std::fclose(_out);
    std::free(_data);
  }
  console& con() { return *_console; }
  std::string written() {
    std::fflush(_out);
    return std::string(_data, _size);
  }

private:
  std::FILE* _in = nullptr;
  std::FILE* _out = nullptr;
  char* _data = nullptr;
  size_t _size = 0;
  std::unique_ptr<console> _console;
};

} // namespace

TEST(console, printline_writes_utf8_and_crlf) {
  struct row {
    Text text;
    std::string bytes;
  } rows[] = {
      {u"Executing program..", "Executing program..\r\n"},
      {u"", "\r\n"},
      {u"\u00e9", "\xc3\xa9\r\n"},
      {u"\u07ff\u0800", "\xdf\xbf\xe0\xa0\x80\r\n"},
      {u"\u20ac", "\xe2\x82\xac\r\n"},
      {Text(u"a\0b", 3), std::string("a\0b\r\n", 5)},
  };
  for (const row& r : rows) {
    consolebytes io;
    io.con().printline(r.text);
    EXPECT_EQ(io.written(), r.bytes);
  }
}

TEST(console, printline_raises_when_the_output_refuses_the_bytes) {
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  {
    console refusing(stdin, full);
    EXPECT_THROW(refusing.printline(u"lost"), TStreamWriteException);
    EXPECT_THROW(refusing.promptline(u">"), TStreamWriteException);
    refusing.consolewrite(u"ignored"); // raw writes ignore errors
  }
  std::fclose(full);
}

TEST(console, promptline_writes_the_prompt_alone_and_returns_the_line) {
  struct row {
    std::string input;
    Text line;
  } rows[] = {
      {"abc\r\n", u"abc"},
      {"a\rbc\n", u"abc"},
      {"\xc3\xa9\n", u"\u00e9"},
      {"\n", u""},
      {std::string("a\0b\n", 4), u"a"},
      {"ab", u"ab"}, // the end of the input ends the wait
      {"", u""},
      {"\xc3", u""}, // input ending inside a character
  };
  for (const row& r : rows) {
    consolebytes io(r.input);
    EXPECT_EQ(io.con().promptline(u">"), r.line) << r.input;
    EXPECT_EQ(io.written(), ">");
  }
}

TEST(console, consolewrite_writes_low_bytes_up_to_the_first_zero) {
  struct row {
    Text text;
    std::string bytes;
  } rows[] = {
      {chartext(0), ""},     {chartext(65), "A"},       {chartext(256), ""},
      {chartext(321), "A"},  {chartext(10), "\n"},      {chartext(233), "\xe9"},
      {decimaltext(0), "0"}, {decimaltext(255), "255"}, {Text(u"ab\0cd", 5), "ab"},
      {u"x\u0100y", "x"},
  };
  for (const row& r : rows) {
    consolebytes io;
    io.con().consolewrite(r.text);
    EXPECT_EQ(io.written(), r.bytes);
  }
}

TEST(console, output_keeps_the_order_of_the_calls) {
  consolebytes io;
  io.con().printline(u"one");
  io.con().consolewrite(u"7");
  io.con().promptline(u">");
  io.con().consolewrite(u"8");
  EXPECT_EQ(io.written(), "one\r\n7>8");
}

TEST(console, consoleread_keeps_the_line_less_one_white_space_before_the_feed) {
  std::string long300(300, 'x');
  std::string spaceat254 = std::string(254, 'y') + " ";
  struct row {
    std::string input;
    Text text;
  } rows[] = {
      {"42\n", u"42"},
      {"42 \n", u"42"},
      {"42  \n", u"42 "},
      {"42\r\n", u"42"},
      {"42\t\n", u"42"},
      {"\n", u""},
      {" \n", u""},
      {std::string("4\0"
                   "2\n",
                   4),
       u"4"},
      {"42", u"42"},
      {"", u""},
      {"\xe9\n", u"\u00e9"}, // byte-wise, not UTF-8
      {long300 + "\n", Text(300, u'x')},
      {std::string(255, 'z') + "\n", Text(255, u'z')},
      {std::string(255, 'z'), Text(255, u'z')},
      // The white space at index 254 fills the first chunk; the feed comes in the next.
      {spaceat254 + "\n", Text(254, u'y') + u" "},
      {std::string(255, 'w') + " \n", Text(255, u'w')},
  };
  for (const row& r : rows) {
    consolebytes io(r.input);
    EXPECT_EQ(io.con().consoleread(), r.text) << r.input.size() << " bytes";
  }
}

TEST(console, consoleread_takes_one_line_per_call_and_empty_texts_at_the_end) {
  consolebytes io("1\n2\n");
  EXPECT_EQ(io.con().consoleread(), u"1");
  EXPECT_EQ(io.con().consoleread(), u"2");
  EXPECT_EQ(io.con().consoleread(), u"");
  EXPECT_EQ(io.con().consoleread(), u"");
}

TEST(console, consoleread_and_promptline_share_one_input) {
  consolebytes io("7\nabc\r\n9\n");
  EXPECT_EQ(io.con().consoleread(), u"7");
  EXPECT_EQ(io.con().promptline(u">"), u"abc");
  EXPECT_EQ(io.con().consoleread(), u"9");
}

TEST(console, closed_standard_output_ends_with_the_write_error) {
  outcome r = run({.program = TARVEX_DRIVER,
                   .args = {"print", "x"},
                   .closedoutput = true,
                   .timeoutseconds = 10});
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "Error writing to stream");
}

TEST(console, standard_console_prompt_at_the_end_of_input_returns_what_it_read) {
  struct row {
    std::string input;
    std::string out;
  } rows[] = {
      {"", ">[]"},
      {"abc\r\n", ">[abc]"},
      {"ab", ">[ab]"},
  };
  for (const row& r : rows) {
    outcome o = run({.program = TARVEX_DRIVER,
                     .args = {"prompt", ">"},
                     .input = r.input,
                     .timeoutseconds = 10});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, r.out);
    EXPECT_EQ(o.err, "");
  }
}
