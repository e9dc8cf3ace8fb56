// Bytes through the console's encodings both ways, through the number parser, and through the
// UTF-8 rule for names, whose round trip must give every byte back.
#include <cstdlib>

#include "runtime/memstream.h"
#include "runtime/numtext.h"
#include "runtime/textstream.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  if (utf8name(fromutf8name(bytes)) != bytes) std::abort();

  for (int encoding : {LATIN1, UTF8, UTF16BE, UTF16LE}) {
    auto reader = TTextStream::Create(std::make_unique<TMemoryStream>(bytes), encoding);
    auto writer = TTextStream::Create(std::make_unique<TMemoryStream>(), encoding);
    try {
      while (!reader->Eof()) {
        Text line = reader->ReadLine();
        writer->WriteLine(line);
        toint(line);
      }
    } catch (const TRuntimeException&) {
      // A character cut off by the end of the bytes is a read error, as for a file.
    }
  }
  toint(frombytes(bytes));
  return 0;
}
