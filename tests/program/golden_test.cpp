// Golden programs: every folder under tests/golden holds a program ("prog.txt"), its standard
// input ("stdin"), the exact standard output bytes ("stdout"), the exit status ("status") and,
// where it matters, the exact standard error ("stderr") and the arguments ("args", one a line,
// "@dir@" standing for the case's folder). Each runs against the built tarvex with no display.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/support/process.h"

namespace fs = std::filesystem;
using namespace tarvex::testing;

namespace {

std::string golden_root() {
  return std::string(TARVEX_TESTS_DIR) + "/golden";
}

std::vector<std::string> cases() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(golden_root()))
    if (e.is_directory()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// Shows control bytes so a mismatch in line ends or stray bytes is visible.
std::string visible(const std::string& bytes) {
  std::ostringstream o;
  for (char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == '\r')
      o << "\\r";
    else if (c == '\n')
      o << "\\n\n";
    else if (c < 32 || c > 126)
      o << "\\x" << std::hex << int(c) << std::dec;
    else
      o << byte;
  }
  return o.str();
}

class golden : public ::testing::TestWithParam<std::string> {};

TEST_P(golden, program_gives_exact_bytes_and_status) {
  const std::string dir = golden_root() + "/" + GetParam();
  invocation call{.program = TARVEX_BIN};
  if (fs::exists(dir + "/args")) {
    std::istringstream lines(readfile(dir + "/args"));
    for (std::string line; std::getline(lines, line);)
      call.args.push_back(replace_all(line, "@dir@", dir));
  } else {
    // The pause changes no byte; other tests keep the default.
    call.args = {"--delay=0", dir + "/prog.txt"};
  }
  if (fs::exists(dir + "/stdin")) call.input = readfile(dir + "/stdin");

  outcome r = run(call);

  ASSERT_FALSE(r.timedout);
  EXPECT_EQ(visible(r.out), visible(readfile(dir + "/stdout")));
  EXPECT_EQ(r.status, std::stoi(readfile(dir + "/status")));
  if (fs::exists(dir + "/stderr")) {
    // The one line about running without a window is the environment's, not the program's.
    std::string err = r.err;
    if (err.rfind("tarvex: no display available", 0) == 0) err = err.substr(err.find('\n') + 1);
    EXPECT_EQ(visible(err), visible(readfile(dir + "/stderr")));
  }
}

INSTANTIATE_TEST_SUITE_P(programs, golden, ::testing::ValuesIn(cases()),
                         [](const auto& param_info) { return param_info.param; });

} // namespace
