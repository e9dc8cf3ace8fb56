// The text stream: the four encodings in both directions, byte for byte.
#include "runtime/textstream.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tarvex;

namespace {

// Reads from `data` and appends writes to `written`.
struct memory : TStream {
  std::string data, written;
  size_t at = 0;
  explicit memory(std::string bytes) : data(std::move(bytes)) {}
  int64_t Pos() override { return static_cast<int64_t>(at); }
  int64_t Size() override { return static_cast<int64_t>(data.size()); }
  int64_t Read(uint8_t* buffer, int64_t n) override {
    size_t moved = std::min(static_cast<size_t>(n), data.size() - at);
    std::copy_n(data.data() + at, moved, buffer);
    at += moved;
    return static_cast<int64_t>(moved);
  }
  int64_t Write(const uint8_t* buffer, int64_t n) override {
    written.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    return n;
  }
};

std::vector<int> readall(int encoding, const std::string& bytes) {
  auto text = TTextStream::Create(std::make_unique<memory>(bytes), encoding);
  std::vector<int> codes;
  while (!text->Eof())
    codes.push_back(text->ReadChar());
  return codes;
}

} // namespace

TEST(textstream, each_encoding_writes_and_reads_the_same_bytes) {
  std::tuple<int, std::vector<int>, std::string> rows[] = {
      {LATIN1, {233, 65}, "\xe9\x41"},
      {UTF8, {127, 128, 2047}, "\x7f\xc2\x80\xdf\xbf"},
      {UTF8, {2048, 0xFFFF}, "\xe0\xa0\x80\xef\xbf\xbf"},
      {UTF16BE, {0x20AC, 65}, std::string("\x20\xac\0A", 4)},
      {UTF16LE, {0x20AC, 65}, std::string("\xac\x20\x41\0", 4)},
  };
  for (const auto& [encoding, codes, bytes] : rows) {
    auto sink = std::make_unique<memory>("");
    const std::string& written = sink->written;
    auto text = TTextStream::Create(std::move(sink), encoding);
    for (int code : codes)
      text->WriteChar(code);
    EXPECT_EQ(written, bytes) << encoding;
    EXPECT_EQ(readall(encoding, bytes), codes) << encoding;
  }
  // Lead bytes 240 to 247 take four bytes and give the replacement character.
  EXPECT_EQ(readall(UTF8, "\xf0\x9f\x98\x80\xf7\xbf\xbf\xbf!"),
            (std::vector<int>{0xFFFD, 0xFFFD, '!'}));
}

TEST(textstream, readchar_raises_when_the_data_ends_inside_a_character) {
  EXPECT_THROW(readall(UTF8, "\xe2\x82"), TStreamReadException);
  EXPECT_THROW(readall(UTF16LE, "A"), TStreamReadException);
}
