// Golden programs: each tests/golden/NAME.golden is one case, a header of "key: value" lines,
// a line "----", then the program's exact bytes. Keys: args (words, "@file" for the program,
// "@PATH" for a file of the source tree; default "--delay=0 @file"), stdin (default one line
// feed, the Enter that answers the closing prompt), stdout, stderr (checked only when given)
// and status. Values take the escapes \r, \n, \\ and \xHH. Each runs the built tarvex with
// no display.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/support/process.h"

namespace fs = std::filesystem;
using namespace tarvex::testing;

namespace {

std::vector<std::string> cases() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(TARVEX_TESTS_DIR "/golden"))
    if (e.path().extension() == ".golden") names.push_back(e.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string unescape(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
    } else if (char c = value[++i]; c == 'x') {
      out += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16)), i += 2;
    } else {
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
  }
  return out;
}

class golden : public ::testing::TestWithParam<std::string> {};

TEST_P(golden, program_gives_exact_bytes_and_status) {
  const std::string text = readfile(TARVEX_TESTS_DIR "/golden/" + GetParam() + ".golden");
  const size_t split = text.find("\n----\n");
  ASSERT_NE(split, std::string::npos) << "no ---- line";
  std::map<std::string, std::string> header{{"args", "--delay=0 @file"}, {"stdin", "\\n"}};
  std::istringstream lines(text.substr(0, split));
  for (std::string line; std::getline(lines, line);)
    if (size_t colon = line.find(':'); colon != std::string::npos)
      header[line.substr(0, colon)] = line.substr(colon + (line[colon + 1] == ' ' ? 2 : 1));
  tempdir dir;
  const std::string program = dir.file("prog.txt", text.substr(split + 6));
  invocation call{.program = TARVEX_BIN, .input = unescape(header["stdin"]), .timeoutseconds = 10};
  std::istringstream words(header["args"]);
  for (std::string word; words >> word;)
    call.args.push_back(word == "@file"  ? program
                        : word[0] == '@' ? TARVEX_SOURCE_DIR "/" + word.substr(1)
                                         : word);

  // Each case twice: as given, and with every pass, however small, shared among three threads.
  for (const bool parts : {false, true}) {
    SCOPED_TRACE(parts ? "every pass in parts" : "as given");
    if (parts) call.env = {{"TARVEX_TEST_PARTS", "3"}};
    outcome r = run(call);
    ASSERT_FALSE(r.timedout);
    EXPECT_EQ(r.out, unescape(header["stdout"]));
    EXPECT_EQ(r.status, std::stoi(header["status"]));
    // The one line about running without a window is the environment's, not the program's.
    std::string err = r.err;
    if (err.rfind("tarvex: no display available", 0) == 0) err = err.substr(err.find('\n') + 1);
    if (header.count("stderr")) {
      EXPECT_EQ(err, unescape(header["stderr"]));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(programs, golden, ::testing::ValuesIn(cases()),
                         [](const auto& param) { return param.param; });

} // namespace
