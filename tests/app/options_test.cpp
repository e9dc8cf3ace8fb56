// The command line: how words become options. How the program answers them is in the golden
// cases.
#include "app/options.h"

#include <gtest/gtest.h>

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
    int64_t delay = PLAINDELAYMS, ticks = 0;
    const char* source = "";
  } rows[] = {
      {{"--delay=5", "p", "--ticks", "9", "q"}, "", 5, 9, "p"},
      {{"--", "--delay"}, "", PLAINDELAYMS, 0, "--delay"},
      {{"--batch", "p"}, "", 0, 0, "p"},
      {{"--delay", "60000"}, "", 60000},
      {{"--delay", "60001"}, "--delay takes"},
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
      {{"--threads", "0"}, "--threads takes"},
      {{"--threads", "-2"}, "--threads takes"},
      {{"--threads", "1025"}, "--threads takes"},
      {{"--threads=two"}, "--threads takes"},
      {{"--threads"}, "--threads needs"},
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
  EXPECT_EQ(batch.threads, 1);
  EXPECT_EQ(parseoptions(words({"--threads=1024"})).opts.threads, 1024);
}

} // namespace
} // namespace tarvex
