// PNG and animated GIF writers over libpng and giflib, both writing through a temporary file
// that is renamed into place only once it is complete.
#include "app/picture.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tarvex {
namespace {

constexpr uint32_t RGB = 0xFFFFFF;

// A file written under "<path>.tmp-<pid>" and renamed to <path> on commit. The process id
// keeps two running programs that write the same name from writing into each other's file.
class stagedfile {
public:
  stagedfile() = default;
  stagedfile(const stagedfile&) = delete;
  stagedfile& operator=(const stagedfile&) = delete;
  ~stagedfile() { abandon(); }

  // Creates the temporary file; the reason when it cannot be made.
  std::optional<std::string> create(const std::string& path) {
    abandon();
    _temp = path + ".tmp-" + std::to_string(getpid());
    _final = path;
    _error = 0;
    int fd = ::open(_temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return std::strerror(errno);
    _file = fdopen(fd, "wb");
    if (!_file) {
      std::string reason = std::strerror(errno);
      ::close(fd);
      std::remove(_temp.c_str());
      return reason;
    }
    // Encoders hand over small pieces; a large buffer turns them into few system calls.
    setvbuf(_file, nullptr, _IOFBF, 1 << 16);
    return std::nullopt;
  }

  // Appends bytes. After the first failure nothing more is written and this stays false.
  bool write(const void* data, size_t size) {
    if (_error != 0 || !_file) return false;
    errno = 0;
    if (std::fwrite(data, 1, size, _file) != size) _error = errno != 0 ? errno : EIO;
    return _error == 0;
  }

  // The system's text for the first failed write, if any.
  std::optional<std::string> writefailure() const {
    if (_error == 0) return std::nullopt;
    return std::strerror(_error);
  }

  // Flushes, optionally syncs and closes the temporary file, then renames it to the final
  // name. A disk that fills up may only say so at the flush, the sync or the close, so each
  // is checked; on any failure the temporary file is removed.
  std::optional<std::string> commit(bool sync) {
    if (_error == 0 && std::fflush(_file) != 0) _error = errno;
    if (_error == 0 && sync && fsync(fileno(_file)) != 0) _error = errno;
    int closed = std::fclose(_file);
    _file = nullptr;
    if (_error == 0 && closed != 0) _error = errno;
    if (_error == 0 && std::rename(_temp.c_str(), _final.c_str()) != 0) _error = errno;
    if (_error != 0) {
      std::remove(_temp.c_str());
      _temp.clear();
      return std::strerror(_error);
    }
    _temp.clear();
    return std::nullopt;
  }

  // Closes and removes the temporary file, if one is open.
  void abandon() {
    if (_file) std::fclose(_file);
    _file = nullptr;
    if (!_temp.empty()) std::remove(_temp.c_str());
    _temp.clear();
  }

private:
  std::string _final;
  std::string _temp;
  FILE* _file = nullptr;
  int _error = 0;
};

// ---- PNG ----

// What libpng's callbacks report back: where the bytes go and the text of a library error.
struct pngcontext {
  stagedfile* file;
  char message[128];
};

void pngwrite(png_structp png, png_bytep data, size_t length) {
  auto* context = static_cast<pngcontext*>(png_get_io_ptr(png));
  if (!context->file->write(data, length)) png_error(png, "write failed");
}

// Flushing happens once, at commit.
void pngflush(png_structp) {}

void pngerror(png_structp png, png_const_charp message) {
  auto* context = static_cast<pngcontext*>(png_get_error_ptr(png));
  std::snprintf(context->message, sizeof context->message, "%s", message);
  png_longjmp(png, 1);
}

// Warnings concern nothing a caller could act on, and nothing here prints.
void pngwarning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp back into this function, so it owns nothing with a
// destructor: the row buffer comes from the caller.
bool encodepng(png_structp png, png_infop info, const uint32_t* pixels, png_uint_32 width,
               png_uint_32 height, png_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Display frames are mostly black with text on it. The fastest deflate level without row
  // filters writes a sparse frame in about 2.5 ms (some 14 KB) and a full grid with a
  // thousand pointers in about 6 ms, nearly all of it in deflate; filters, run-length
  // matching or level 2 were slower and no smaller on such frames, and the library's
  // defaults take four to six times as long for half the size.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_write_info(png, info);
  for (png_uint_32 y = 0; y < height; ++y) {
    const uint32_t* source = pixels + size_t{y} * width;
    for (png_uint_32 x = 0; x < width; ++x) {
      row[3 * x] = static_cast<png_byte>(source[x] >> 16);
      row[3 * x + 1] = static_cast<png_byte>(source[x] >> 8);
      row[3 * x + 2] = static_cast<png_byte>(source[x]);
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

// ---- GIF ----

// A frame's pixels as palette indices and the palette, whose size is a power of two from 2
// to 256 as the format wants.
struct indexed {
  std::vector<GifByteType> indices;
  GifColorType colours[256];
  int count = 0;
};

// Looks colours up in a small open-addressing table: at most 256 entries in 1024 slots.
class colourtable {
public:
  colourtable() { _keys.fill(EMPTY); }
  // The index of `colour`, given the next free index when new; -1 when 256 are in use.
  int find(uint32_t colour) {
    size_t slot = (colour * 2654435761u) >> 22;
    while (_keys[slot] != EMPTY) {
      if (_keys[slot] == colour) return _values[slot];
      slot = (slot + 1) & (SLOTS - 1);
    }
    if (_count == 256) return -1;
    _keys[slot] = colour;
    _values[slot] = static_cast<uint8_t>(_count);
    return _count++;
  }
  int count() const { return _count; }

private:
  static constexpr size_t SLOTS = 1024;
  static constexpr uint32_t EMPTY = 0xFFFFFFFF; // never a 0x00RRGGBB colour
  std::array<uint32_t, SLOTS> _keys;
  std::array<uint8_t, SLOTS> _values{};
  int _count = 0;
};

struct rectangle {
  int left = 0, top = 0, width = 0, height = 0;
};

// Turns the rectangle `rect` of a picture `stride` pixels wide into palette indices: with its
// own colours when it has at most 256, else with 256 chosen by giflib's median cut. False
// when memory runs out.
bool palettize(const uint32_t* pixels, int stride, rectangle rect, indexed& out) {
  size_t area = size_t(rect.width) * size_t(rect.height);
  out.indices.resize(area);
  colourtable table;
  bool exact = true;
  size_t i = 0;
  for (int y = 0; y < rect.height && exact; ++y) {
    const uint32_t* row = pixels + size_t(rect.top + y) * size_t(stride) + size_t(rect.left);
    for (int x = 0; x < rect.width; ++x) {
      int index = table.find(row[x] & RGB);
      if (index < 0) {
        exact = false;
        break;
      }
      if (index == table.count() - 1) {
        out.colours[index] =
            GifColorType{static_cast<GifByteType>(row[x] >> 16),
                         static_cast<GifByteType>(row[x] >> 8), static_cast<GifByteType>(row[x])};
      }
      out.indices[i++] = static_cast<GifByteType>(index);
    }
  }
  out.count = table.count();
  if (!exact) {
    std::vector<GifByteType> red(area), green(area), blue(area);
    i = 0;
    for (int y = 0; y < rect.height; ++y) {
      const uint32_t* row = pixels + size_t(rect.top + y) * size_t(stride) + size_t(rect.left);
      for (int x = 0; x < rect.width; ++x, ++i) {
        red[i] = static_cast<GifByteType>(row[x] >> 16);
        green[i] = static_cast<GifByteType>(row[x] >> 8);
        blue[i] = static_cast<GifByteType>(row[x]);
      }
    }
    out.count = 256;
    if (GifQuantizeBuffer(static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height),
                          &out.count, red.data(), green.data(), blue.data(), out.indices.data(),
                          out.colours) != GIF_OK)
      return false;
  }
  int size = 2;
  while (size < out.count)
    size *= 2;
  std::fill(out.colours + out.count, out.colours + size, GifColorType{0, 0, 0});
  out.count = size;
  return true;
}

// The smallest rectangle that holds every pixel where the two pictures differ; 1 by 1 at
// the top-left corner when they are equal, since a frame needs at least one pixel.
rectangle changed(const uint32_t* before, const uint32_t* after, int width, int height) {
  int left = width, right = -1, top = height, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const uint32_t* a = before + size_t(y) * size_t(width);
    const uint32_t* b = after + size_t(y) * size_t(width);
    int first = 0;
    while (first < width && ((a[first] ^ b[first]) & RGB) == 0)
      ++first;
    if (first == width) continue;
    int last = width - 1;
    while (((a[last] ^ b[last]) & RGB) == 0)
      --last;
    left = std::min(left, first);
    right = std::max(right, last);
    top = std::min(top, y);
    bottom = y;
  }
  if (right < 0) return {0, 0, 1, 1};
  return {left, top, right - left + 1, bottom - top + 1};
}

int gifoutput(GifFileType* gif, const GifByteType* data, int length) {
  auto* file = static_cast<stagedfile*>(gif->UserData);
  return file->write(data, static_cast<size_t>(length)) ? length : 0;
}

std::string invalid() {
  return std::strerror(EINVAL);
}

std::string giftext(int error) {
  const char* text = GifErrorString(error);
  return text ? text : "the GIF encoder failed";
}

} // namespace

pictureresult writepng(const std::string& path, const uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return picturefailure{path, invalid()};
  stagedfile file;
  if (auto reason = file.create(path)) return picturefailure{path, *reason};
  pngcontext context{&file, {}};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, pngerror, pngwarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return picturefailure{path, std::strerror(ENOMEM)};
  }
  png_set_write_fn(png, &context, pngwrite, pngflush);
  std::vector<png_byte> row(3 * size_t(width));
  bool encoded = encodepng(png, info, pixels, static_cast<png_uint_32>(width),
                           static_cast<png_uint_32>(height), row.data());
  png_destroy_write_struct(&png, &info);
  if (!encoded) {
    // A failed write is told by the system's reason; anything else by libpng's words.
    std::string reason = file.writefailure().value_or(context.message);
    return picturefailure{path, reason};
  }
  // No sync: a frame is one of many written in a row, and waiting for the disk on each
  // would cost far more than writing it. The rename still keeps half frames from view.
  if (auto reason = file.commit(false)) return picturefailure{path, *reason};
  return std::nullopt;
}

int gifdelay(int every, int delayms) {
  long long ms = static_cast<long long>(every) * (delayms != 0 ? delayms : 128);
  long long centiseconds = ms >= 0 ? (ms + 5) / 10 : 0;
  return static_cast<int>(std::clamp(centiseconds, 2LL, 65535LL));
}

struct gifwriter::state {
  std::string path;
  stagedfile file;
  GifFileType* gif = nullptr;
  int width = 0, height = 0;
  std::vector<uint32_t> previous; // empty before the first frame
  indexed frame;

  // Closes the encoder and removes the temporary file, after a failure or unfinished.
  void abandon() {
    if (gif) EGifCloseFile(gif, nullptr);
    gif = nullptr;
    file.abandon();
    previous.clear();
  }
  // A failure of the last giflib call: the system's reason when writing failed.
  picturefailure failure(int error) {
    std::string reason = file.writefailure().value_or(giftext(error));
    abandon();
    return {path, reason};
  }
};

gifwriter::gifwriter() : _state(std::make_unique<state>()) {}

gifwriter::~gifwriter() {
  _state->abandon();
}

bool gifwriter::isopen() const {
  return _state->gif != nullptr;
}

pictureresult gifwriter::open(const std::string& path, int width, int height) {
  state& s = *_state;
  if (s.gif) return picturefailure{path, "another picture file is still open"};
  s.path = path;
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535)
    return picturefailure{path, invalid()};
  if (auto reason = s.file.create(path)) return picturefailure{path, *reason};
  int error = 0;
  s.gif = EGifOpen(&s.file, gifoutput, &error);
  if (!s.gif) return s.failure(error);
  s.width = width;
  s.height = height;
  EGifSetGifVersion(s.gif, true);
  if (EGifPutScreenDesc(s.gif, width, height, 8, 0, nullptr) != GIF_OK)
    return s.failure(s.gif->Error);
  // The application extension that makes viewers loop: sub-block 1, loop count 0 = forever.
  static const GifByteType loop[3] = {1, 0, 0};
  if (EGifPutExtensionLeader(s.gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
      EGifPutExtensionBlock(s.gif, 11, "NETSCAPE2.0") != GIF_OK ||
      EGifPutExtensionBlock(s.gif, 3, loop) != GIF_OK || EGifPutExtensionTrailer(s.gif) != GIF_OK)
    return s.failure(s.gif->Error);
  return std::nullopt;
}

pictureresult gifwriter::add(const uint32_t* pixels, int delay) {
  state& s = *_state;
  if (!s.gif) return picturefailure{s.path, "no picture file is open"};
  if (!pixels) {
    s.abandon();
    return picturefailure{s.path, invalid()};
  }
  size_t area = size_t(s.width) * size_t(s.height);
  rectangle rect{0, 0, s.width, s.height};
  if (!s.previous.empty()) rect = changed(s.previous.data(), pixels, s.width, s.height);
  s.previous.assign(pixels, pixels + area);
  if (!palettize(pixels, s.width, rect, s.frame)) return s.failure(E_GIF_ERR_NOT_ENOUGH_MEM);

  GraphicsControlBlock control{DISPOSE_DO_NOT, false, std::clamp(delay, 0, 65535),
                               NO_TRANSPARENT_COLOR};
  GifByteType extension[4];
  size_t length = EGifGCBToExtension(&control, extension);
  // giflib copies the palette, so one on the stack will do.
  ColorMapObject palette{s.frame.count, GifBitSize(s.frame.count), false, s.frame.colours};
  if (EGifPutExtension(s.gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) !=
          GIF_OK ||
      EGifPutImageDesc(s.gif, rect.left, rect.top, rect.width, rect.height, false, &palette) !=
          GIF_OK)
    return s.failure(s.gif->Error);
  for (int y = 0; y < rect.height; ++y) {
    GifByteType* line = s.frame.indices.data() + size_t(y) * size_t(rect.width);
    if (EGifPutLine(s.gif, line, rect.width) != GIF_OK) return s.failure(s.gif->Error);
  }
  return std::nullopt;
}

pictureresult gifwriter::close() {
  state& s = *_state;
  if (!s.gif) return picturefailure{s.path, "no picture file is open"};
  int error = 0;
  int closed = EGifCloseFile(s.gif, &error);
  s.gif = nullptr;
  s.previous.clear();
  // The trailer is written inside EGifCloseFile, whose result does not tell of it.
  std::optional<std::string> reason = s.file.writefailure();
  if (!reason && closed != GIF_OK) reason = giftext(error);
  // One sync per animation is cheap, and the file is finished for good.
  if (!reason) reason = s.file.commit(true);
  if (!reason) return std::nullopt;
  s.file.abandon();
  return picturefailure{s.path, *reason};
}

} // namespace tarvex
