// The command line: how words become options. How the program answers them, refusals included,
// is in the golden cases.
#include "app/options.h"

#include <gtest/gtest.h>

#include "interp/tick.h"

namespace tarvex {
namespace {

std::vector<Text> words(std::initializer_list<const char*> list) {
  std::vector<Text> all;
  for (const char* w : list)
    all.push_back(fromutf8name(w));
  return all;
}

// Every refusal, word for word, is the golden case bad_usage_is_one_line_and_status_64.
TEST(options, words_become_one_record) {
  struct row {
    std::initializer_list<const char*> args;
    int64_t delay = PLAINDELAYMS, ticks = 0;
    const char* source = "";
  } rows[] = {
      {{"--delay=5", "p", "--ticks", "9", "q"}, 5, 9, "p"},
      {{"--", "--delay"}, PLAINDELAYMS, 0, "--delay"},
      {{"--batch", "p"}, 0, 0, "p"},
      {{"--delay", "60000"}, 60000},
  };
  for (const row& r : rows) {
    parsed p = parseoptions(words(r.args));
    SCOPED_TRACE(*r.args.begin());
    EXPECT_EQ(p.error, "");
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
  EXPECT_EQ(batch.threads, usablecores());
  EXPECT_EQ(parseoptions(words({"--threads=1024"})).opts.threads, 1024);
}

} // namespace
} // namespace tarvex
