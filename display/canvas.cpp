// The software canvas: the back buffer, the drawing state and every pixel operation on it. All
// blending goes through blendchannel, so everything drawn follows the one rounding of div255.
#include "display/canvas.h"

#include <algorithm>
#include <atomic>
#include <cmath>

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

uint32_t blendpixel(uint32_t drawn, uint32_t old, uint8_t alpha) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8)
    out |= uint32_t{blendchannel(uint8_t(drawn >> shift), uint8_t(old >> shift), alpha)} << shift;
  return out;
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
  const uint32_t colour = statekey() >> 8;
  const uint8_t alpha = _applied[3];
  for (int py = rows.first; py < rows.end; ++py) {
    uint32_t* row = _pixels.data() + size_t(py) * size_t(_width);
    for (int px = cols.first; px < cols.end; ++px)
      row[px] = blendpixel(colour, row[px], alpha);
  }
}

void canvas::DrawImageFrame(const image& atlas, int64_t x, int64_t y, int frame) {
  const span cols = clip(x, image::WIDTH, _width), rows = clip(y, image::HEIGHT, _height);
  const auto& glyph = atlas.rows[size_t(frame & 0xFF)];
  const uint32_t ink = statekey() >> 8;
  const uint8_t alpha = _applied[3];
  for (int py = rows.first; py < rows.end; ++py) {
    const unsigned bits = glyph[size_t(py - y)];
    uint32_t* row = _pixels.data() + size_t(py) * size_t(_width);
    for (int px = cols.first; px < cols.end; ++px) {
      const uint32_t drawn = bits >> (px - x) & 1 ? ink : 0;
      // Opaque, the usual case, needs no arithmetic.
      row[px] = alpha == 255 ? drawn : blendpixel(drawn, row[px], alpha);
    }
  }
}

} // namespace tarvex
