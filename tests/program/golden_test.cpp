// Golden programs: each tests/golden/NAME.golden is one case, a header of "key: value" lines,
// a line "----", then the program's exact bytes. Keys: args (words, "@file" for the program,
// "@PATH" for a file of the source tree; default "--delay=0 @file"), or shell (a line for
// /bin/sh in place of args, $T naming the built tarvex, for the endings only a shell arranges:
// closed or full streams, signals, limits), stdin (default one line feed, the Enter that
// answers the closing prompt), stdout, stderr (checked only when given; each "..." in it stands
// for any bytes, as counts and times vary), status, and "sanitized: no" for a case the
// sanitizers cannot run. Values take the escapes \r, \n, \xHH and \\. After the program, a
// line "---- out" starts the exact bytes the run leaves in the file "out". Each runs with no
// display in a folder of its own, which holds the program as prog.txt.
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

// Whether `text` is `pattern`, each "..." in the pattern standing for any bytes.
bool matches(const std::string& text, const std::string& pattern) {
  const size_t dots = pattern.find("...");
  if (dots == std::string::npos) return text == pattern;
  if (text.compare(0, dots, pattern, 0, dots) != 0) return false;
  for (size_t at = dots; at <= text.size(); ++at)
    if (matches(text.substr(at), pattern.substr(dots + 3))) return true;
  return false;
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
  const size_t out = text.find("\n---- out\n", split);
  tempdir dir;
  const std::string program = dir.file(
      "prog.txt", text.substr(split + 6, out == std::string::npos ? out : out - split - 6));
  invocation call{.program = TARVEX_BIN,
                  .input = unescape(header["stdin"]),
                  .workdir = dir.path(),
                  .timeoutseconds = 60};
  std::istringstream words(header["args"]);
  for (std::string word; words >> word;)
    call.args.push_back(word == "@file"  ? program
                        : word[0] == '@' ? TARVEX_SOURCE_DIR "/" + word.substr(1)
                                         : word);
#ifdef TARVEX_SANITIZED
  if (header["sanitized"] == "no")
    GTEST_SKIP() << "address space limits and the sanitizers do not mix";
#endif
  if (header.count("shell"))
    call.program = "/bin/sh", call.args = {"-c", "T=" TARVEX_BIN "; " + header["shell"]};
  // Each case twice: as given, and with every pass, however small, shared among three threads.
  // A shell line runs once: it may leave files that a second run would trip over.
  for (const bool parts : {false, true}) {
    if (parts && header.count("shell")) break;
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
      EXPECT_TRUE(matches(err, unescape(header["stderr"]))) << err;
    }
    if (out != std::string::npos) {
      EXPECT_EQ(readfile(dir.path() + "/out"), text.substr(out + 10));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(programs, golden, ::testing::ValuesIn(cases()),
                         [](const auto& param) { return param.param; });

} // namespace
