// Arbitrary bytes as the debug adapter's input: the framing, the JSON and every request with
// whatever arguments come, over a small program held in memory. The adapter may refuse a
// message but must never crash, hang or leak; a broken stream ends the input as it would
// end the process.
#include <cstdint>
#include <string>

#include "dap/adapter.h"
#include "dap/wire.h"
#include "runtime/memstream.h"
#include "session/session.h"

using namespace tarvex;

namespace {

// A program that ends by itself, writes, has two lines, and reads no input.
constexpr const char* PROGRAM = "%+++++>.;-?v\n      ^    <\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  adapterhooks hooks;
  // No file is opened: a name with "missing" in it cannot be loaded, any other is the program.
  hooks.load = [](session& run, const std::string& path) {
    if (path.find("missing") != std::string::npos)
      return run.load(u"/nonexistent/missing.tvx", u"missing.tvx");
    TMemoryStream source{std::string(PROGRAM)};
    return run.load(source, fromutf8name(path));
  };
  hooks.readfile = [](const std::string& path) -> std::optional<std::string> {
    if (path.find("missing") != std::string::npos) return std::nullopt;
    return path;
  };
  size_t sent = 0;
  adapter dap([&](const std::string& body) { sent += body.size(); }, [](const std::string&) {},
              hooks);
  messagereader reader;
  reader.feed(reinterpret_cast<const char*>(data), size);
  std::string body, error;
  while (reader.next(body, error) == messagereader::result::message) {
    if (!dap.receive(body, error) || dap.done()) break;
    // A run that goes on forever is given a few slices, as the serving loop would.
    for (int slice = 0; slice < 2 && dap.busy(); ++slice)
      dap.advance();
  }
  return 0;
}
