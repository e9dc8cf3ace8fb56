// The message framing.
#include "dap/wire.h"

#include <charconv>

namespace tarvex {

namespace {

// A header longer than this without its empty line is not one.
constexpr size_t MAXHEADERBYTES = 4096;

bool samename(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

} // namespace

void messagereader::feed(const char* bytes, size_t size) {
  if (!_error.empty()) return;
  // What the messages handed out held is dropped before the buffer grows.
  if (_at > 0 && _at >= _buffer.size() / 2) {
    _buffer.erase(0, _at);
    _at = 0;
  }
  _buffer.append(bytes, size);
}

messagereader::result messagereader::next(std::string& body, std::string& error) {
  if (!_error.empty()) {
    error = _error;
    return result::broken;
  }
  const std::string_view rest = std::string_view(_buffer).substr(_at);
  const size_t end = rest.find("\r\n\r\n");
  if (end == std::string_view::npos) {
    if (rest.size() <= MAXHEADERBYTES) return result::none;
    _error = "broken header: no empty line after " + std::to_string(MAXHEADERBYTES) + " bytes";
  }
  int64_t length = -1;
  for (size_t line = 0; _error.empty() && line < end;) {
    size_t stop = rest.find("\r\n", line);
    const std::string_view field = rest.substr(line, stop - line);
    line = stop + 2;
    const size_t colon = field.find(':');
    if (colon == std::string_view::npos) {
      _error = "broken header: a line without a colon";
      break;
    }
    if (!samename(trimmed(field.substr(0, colon)), "Content-Length")) continue;
    const std::string_view digits = trimmed(field.substr(colon + 1));
    int64_t value = 0;
    auto [last, fault] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || fault != std::errc() || last != digits.data() + digits.size() ||
        value < 0)
      _error = "broken header: Content-Length is not a number";
    else if (value > MAXMESSAGEBYTES)
      _error = "message of " + std::to_string(value) + " bytes is over the limit of 16 MiB";
    else
      length = value;
  }
  if (_error.empty() && length < 0) _error = "broken header: no Content-Length";
  if (!_error.empty()) {
    error = _error;
    return result::broken;
  }
  const size_t start = end + 4;
  if (rest.size() - start < static_cast<size_t>(length)) return result::none;
  body.assign(rest.substr(start, static_cast<size_t>(length)));
  _at += start + static_cast<size_t>(length);
  return result::message;
}

std::string framemessage(const std::string& body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

} // namespace tarvex
