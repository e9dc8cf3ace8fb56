// Opening streams by name: plain file names and "protocol::path" names.
#pragma once
#include <memory>

#include "runtime/stream.h"

namespace tarvex {

// A maker of streams for the protocols it accepts; the newest factory is asked first.
class TStreamFactory {
public:
  TStreamFactory();
  virtual ~TStreamFactory();
  // Null when the factory does not know `proto` or the path cannot be opened.
  virtual std::unique_ptr<TStream> CreateStream(const Text& proto, const Text& path) = 0;
  TStreamFactory* _succ = nullptr;
};

// A plain name is a file, "protocol::path" asks the factories, newest first. Null when no
// stream can be had; prints nothing.
std::unique_ptr<TStream> openforread(const Text& name);

// Opens `name`, hands the stream to `read` and closes it; false, with nothing read, when it
// cannot be opened.
template <class Read> bool readnamed(const Text& name, Read read) {
  std::unique_ptr<TStream> stream = openforread(name);
  if (!stream) return false;
  read(*stream);
  stream->Close();
  return true;
}

// Creates the standard factory (the encodings) once; opening by name does it on first use,
// start-up does it before anything else can add a factory.
void installstreamfactories();

} // namespace tarvex
