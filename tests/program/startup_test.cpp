// Start-up leaves the working directory for the program's own, here this test's (in a child).
// Where a named source is looked up, and what the first argument leads to, is in the golden
// case a_named_source_is_found_where_the_user_stands_then_beside_the_program; an empty font
// file is the golden case empty_font_file_ends_before_anything_is_printed, a missing one is
// tested with the installation `make install` and `make deb` make, beside its rules in dist/test/.
#include "app/startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace {

TEST(startup, moves_to_the_program_directory) {
  namespace fs = std::filesystem;
  const fs::path own = fs::canonical("/proc/self/exe").parent_path();
  EXPECT_EXIT((void(chdir("/")), tarvex::startup(), std::exit(fs::current_path() == own ? 0 : 1)),
              ::testing::ExitedWithCode(0), "");
}

} // namespace
