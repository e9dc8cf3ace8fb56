// Start-up: the program's directory, the working directory it sets and the argument list.
#include "runtime/startup.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include "tests/support/process.h"

using namespace tarvex;
using namespace tarvex::testing;

TEST(startup, dirof_keeps_the_path_up_to_the_last_separator) {
  struct row {
    Text file;
    Text dir;
  } rows[] = {
      {u"/a/b/prog", u"/a/b"}, {u"/prog", u""},         {u"prog", u""},
      {u"C:/prog", u"C:/"},    {u"C:/x/prog", u"C:/x"}, {u"", u""},
      {u"/a/", u"/a"},         {u"a/b", u"a"},          {u"C:prog", u""},
  };
  for (const row& r : rows)
    EXPECT_EQ(dirof(r.file), r.dir) << std::string(r.file.begin(), r.file.end());
}

TEST(startup, works_in_the_program_directory_and_keeps_the_arguments_as_bytes) {
  tempdir elsewhere;
  outcome r = run({.program = TARVEX_DRIVER,
                   .args = {"where", "caf\xe9"},
                   .workdir = elsewhere.path(),
                   .timeoutseconds = 10});
  char real[PATH_MAX];
  ASSERT_NE(realpath(TARVEX_DRIVER, real), nullptr);
  std::string file = real;
  std::string dir = file.substr(0, file.rfind('/'));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "cwd=" + dir + "\n" + "dir=" + dir + "\n" + "file=" + file + "\n" + "count=3\n" +
                       "arg0=" + TARVEX_DRIVER + "\n" + "arg1=where\n" + "arg2=caf\xe9\n");
}

TEST(startup, sets_the_application_title_and_the_process_values) {
  EXPECT_EQ(apptitle(), u"Tarvex Application");
  char* argv[] = {const_cast<char*>("prog"), const_cast<char*>("one"), nullptr};
  char before[PATH_MAX];
  ASSERT_NE(getcwd(before, sizeof before), nullptr);
  startup(2, argv);
  EXPECT_EQ(arglist(), (std::vector<Text>{u"prog", u"one"}));
  EXPECT_EQ(programdir(), dirof(programfile()));
  char after[PATH_MAX];
  ASSERT_NE(getcwd(after, sizeof after), nullptr);
  EXPECT_EQ(frombytes(after), programdir());
  EXPECT_EQ(chdir(before), 0);
}
