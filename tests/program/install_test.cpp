// The program as a user starts it: files found beside the program whatever the working
// directory, the font file missing or empty, and where the first
// argument leads. Most cases copy the built program into a fresh folder of their own; the last
// installs this build as `make install` does, and packs it as `make deb` does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

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

TEST(install, relative_names_resolve_beside_the_program_then_in_the_working_directory) {
  installation inst;
  inst.elsewhere.file("code.txt", "%++.@");
  inst.elsewhere.file("other.txt", "%+++.@");
  inst.home.file("other.txt", "%++++.@");
  inst.elsewhere.file("mine.txt", "%+++++.@");
  inst.elsewhere.file("n\xC3\xB6pe.txt", "%++++++.@");
  inst.elsewhere.file("caf\xE9.txt", "%+++++++.@");
  inst.elsewhere.file("--odd.txt", "%++++++++.@");

  struct row {
    std::vector<std::string> args;
    std::string printed;
  } rows[] = {
      {{}, "1"},                                     // code.txt beside the program
      {{"other.txt"}, "4"},                          // a relative argument, beside the program too
      {{"other.txt", "code.txt"}, "4"},              // the second argument is ignored
      {{inst.elsewhere.path() + "/other.txt"}, "3"}, // an absolute path is taken as it is
      {{"mine.txt"}, "5"},                           // none beside the program: where we stand
      {{"--delay=0", "mine.txt", "--delay", "0"}, "5"}, // options before and after the source
      {{"n\xC3\xB6pe.txt"}, "6"},                       // UTF-8 names
      {{"caf\xE9.txt"}, "7"},                           // and names that are not UTF-8
      {{"--", "--odd.txt"}, "8"},
      {{"/dev/stdin"}, ""}, // a pipe cannot tell its size: an empty program // a name that looks
                            // like an option
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.args.empty() ? "(no argument)" : r.args[0]);
    outcome o = inst.start(r.args);
    EXPECT_EQ(o.out, HEAD + r.printed + TAIL);
    EXPECT_EQ(o.status, 0);
  }
}

TEST(install, a_missing_source_is_named_as_typed) {
  installation inst;
  for (std::string name : {"n\xC3\xB6pe.txt", "caf\xE9.txt"}) {
    outcome o = inst.start({name});
    EXPECT_EQ(o.out, "Could not load " + name + "\r\n>");
    EXPECT_EQ(o.status, 1);
  }
}

// A missing font file is named and ends with status 1; an empty one is a read error (255).
TEST(install, a_missing_or_empty_font_file_ends_before_anything_is_printed) {
  for (bool missing : {true, false}) {
    installation inst;
    if (missing)
      fs::remove(inst.home.path() + "/curses.bit");
    else
      inst.home.file("curses.bit", "");
    outcome o = inst.start({});
    EXPECT_EQ(o.status, missing ? 1 : 255);
    EXPECT_EQ(o.out, "");
    const char* said = missing ? "curses.bit" : "Error reading from stream";
    EXPECT_NE(o.err.find(said), std::string::npos) << o.err;
  }
}

TEST(install, a_source_read_through_a_decoding_prefix_holds_the_decoded_characters) {
  installation inst;
  // "é" in UTF-8 is two bytes: read plainly, "(" loads the first of them (195); read through
  // "utf8::", the one decoded character (233).
  inst.home.file("accent.txt", "%(\xC3\xA9.@");
  EXPECT_EQ(inst.start({"accent.txt"}).out, HEAD + "195" + TAIL);
  EXPECT_EQ(inst.start({"utf8::accent.txt"}).out, HEAD + "233" + TAIL);
  EXPECT_EQ(inst.start({"UTF8::accent.txt"}).out, HEAD + "233" + TAIL);
}

// Every file under root, relative to it, in order.
std::vector<std::string> filesunder(const std::string& root) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (!entry.is_directory()) files.push_back(fs::relative(entry.path(), root).string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    all.push_back(line);
  return all;
}

std::string trimmed(std::string text) {
  while (!text.empty() && text.back() == '\n')
    text.pop_back();
  return text;
}

// The options --help lists, each once: "  --trace FILE ..." gives "--trace".
std::vector<std::string> helpoptions(const std::string& help) {
  std::vector<std::string> options;
  for (const std::string& line : lines(help))
    if (line.rfind("  --", 0) == 0) {
      std::string name = line.substr(2, line.find_first_of(" [", 2) - 2);
      if (name != "--") options.push_back(name);
    }
  return options;
}

const std::vector<std::string> LAYOUT = {
    "usr/bin/tarvex",
    "usr/share/bash-completion/completions/tarvex",
    "usr/share/doc/tarvex/README.md",
    "usr/share/doc/tarvex/changelog.gz",
    "usr/share/doc/tarvex/copyright",
    "usr/share/man/man1/tarvex.1.gz",
    "usr/share/tarvex/code.txt",
    "usr/share/tarvex/countdown.txt",
    "usr/share/tarvex/curses.bit",
    "usr/share/tarvex/hello.txt",
    "usr/share/tarvex/sum.txt",
};

// A run of the installed program from a directory of its own, after the font is taken away or
// a default program is put beside the program. Without the font nothing is printed but the
// message (status 1); otherwise `printed` stands between a batch run's opening and closing lines.
struct installedrun {
  std::vector<std::string> args; // "@share" stands for the installed data directory
  enum { plain, nofont, codebeside } setup;
  std::string printed;
};

const installedrun RUNS[] = {
    {{"--batch"}, installedrun::plain, "Many pointers at once:\r\n21534625"}, // the demo
    {{"--batch", "@share/hello.txt"}, installedrun::plain, "Hello, world!\r\n"},
    {{"--batch", "mine.txt"}, installedrun::plain, "1"}, // from the working directory
    {{"--batch"}, installedrun::codebeside, "2"},        // beside the program before share/
    {{"--batch"}, installedrun::nofont, ""},
};

// Bash's words for the line being completed, the last the one under the cursor, and what it
// offers, sorted. The working directory holds the folder d1 and the file d2.txt.
const std::pair<std::vector<std::string>, std::string> COMPLETIONS[] = {
    {{"--he"}, "--headless --help"},
    {{"--scale", ""}, "1 2 3 4"},
    {{"--scale", "=", ""}, "1 2 3 4"},
    {{"--stats", "=", ""}, "json"},
    {{"--frames", ""}, "d1"},
    {{"--gif", ""}, "d1 d2.txt"},
    {{"--delay", ""}, ""},
    {{"d"}, "d1 d2.txt"},
    {{"--", "--he"}, ""},
};

TEST(install, make_install_and_the_package_lay_out_the_program_and_it_runs_from_anywhere) {
  tempdir work, elsewhere;
  const std::string installed = work.path() + "/installed";
  // What `make install DESTDIR=... PREFIX=/usr` runs.
  outcome o = run({.program = "env",
                   .args = {"DESTDIR=" + installed, TARVEX_CMAKE, "--install", TARVEX_BUILD_DIR,
                            "--prefix", "/usr"}});
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  EXPECT_EQ(filesunder(installed), LAYOUT);
  std::vector<std::string> roots = {installed};

#ifdef TARVEX_SANITIZED
  std::cout << "The package is made and linted only in the plain build.\n";
#else
  // What `make deb` runs, on this build: the package, its file list, and the files it unpacks.
  o = run({.program = TARVEX_CPACK,
           .args = {"-G", "DEB", "--config", TARVEX_BUILD_DIR "/CPackConfig.cmake", "-B",
                    work.path() + "/deb"},
           .timeoutseconds = 300});
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  const std::string version =
      trimmed(run({.program = installed + "/usr/bin/tarvex", .args = {"--version"}}).out).substr(7);
  const std::string arch = trimmed(run({.program = "dpkg", .args = {"--print-architecture"}}).out);
  const std::string deb = work.path() + "/deb/tarvex_" + version + "_" + arch + ".deb";
  ASSERT_TRUE(fs::exists(deb)) << deb;
  std::vector<std::string> listed;
  for (const std::string& line :
       lines(run({.program = "dpkg-deb", .args = {"--contents", deb}}).out))
    if (line[0] == '-') listed.push_back(line.substr(line.rfind(" ./") + 3));
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, LAYOUT);
  // The dependencies come from the libraries the binary links (dpkg-shlibdeps).
  const std::string depends = run({.program = "dpkg-deb", .args = {"--field", deb, "Depends"}}).out;
  for (const char* library : {"libc6", "libsdl2-2.0-0", "libpng16-16", "libgif7"})
    EXPECT_NE(depends.find(library), std::string::npos) << depends;
  const std::string unpacked = work.path() + "/unpacked";
  ASSERT_EQ(run({.program = "dpkg", .args = {"-x", deb, unpacked}}).status, 0);
  roots.push_back(unpacked);

  o = run({.program = "lintian", .args = {"--fail-on", "error", deb}, .timeoutseconds = 300});
  if (o.status == 127) {
    std::cout << "lintian is not installed; the package is not linted.\n";
  } else {
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    std::cout << "lintian: " << (o.out.empty() ? "nothing to report\n" : o.out);
  }
#endif

  elsewhere.file("mine.txt", "%+.@");
  for (const std::string& root : roots) {
    for (const installedrun& r : RUNS) {
      SCOPED_TRACE(root + ": " + r.args.back() + ", setup " + std::to_string(r.setup));
      const std::string font = root + "/usr/share/tarvex/curses.bit";
      const std::string beside = root + "/usr/bin/code.txt";
      if (r.setup == installedrun::nofont) fs::rename(font, font + ".away");
      if (r.setup == installedrun::codebeside) std::ofstream(beside) << "%++.@";
      std::vector<std::string> args = r.args;
      for (std::string& a : args)
        if (a.rfind("@share", 0) == 0) a.replace(0, 6, root + "/usr/share/tarvex");
      o = run({.program = root + "/usr/bin/tarvex", .args = args, .workdir = elsewhere.path()});
      const bool nofont = r.setup == installedrun::nofont;
      EXPECT_EQ(o.out, nofont ? ""
                              : "Executing program..\r\n\r\n" + r.printed +
                                    "\r\n\r\nExecution complete.\r\n");
      EXPECT_EQ(o.err, nofont ? "tarvex: cannot open the font file curses.bit\n" : "");
      EXPECT_EQ(o.status, nofont ? 1 : 0);
      if (nofont) fs::rename(font + ".away", font);
      fs::remove(beside);
    }
  }

  // The man page renders cleanly and lists every option --help lists; completion offers each.
  const std::vector<std::string> options =
      helpoptions(run({.program = installed + "/usr/bin/tarvex", .args = {"--help"}}).out);
  EXPECT_GT(options.size(), 15u);
  o = run({.program = "env",
           .args = {"LC_ALL=C", "MANWIDTH=80", "man", "--warnings", "-l",
                    installed + "/usr/share/man/man1/tarvex.1.gz"}});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  for (const std::string& option : options)
    EXPECT_NE(o.out.find(option), std::string::npos) << "the man page lacks " << option;

  tempdir listing;
  fs::create_directory(listing.path() + "/d1");
  listing.file("d2.txt", "");
  auto complete = [&](std::vector<std::string> words) {
    std::vector<std::string> args = {
        "-c",
        "source \"$1\"; shift; COMP_WORDS=(tarvex \"$@\"); COMP_CWORD=$#; _tarvex; "
        "printf '%s\\n' \"${COMPREPLY[@]}\" | sort | paste -sd ' '",
        "bash", installed + "/usr/share/bash-completion/completions/tarvex"};
    args.insert(args.end(), words.begin(), words.end());
    return trimmed(run({.program = "bash", .args = args, .workdir = listing.path()}).out);
  };
  for (const auto& [words, offered] : COMPLETIONS)
    EXPECT_EQ(complete(words), offered) << words.front();
  for (const std::string& option : options)
    EXPECT_NE((" " + complete({option}) + " ").find(" " + option + " "), std::string::npos)
        << "completion lacks " << option;
}

} // namespace
