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

} // namespace tarvex
