// Start-up: the program's directory, the working directory it sets and the argument list.
#include "app/startup.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include "tests/support/process.h"

using namespace tarvex;
using namespace tarvex::testing;

TEST(startup, dirof_keeps_the_path_up_to_the_last_separator) {
  std::pair<Text, Text> rows[] = {{u"/a/b/prog", u"/a/b"},
                                  {u"/prog", u""},
                                  {u"prog", u""},
                                  {u"C:/prog", u"C:/"},
                                  {u"C:/x/prog", u"C:/x"}};
  for (const auto& [file, dir] : rows)
    EXPECT_EQ(dirof(file), dir) << std::string(file.begin(), file.end());
}

TEST(startup, works_in_the_program_directory_and_lists_the_arguments) {
  tempdir elsewhere;
  outcome r =
      run({.program = TARVEX_DRIVER, .args = {"where", "caf\xe9"}, .workdir = elsewhere.path()});
  char real[PATH_MAX];
  ASSERT_NE(realpath(TARVEX_DRIVER, real), nullptr);
  std::string dir = std::string(real).substr(0, std::string(real).rfind('/'));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir + "\n" + dir + "\n" + TARVEX_DRIVER + "\nwhere\ncaf\xe9\n");
}
