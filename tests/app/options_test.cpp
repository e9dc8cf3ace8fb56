// The command line: how words become options, and what the program does with bad usage,
// --help, --version, --ticks and --stats.
#include "app/options.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace tarvex {
namespace {

std::vector<Text> words(std::initializer_list<const char*> list) {
  std::vector<Text> all;
  for (const char* w : list)
    all.push_back(fromutf8name(w));
  return all;
}

TEST(options, words_become_one_record_or_one_error) {
  struct row {
    std::initializer_list<const char*> args;
    const char* error; // the start of the message, or "" for none
    int64_t delay = 128, ticks = 0;
    const char* source = "";
  } rows[] = {
      {{"--delay=5", "p", "--ticks", "9", "q"}, "", 5, 9, "p"},
      {{"--", "--delay"}, "", 128, 0, "--delay"},
      {{"--batch", "p"}, "", 0, 0, "p"},
      {{"--delay", "60000"}, "", 60000},
      {{"--delay", "60001"}, "--delay takes"},
      {{"--delay", "-1"}, "--delay takes"},
      {{"--ticks", "abc"}, "--ticks takes"},
      {{"--ticks", "0"}, "--ticks takes"},
      {{"--ticks", "5x"}, "--ticks takes"},
      {{"--ticks"}, "--ticks needs a value"},
      {{"--trace"}, "--trace needs"},
      {{"--headless=1"}, "--headless takes no value"},
      {{"--stats=xml"}, "--stats takes"},
      {{"--nope"}, "unknown option --nope"},
      {{"--break", "3"}, "--break takes"},
      {{"--break=3,x"}, "--break takes"},
      {{"--break"}, "--break needs"},
      {{"--history", "-1"}, "--history takes"},
      {{"--max-memory", "-1"}, "--max-memory takes"},
      {{"--max-memory", "9223372036854775807"}, "--max-memory takes"},
      {{"--max-memory"}, "--max-memory needs"},
      {{"--break-output=1"}, "--break-output takes no value"},
  };
  for (const row& r : rows) {
    parsed p = parseoptions(words(r.args));
    SCOPED_TRACE(*r.args.begin());
    EXPECT_EQ(p.error.substr(0, std::string(r.error).size()), r.error);
    EXPECT_EQ(p.error.empty(), *r.error == 0);
    if (!p.error.empty()) continue;
    EXPECT_EQ(p.opts.delayms, r.delay);
    EXPECT_EQ(p.opts.maxticks, r.ticks);
    EXPECT_EQ(utf8name(p.opts.source.value_or(u"")), r.source);
  }
  options studio = parseoptions(words({"--break", "3,0", "--break=-1,7", "--history=0"})).opts;
  EXPECT_EQ(studio.breaks, (std::vector<std::pair<int64_t, int64_t>>{{3, 0}, {-1, 7}}));
  EXPECT_EQ(studio.historymib, 0);
  options batch = parseoptions(words({"--batch"})).opts;
  EXPECT_TRUE(batch.headless && !batch.prompt && !batch.frames);
  // The budget is on unless turned off.
  EXPECT_GT(batch.maxmemorymib, 0);
  EXPECT_EQ(parseoptions(words({"--max-memory=0"})).opts.maxmemorymib, 0);
}

TEST(options, the_program_answers_help_version_bad_usage_limits_and_stats) {
  testing::tempdir dir;
  const std::string loop = dir.file("loop.txt", "%>v\n ^<\n"), done = dir.file("d.txt", "%.@");
  struct row {
    std::vector<std::string> args;
    int status;
    std::string out, err; // err: the start of standard error
  } rows[] = {
      {{"--version"}, 0, "tarvex 0.2.0\n", ""},
      {{"--delay", "-1", loop}, 64, "", "tarvex: --delay takes a whole number"},
      {{"--ticks=abc"}, 64, "", "tarvex: --ticks takes"},
      {{"--frobnicate"}, 64, "", "tarvex: unknown option --frobnicate; see tarvex --help\n"},
      {{"--batch", "--ticks", "7", loop},
       3,
       "Executing program..\r\n\r\n",
       "tarvex: stopped after 7 ticks\n"},
      {{"--batch", "--stats", "--ticks", "7", loop},
       3,
       "Executing program..\r\n\r\n",
       "tarvex: stopped after 7 ticks\ntarvex: 7 ticks, 12 pointer steps, peak 4 live pointers, "
       "0 writes applied, 23 console bytes, "},
      {{"--batch", "--stats=json", done},
       0,
       "Executing program..\r\n\r\n0\r\n\r\nExecution complete.\r\n",
       "{\"ticks\":2,\"steps\":6,\"peak_pointers\":4,\"writes\":0,\"console_bytes\":49,"},
      {{"--headless", "--no-prompt", "--delay", "0", done},
       0,
       "Executing program..\r\n\r\n0\r\n\r\nExecution complete.\r\n",
       ""},
      {{"--batch", "--break", "2,0", done},
       0,
       "Executing program..\r\n\r\n0\r\n\r\nExecution complete.\r\n",
       "tarvex: --break and --break-output pause the window, and there is none; they are "
       "ignored\n"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.args[0]);
    testing::outcome o = testing::run({.program = TARVEX_BIN, .args = r.args});
    EXPECT_EQ(o.status, r.status);
    EXPECT_EQ(o.out, r.out);
    EXPECT_EQ(o.err.substr(0, r.err.size()), r.err);
    if (r.status == 64) {
      EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "one line";
    }
  }
  testing::outcome help = testing::run({.program = TARVEX_BIN, .args = {"--help"}});
  EXPECT_EQ(help.status, 0);
  for (const char* said : {"--batch", "--trace FILE", "64 ", "255 ", "Space        pause"})
    EXPECT_NE(help.out.find(said), std::string::npos) << said;
}

} // namespace
} // namespace tarvex
