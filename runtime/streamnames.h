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
  virtual std::unique_ptr<TStream> CreateStream(const Text& url, const Text& proto,
                                                const Text& path, bool readable,
                                                bool writeable) = 0;
  TStreamFactory* _succ = nullptr;
};

// Null when no stream can be had; prints nothing.
std::unique_ptr<TStream> openforread(const Text& name);
// The same rules with any open mode: a plain name is a file, "protocol::path" asks the
// factories, newest first.
std::unique_ptr<TStream> openstream(const Text& name, bool readable, bool writeable);

// Creates the standard factories (the encodings, the byte orders) once; opening by name
// does it on first use, start-up does it before anything else can add a factory.
void installstreamfactories();

} // namespace tarvex
