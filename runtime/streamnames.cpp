// Opening streams by name: plain names are files, "protocol::path" names go to the stream
// factories. Only local protocols exist, so no name can cause network traffic.
#include "runtime/streamnames.h"

#include "runtime/filestream.h"
#include "runtime/memstream.h"
#include "runtime/textstream.h"

namespace tarvex {

namespace {

TStreamFactory* newestfactory = nullptr;

// Text streams over the path opened by the same rules.
class TEncodingStreamFactory : public TStreamFactory {
public:
  std::unique_ptr<TStream> CreateStream(const Text& proto, const Text& path) override {
    int encoding = 0;
    if (proto == u"latin1")
      encoding = LATIN1;
    else if (proto == u"utf8")
      encoding = UTF8;
    else if (proto == u"utf16be")
      encoding = UTF16BE;
    else if (proto == u"utf16le")
      encoding = UTF16LE;
    else
      return nullptr;
    std::unique_ptr<TStream> inner = openforread(path);
    if (!inner) return nullptr;
    return TTextStream::Create(std::move(inner), encoding);
  }
};

Text lowercase(Text text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return text;
}

// A stream that cannot tell its position (a named pipe, /dev/stdin on a pipe) is read into
// memory, so that its end, which its readers test by position, can be reached.
std::unique_ptr<TStream> whole(std::unique_ptr<TStream> stream) {
  if (!stream || stream->Pos() != -1) return stream;
  std::string bytes;
  uint8_t chunk[65536];
  for (int64_t moved; (moved = stream->Read(chunk, sizeof chunk)) > 0;)
    bytes.append(reinterpret_cast<const char*>(chunk), static_cast<size_t>(moved));
  return std::make_unique<TMemoryStream>(std::move(bytes));
}

} // namespace

TStreamFactory::TStreamFactory() : _succ(newestfactory) {
  newestfactory = this;
}

TStreamFactory::~TStreamFactory() {
  for (TStreamFactory** link = &newestfactory; *link; link = &(*link)->_succ) {
    if (*link == this) {
      *link = _succ;
      break;
    }
  }
}

void installstreamfactories() {
  // It lives until the process ends.
  static TEncodingStreamFactory* encoding = new TEncodingStreamFactory();
  (void)encoding;
}

std::unique_ptr<TStream> openforread(const Text& name) {
  installstreamfactories();
  Text proto, path;
  if (!name.empty()) {
    size_t separator = name.find(u"::");
    if (separator == Text::npos) return whole(TCStream::OpenFile(name));
    proto = lowercase(name.substr(0, separator));
    path = name.substr(separator + 2);
  }
  for (TStreamFactory* factory = newestfactory; factory; factory = factory->_succ) {
    std::unique_ptr<TStream> stream = factory->CreateStream(proto, path);
    if (stream) return whole(std::move(stream));
  }
  return nullptr;
}

} // namespace tarvex
