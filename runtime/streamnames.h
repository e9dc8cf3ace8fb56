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

// Creates the standard factories (the encodings, the byte orders) once; opening by name
// does it on first use, start-up does it before anything else can add a factory.
void installstreamfactories();

} // namespace tarvex
