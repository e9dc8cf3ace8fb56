// The state trace writer. Lines are written whole or not at all: a line that the file takes
// only in part is cut off again, so what the file holds stays valid line by line.
#include "app/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvex {

namespace {

void appendnumber(std::string& json, long long value) {
  json += std::to_string(value);
}

void appendhex4(std::string& json, unsigned code) {
  static constexpr char digits[] = "0123456789abcdef";
  json += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4)
    json.push_back(digits[(code >> shift) & 15]);
}

} // namespace

void appendjsonstring(std::string& json, const Text& text) {
  json.push_back('"');
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') {
      json.push_back('\\');
      json.push_back(static_cast<char>(c));
    } else if (c >= 32 && c < 127) {
      json.push_back(static_cast<char>(c));
    } else {
      appendhex4(json, c);
    }
  }
  json.push_back('"');
}

tracewriter::~tracewriter() {
  if (_fd >= 0) close(_fd);
}

Text tracewriter::failure() const {
  return frombytes("tarvex: cannot write the trace " + _path + ": " + _reason + "\n");
}

bool tracewriter::open(const std::string& path) {
  _path = path;
  // Never 0, 1 or 2: a closed standard stream must not become the trace.
  _fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  while (_fd >= 0 && _fd <= 2)
    _fd = fcntl(_fd, F_DUPFD_CLOEXEC, 3);
  if (_fd < 0) _reason = std::strerror(errno);
  return _fd >= 0;
}

bool tracewriter::header(const Text& source, const machine& m) {
  std::string line = "{\"tarvex\":\"" TARVEX_VERSION "\",\"source\":";
  appendjsonstring(line, source);
  line += ",\"lines\":";
  appendnumber(line, m.grid.linecount);
  line += ",\"longest\":";
  appendnumber(line, m.grid.maxlen);
  line += "}\n";
  _lengths.clear();
  for (const Text& text : m.grid.lines)
    _lengths.push_back(text.size());
  return writeline(line);
}

namespace {

void appendpointer(std::string& line, const ip& p) {
  const long long fields[] = {p.id, p.x,        p.y,        p.dir,  p.val[0], p.val[1],
                              p.on, p.printing, p.remafter, p.wait, p.n};
  line.push_back('[');
  for (size_t i = 0; i < std::size(fields); ++i) {
    if (i) line.push_back(',');
    appendnumber(line, fields[i]);
  }
  line.push_back(']');
}

} // namespace

bool tracewriter::edited(const edit& e, const machine& m) {
  std::string line = "{\"edit\":{\"tick\":";
  appendnumber(line, m.tick);
  switch (e.kind) {
  case editkind::cell:
    line += ",\"cell\":[" + std::to_string(e.at.x) + "," + std::to_string(e.at.y) + "," +
            std::to_string(e.value) + "]";
    break;
  case editkind::lines:
    line += ",\"lines\":[" + std::to_string(e.at.y) + "," + std::to_string(e.value) + ",[";
    for (size_t i = 0; i < e.texts.size(); ++i) {
      if (i) line.push_back(',');
      appendjsonstring(line, e.texts[i]);
    }
    line += "]]";
    break;
  case editkind::remove: line += ",\"remove\":" + std::to_string(e.id); break;
  default:
    // Any change to a pointer: the whole record as it now stands.
    line += ",\"pointer\":";
    if (const ip* p = findpointer(m, e.id)) appendpointer(line, *p);
    break;
  }
  line += "}}\n";
  return writeline(line);
}

bool tracewriter::state(const machine& m, const std::string& out) {
  std::string& line = _line;
  line = "{\"tick\":";
  appendnumber(line, m.tick);
  line += ",\"pointers\":[";
  bool first = true;
  m.ips.each([&](const ip& p) {
    if (!first) line.push_back(',');
    first = false;
    appendpointer(line, p);
  });
  line += "],\"writes\":[";
  first = true;
  m.writes.each([&](const buf& w) {
    line += first ? "[" : ",[";
    first = false;
    appendnumber(line, w.x);
    line.push_back(',');
    appendnumber(line, w.y);
    line.push_back(',');
    appendnumber(line, w.code);
    line.push_back(']');
  });
  line += "],\"lengths\":[";
  first = true;
  _lengths.resize(m.grid.lines.size(), 0);
  for (size_t y = 0; y < m.grid.lines.size(); ++y) {
    const size_t length = m.grid.lines[y].size();
    if (length == _lengths[y]) continue;
    _lengths[y] = length;
    line += first ? "[" : ",[";
    first = false;
    appendnumber(line, static_cast<long long>(y));
    line.push_back(',');
    appendnumber(line, static_cast<long long>(length));
    line.push_back(']');
  }
  line += "],\"out\":";
  appendjsonstring(line, frombytes(out));
  line += "}\n";
  return writeline(line);
}

bool tracewriter::writeline(std::string& line) {
  if (_fd < 0) return false;
  size_t done = 0;
  while (done < line.size()) {
    ssize_t n = ::write(_fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      _reason = std::strerror(n < 0 ? errno : ENOSPC);
      // The part of the line that got in goes again, so the file ends after a whole line.
      if (ftruncate(_fd, _size) != 0) {
      }
      close(_fd);
      _fd = -1;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  _size += static_cast<long long>(line.size());
  return true;
}

} // namespace tarvex
