// The framing of the debug protocol: a header of "Name: value" lines with Content-Length,
// an empty line, then that many bytes of JSON. The reader takes bytes as they come and hands
// out whole message bodies, or says what is wrong with the stream.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvex {

// A body longer than this is refused rather than waited for.
constexpr int64_t MAXMESSAGEBYTES = int64_t{16} << 20;

class messagereader {
public:
  enum class result { none, message, broken };

  void feed(const char* bytes, size_t size);
  // The next whole body in `body`; `none` until more bytes come; `broken`, with the reason in
  // `error`, when the stream is not the protocol (the reader then stays broken).
  result next(std::string& body, std::string& error);
  // Bytes of a message that has not come whole.
  bool partial() const { return _at < _buffer.size(); }

private:
  std::string _buffer;
  size_t _at = 0; // where the next message starts
  std::string _error;
};

// A body with its header, ready to be written.
std::string framemessage(const std::string& body);

} // namespace tarvex
