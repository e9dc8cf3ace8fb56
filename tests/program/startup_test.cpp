// The program as a user starts it: the default program found beside it whatever the working
// directory, a named one where the user stands first, and where the first argument leads. Each
// case copies the built program into a fresh folder of its own; an empty font file is the golden
// case empty_font_file_ends_before_anything_is_printed, a missing one is tested with the
// installation `make install` and `make deb` make, beside its rules in dist/test/.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/startup.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;
using namespace tarvex::testing;

namespace {

const std::string HEAD = "Executing program..\r\n\r\n";
const std::string TAIL = "\r\n\r\nExecution complete.\r\n>";

// A folder holding a copy of tarvex, the shipped font and a default program.
struct installation {
  installation() {
    fs::copy_file(TARVEX_BIN, home.path() + "/tarvex");
    fs::copy_file(std::string(TARVEX_SOURCE_DIR) + "/display/curses.bit",
                  home.path() + "/curses.bit");
    home.file("code.txt", "%+.@");
  }
  outcome start(std::vector<std::string> args, std::string input = "\n") {
    return run({.program = home.path() + "/tarvex",
                .args = std::move(args),
                .input = std::move(input),
                .workdir = elsewhere.path()});
  }
  tempdir home;
  tempdir elsewhere;
};

TEST(startup, a_named_source_resolves_in_the_working_directory_then_beside_the_program) {
  installation inst;
  inst.elsewhere.file("code.txt", "%++.@");
  inst.elsewhere.file("other.txt", "%+++.@");
  inst.home.file("other.txt", "%++++.@");
  inst.elsewhere.file("mine.txt", "%+++++.@");
  inst.elsewhere.file("n\xC3\xB6pe.txt", "%++++++.@");
  inst.elsewhere.file("caf\xE9.txt", "%+++++++.@");
  inst.elsewhere.file("--odd.txt", "%++++++++.@");
  // "é" is two bytes in UTF-8: read plainly, "(" loads the first (195); read through
  // "utf8::", the one character they decode to (233).
  inst.home.file("accent.txt", "%(\xC3\xA9.@");

  struct row {
    std::vector<std::string> args;
    std::string printed;
  } rows[] = {
      {{}, "1"},                                        // code.txt beside the program
      {{"code.txt"}, "2"},                              // named, where we stand comes first
      {{"other.txt"}, "3"},                             // so a name both places hold is the user's
      {{"other.txt", "code.txt"}, "3"},                 // the second argument is ignored
      {{inst.home.path() + "/other.txt"}, "4"},         // an absolute path is taken as it is
      {{"mine.txt"}, "5"},                              // only where we stand
      {{"--delay=0", "mine.txt", "--delay", "0"}, "5"}, // options before and after the source
      {{"n\xC3\xB6pe.txt"}, "6"},                       // UTF-8 names
      {{"caf\xE9.txt"}, "7"},                           // and names that are not UTF-8
      {{"--", "--odd.txt"}, "8"},                       // a name that looks like an option
      {{"/dev/stdin"}, ""},    // a pipe cannot tell its size: an empty program
      {{"accent.txt"}, "195"}, // only beside the program
      {{"utf8::accent.txt"}, "233"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.args.empty() ? "(no argument)" : r.args[0]);
    outcome o = inst.start(r.args);
    EXPECT_EQ(o.out, HEAD + r.printed + TAIL);
    EXPECT_EQ(o.status, 0);
  }
}

// Start-up leaves the working directory for the program's own, here this test's (in a child).
TEST(startup, moves_to_the_program_directory) {
  const fs::path own = fs::canonical("/proc/self/exe").parent_path();
  EXPECT_EXIT((void(chdir("/")), tarvex::startup(), std::exit(fs::current_path() == own ? 0 : 1)),
              ::testing::ExitedWithCode(0), "");
}

} // namespace
