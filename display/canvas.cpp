// The software canvas: the back buffer, the drawing state and every pixel operation on it. All
// blending goes through blendchannel, so everything drawn follows the one rounding of div255.
#include "display/canvas.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace tarvex {

namespace {

// The pixels [first, end) of [from, from + size) that lie in [0, limit); none for a size
// below 1. Positions far off the canvas saturate rather than wrap.
struct span {
  int first = 0;
  int end = 0;
};
span clip(int64_t from, int64_t size, int limit) {
  int64_t end = 0;
  if (size <= 0) return {};
  if (__builtin_add_overflow(from, size, &end)) end = INT64_MAX;
  return {static_cast<int>(std::clamp<int64_t>(from, 0, limit)),
          static_cast<int>(std::clamp<int64_t>(end, 0, limit))};
}

// n pixels of `row` blended with `drawn` at `alpha`, as one loop over their bytes that the
// compiler turns into vector code. (t + (t >> 8)) >> 8 with t = x + 128 equals div255(x) for
// every x up to 255 × 255, so this is blendchannel exactly. The fourth byte of a canvas word
// is 0 and stays 0.
// For each row byte of a glyph, its eight pixels as masks: all ones where the bit is ink.
struct inkmasks {
  uint32_t word[256][image::WIDTH];
};
constexpr inkmasks makeinkmasks() {
  inkmasks m{};
  for (unsigned bits = 0; bits < 256; ++bits)
    for (unsigned j = 0; j < image::WIDTH; ++j)
      m.word[bits][j] = bits >> j & 1 ? 0xFFFFFFFFu : 0u;
  return m;
}
constexpr inkmasks INKMASKS = makeinkmasks();

// One pixel blended with a drawn one. (t + (t >> 8)) >> 8 with t = x + 128 equals div255(x)
// for every x up to 255 × 255, so this is blendchannel exactly; the fourth byte of a canvas word
// is 0 and stays 0.
void blend1(uint32_t* out, uint32_t drawn, uint8_t alpha) {
  uint8_t bytes[4], in[4];
  std::memcpy(bytes, out, 4);
  std::memcpy(in, &drawn, 4);
  for (size_t i = 0; i < 4; ++i) {
    const auto t = uint16_t(in[i] * alpha + bytes[i] * (255 - alpha) + 128);
    bytes[i] = uint8_t((t + (t >> 8)) >> 8);
  }
  std::memcpy(out, bytes, 4);
}

// Rows of eight pixels (a glyph's width) blended by the same arithmetic, a byte a 16-bit lane:
// row r of `out` starts r * stride pixels on, its drawn pixels r * drawnstride on (0: every row
// draws the same). Processors with AVX2 take a row in two instructions of each kind; the rows
// go in one call, as the clone is chosen per call. Other targets (the WebAssembly build) have
// no clones to choose from and take the plain version.
typedef uint16_t lanes16 __attribute__((vector_size(64)));
typedef uint8_t lanes8 __attribute__((vector_size(32)));
#if defined(__x86_64__)
#define TARVEX_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TARVEX_CLONES
#endif
TARVEX_CLONES void blend8(uint32_t* out, size_t stride, const uint32_t* drawn, size_t drawnstride,
                          int rows, uint8_t alpha) {
  const lanes16 weight = lanes16{} + uint16_t{alpha}, keep = lanes16{} + uint16_t(255 - alpha);
  for (int r = 0; r < rows; ++r, out += stride, drawn += drawnstride) {
    lanes8 old, in;
    std::memcpy(&old, out, 32);
    std::memcpy(&in, drawn, 32);
    lanes16 t = __builtin_convertvector(in, lanes16) * weight +
                __builtin_convertvector(old, lanes16) * keep + 128;
    t += t >> 8;
    const lanes8 result = __builtin_convertvector(t >> 8, lanes8);
    std::memcpy(out, &result, 32);
  }
}

} // namespace

uint64_t nextimageversion() {
  static std::atomic<uint64_t> versions{0};
  return ++versions;
}

canvas::canvas(int width, int height)
    : _width(std::max(width, 0)), _height(std::max(height, 0)),
      _pixels(size_t(_width) * size_t(_height), 0) {}

void canvas::SetColor(int red, int green, int blue) {
  _applied[0] = uint8_t(std::clamp(red, 0, 255));
  _applied[1] = uint8_t(std::clamp(green, 0, 255));
  _applied[2] = uint8_t(std::clamp(blue, 0, 255));
}

void canvas::SetAlpha(float alpha) {
  _applied[3] = std::isnan(alpha) ? 0 : uint8_t(std::floor(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
}

void canvas::setpixels(const std::vector<uint32_t>& from) {
  if (from.size() == _pixels.size()) std::copy(from.begin(), from.end(), _pixels.begin());
}

uint32_t canvas::statekey() const {
  return uint32_t{_applied[0]} << 24 | uint32_t{_applied[1]} << 16 | uint32_t{_applied[2]} << 8 |
         _applied[3];
}

void canvas::Cls() {
  std::fill(_pixels.begin(), _pixels.end(), 0u);
}

void canvas::DrawRect(int64_t x, int64_t y, int64_t width, int64_t height) {
  const span cols = clip(x, width, _width), rows = clip(y, height, _height);
  if (cols.first >= cols.end || rows.first >= rows.end) return;
  uint32_t colour[image::WIDTH];
  std::fill_n(colour, image::WIDTH, statekey() >> 8);
  uint32_t* first = _pixels.data() + size_t(rows.first) * size_t(_width);
  int px = cols.first;
  // Eight columns at a time down every row, then the columns left over pixel by pixel.
  for (; px + image::WIDTH <= cols.end; px += image::WIDTH)
    blend8(first + px, size_t(_width), colour, 0, rows.end - rows.first, _applied[3]);
  for (int py = rows.first; py < rows.end; ++py)
    for (int left = px; left < cols.end; ++left)
      blend1(&_pixels[size_t(py) * size_t(_width) + size_t(left)], colour[0], _applied[3]);
}

void canvas::DrawImageFrame(const image& atlas, int64_t x, int64_t y, int frame) {
  const span cols = clip(x, image::WIDTH, _width), rows = clip(y, image::HEIGHT, _height);
  if (cols.first >= cols.end || rows.first >= rows.end) return;
  const auto& glyph = atlas.rows[size_t(frame & 0xFF)];
  const uint32_t ink = statekey() >> 8;
  // Every row of the glyph in full, then the part on the canvas.
  uint32_t drawn[image::HEIGHT][image::WIDTH];
  for (int r = rows.first; r < rows.end; ++r)
    for (size_t j = 0; j < image::WIDTH; ++j)
      drawn[r - rows.first][j] = ink & INKMASKS.word[glyph[size_t(r - y)]][j];
  const size_t skip = size_t(cols.first - x), n = size_t(cols.end - cols.first);
  uint32_t* out = _pixels.data() + size_t(rows.first) * size_t(_width) + size_t(cols.first);
  // Opaque, the usual case, is a copy.
  if (_applied[3] == 255) {
    for (int r = 0; r < rows.end - rows.first; ++r)
      std::copy_n(drawn[r] + skip, n, out + size_t(r) * size_t(_width));
  } else if (n == image::WIDTH) {
    blend8(out, size_t(_width), drawn[0], image::WIDTH, rows.end - rows.first, _applied[3]);
  } else {
    for (int r = 0; r < rows.end - rows.first; ++r)
      for (size_t i = 0; i < n; ++i)
        blend1(out + size_t(r) * size_t(_width) + i, drawn[r][skip + i], _applied[3]);
  }
}

} // namespace tarvex
