// A console whose input is given bytes and whose output is kept in memory.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/console.h"
#include "runtime/nocopy.h"

namespace tarvex::testing {

inline std::FILE* filewith(const std::string& bytes) {
  std::FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  return file;
}

struct memconsole : nocopy {
  explicit memconsole(const std::string& input = "") : in(filewith(input)), con(in, out) {}
  ~memconsole() { std::fclose(in), std::fclose(out), std::free(outbytes); }

  std::string output() {
    std::fflush(out);
    return std::string(outbytes, outsize);
  }

  std::FILE* in;
  char* outbytes = nullptr;
  size_t outsize = 0;
  std::FILE* out = open_memstream(&outbytes, &outsize);
  console con;
};

} // namespace tarvex::testing
