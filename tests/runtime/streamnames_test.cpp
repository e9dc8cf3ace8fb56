// Opening by name: plain files, encoding and byte-order protocols, and every name that must
// fail to open (including the network protocols, which do not exist).
#include "runtime/streamnames.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"

using namespace tarvex;
using namespace tarvex::testing;

namespace {

Text textof(const std::string& bytes) {
  return frombytes(bytes);
}

// Records what it was asked and answers for the protocol "probe" only.
class probefactory : public TStreamFactory {
public:
  std::unique_ptr<TStream> CreateStream(const Text& url, const Text& proto, const Text& path,
                                        bool readable, bool writeable) override {
    ++asked;
    lasturl = url, lastproto = proto, lastpath = path;
    lastreadable = readable, lastwriteable = writeable;
    if (proto != u"probe") return nullptr;
    return std::make_unique<TStream>();
  }
  int asked = 0;
  Text lasturl, lastproto, lastpath;
  bool lastreadable = false, lastwriteable = true;
};

} // namespace

TEST(streamnames, names_open_with_the_decoding_their_protocol_selects) {
  tempdir dir;
  std::string prog = dir.file("prog.txt", "\xc3\xa9\r\nx");
  std::string wide = dir.file("wide.txt", std::string("\0A\0\n", 4));
  dir.file("sub/code.txt", "sub");
  struct row {
    std::string name;
    Text firstline;
  } rows[] = {
      {prog, u"\u00c3\u00a9"},
      {"utf8::" + prog, u"\u00e9"},
      {"UTF8::" + prog, u"\u00e9"},
      {"latin1::" + prog, u"\u00c3\u00a9"},
      {"utf16be::" + wide, u"A"},
      {"utf16le::" + wide, u"\u4100\u0a00"}, // no line feed in this byte order
      {"bigendian::" + prog, u"\u00c3\u00a9"},
      {"LittleEndian::" + prog, u"\u00c3\u00a9"},
      {"utf8::bigendian::" + prog, u"\u00e9"}, // the path is itself a name
      {dir.path() + "\\sub\\code.txt", u"sub"},
      {"utf8::" + dir.path() + "\\sub\\code.txt", u"sub"},
  };
  for (const row& r : rows) {
    std::unique_ptr<TStream> stream = openforread(textof(r.name));
    ASSERT_TRUE(stream) << r.name;
    EXPECT_EQ(stream->ReadLine(), r.firstline) << r.name;
  }
}

TEST(streamnames, encoded_files_keep_the_end_of_file_rule) {
  tempdir dir;
  std::string prog = dir.file("prog.txt", "\xc3\xa9\r\nx\n");
  std::unique_ptr<TStream> stream = openforread(textof("utf8::" + prog));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->ReadLine(), u"\u00e9");
  EXPECT_FALSE(stream->Eof());
  EXPECT_EQ(stream->ReadLine(), u"x");
  EXPECT_TRUE(stream->Eof());
}

TEST(streamnames, unaccepted_protocols_and_missing_files_give_no_stream) {
  tempdir dir;
  std::string prog = dir.file("prog.txt", "x");
  std::string colons = dir.file("a::b.txt", "x");
  std::string names[] = {
      "",
      "foo::" + prog,
      "::" + prog,
      "tcp::x",
      "tcp::localhost:80",
      "http::x",
      "http::example.com/index.html",
      "incbin::x",
      "utf8::",
      "utf8::" + dir.path() + "/missing.txt",
      dir.path() + "/missing.txt",
      colons,            // a plain name holding "::" is read as protocol and path
      "utf8::" + colons, // and so is the path after a protocol
  };
  for (const std::string& name : names)
    EXPECT_FALSE(openforread(textof(name))) << name;
}

TEST(streamnames, newest_factory_is_asked_with_the_split_name) {
  probefactory probe;
  std::unique_ptr<TStream> stream = openforread(u"PROBE::x::y");
  EXPECT_TRUE(stream);
  EXPECT_EQ(probe.lasturl, u"PROBE::x::y");
  EXPECT_EQ(probe.lastproto, u"probe");
  EXPECT_EQ(probe.lastpath, u"x::y");
  EXPECT_TRUE(probe.lastreadable);
  EXPECT_FALSE(probe.lastwriteable);
}

TEST(streamnames, empty_name_asks_the_factories_with_empty_protocol_and_path) {
  probefactory probe;
  EXPECT_FALSE(openforread(u""));
  EXPECT_EQ(probe.asked, 1);
  EXPECT_EQ(probe.lastproto, u"");
  EXPECT_EQ(probe.lastpath, u"");
}

TEST(streamnames, plain_names_never_reach_the_factories) {
  tempdir dir;
  probefactory probe;
  EXPECT_TRUE(openforread(textof(dir.file("plain.txt", "x"))));
  EXPECT_EQ(probe.asked, 0);
}

TEST(streamnames, a_removed_factory_is_no_longer_asked) {
  {
    probefactory probe;
    EXPECT_TRUE(openforread(u"probe::x"));
  }
  EXPECT_FALSE(openforread(u"probe::x"));
}
