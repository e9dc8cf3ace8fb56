// The software canvas: the back buffer, the drawing state and every pixel operation on it.
// Texels are modulated with `modulate`; blending computes `blendchannel` exactly, two pixels
// at a time, so everything drawn follows the one rounding rule of div255.
#include "display/canvas.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tarvex {

namespace {

constexpr int BYTESPERPIXEL[13] = {0, 1, 1, 3, 3, 4, 4, 1, 1, 1, 1, 1, 1};

constexpr uint32_t rgbword(uint32_t r, uint32_t g, uint32_t b) {
  return r << 16 | g << 8 | b;
}

// The rows or columns whose pixel centres lie in [from, from + size), clipped to [0, limit).
// A quad is filled by the top-left rule, so a centre on the far edge is outside.
struct range {
  int first = 0;
  int end = 0; // one past the last
  bool empty() const { return end <= first; }
};

range centres(double from, double size, int limit) {
  // Whole-pixel shapes, the usual case, need no rounding.
  if (from > -1e9 && from < 1e9 && size >= 0 && size < 1e9) {
    int whole = int(from), extent = int(size);
    if (double(whole) == from && double(extent) == size)
      return {std::clamp(whole, 0, limit), std::clamp(whole + extent, 0, limit)};
  }
  double lo = from, hi = from + size;
  if (std::isnan(lo) || std::isnan(hi)) return {};
  if (hi < lo) std::swap(lo, hi);
  double first = std::clamp(std::ceil(lo - 0.5), 0.0, double(limit));
  double end = std::clamp(std::ceil(hi - 0.5), 0.0, double(limit));
  return {int(first), int(end)};
}

// True when a pixmap's fields describe memory it really has, so reading it stays in bounds.
bool wellformed(const pixmap& pm) {
  if (pm.width <= 0 || pm.height <= 0 || pm.format < 0 || pm.format > 12) return false;
  int bpp = BYTESPERPIXEL[pm.format];
  if (bpp == 0 || int64_t{pm.width} * bpp > pm.pitch) return false;
  return pm.pixels.size() >= size_t(pm.pitch) * size_t(pm.height);
}

// Red, green, blue, alpha of one pixel of a format 1 or 6 pixmap; false for other formats.
bool readpixel(const pixmap& pm, int x, int y, uint8_t rgba[4]) {
  const uint8_t* at = pm.pixels.data() + size_t(y) * size_t(pm.pitch);
  if (pm.format == 1) {
    rgba[0] = rgba[1] = rgba[2] = at[x];
    rgba[3] = 255;
    return true;
  }
  if (pm.format == 6) {
    std::memcpy(rgba, at + size_t(x) * 4, 4);
    return true;
  }
  return false;
}

uint8_t clampbyte(int value) {
  return uint8_t(std::clamp(value, 0, 255));
}

uint8_t alphabyte(float alpha) {
  if (std::isnan(alpha)) return 0;
  return uint8_t(std::floor(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
}

// Blending works on two pixels at once, one 16-bit lane per byte of each pixel word (so the
// lanes follow the words' memory order whatever the byte order). Every blend mode is
// drawn × weight + old × (255 − weight), at most 255 × 255, so it fits a lane; the
// rounding (x + 128 + ((x + 128) >> 8)) >> 8 equals div255(x) for every such x, so the
// lanes give exactly blendchannel. The fourth byte of a canvas word is 0 and stays 0.
typedef uint16_t lanes16 __attribute__((vector_size(16)));
typedef uint8_t lanes8 __attribute__((vector_size(8)));

// One drawn pixel as mix2 takes it: its lanes drawn × weight + 128 and 255 − weight.
struct weighted {
  uint16_t scaled[4];
  uint16_t keep[4];
};

weighted weigh(int mode, uint32_t drawn, uint8_t alpha) {
  uint32_t weight = alpha;
  if (mode == BLEND_SOLID) weight = 255;
  if (mode == BLEND_SOLID_MASKED) weight = alpha >= 128 ? 255 : 0; // the alpha test
  uint8_t bytes[4];
  std::memcpy(bytes, &drawn, 4);
  weighted w;
  for (int i = 0; i < 4; ++i) {
    w.scaled[i] = uint16_t(bytes[i] * weight + 128);
    w.keep[i] = uint16_t(255 - weight);
  }
  return w;
}

// Two pixels of `out` blended with the lanes of two drawn pixels.
inline void mix2(uint32_t* out, const lanes16& scaled, const lanes16& keep) {
  lanes8 oldbytes;
  std::memcpy(&oldbytes, out, 8);
  lanes16 t = scaled + __builtin_convertvector(oldbytes, lanes16) * keep;
  t += t >> 8;
  lanes8 result = __builtin_convertvector(t >> 8, lanes8);
  std::memcpy(out, &result, 8);
}

// Rows of eight pixels (a glyph's) blended with lanes four a pixel, by the same arithmetic as
// mix2: row r of `out` starts r * stride pixels on, its lanes r * lanestride lanes on (0: every
// row takes the same lanes). Processors with AVX2 take four pixels an instruction instead of
// two; the rows go in one call, as the clone is chosen per call. Other targets (the
// WebAssembly build) have no clones to choose from and take the plain version.
typedef uint16_t lanes16x8 __attribute__((vector_size(64)));
typedef uint8_t lanes8x8 __attribute__((vector_size(32)));
#if defined(__x86_64__)
#define TARVEX_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TARVEX_CLONES
#endif
TARVEX_CLONES void mix8(uint32_t* out, size_t stride, const uint16_t* scaled, const uint16_t* keep,
                        size_t lanestride, int rows) {
  for (int r = 0; r < rows; ++r, out += stride, scaled += lanestride, keep += lanestride) {
    lanes8x8 oldbytes;
    lanes16x8 s, k;
    std::memcpy(&oldbytes, out, 32);
    std::memcpy(&s, scaled, 64);
    std::memcpy(&k, keep, 64);
    lanes16x8 t = s + __builtin_convertvector(oldbytes, lanes16x8) * k;
    t += t >> 8;
    lanes8x8 result = __builtin_convertvector(t >> 8, lanes8x8);
    std::memcpy(out, &result, 32);
  }
}

// n pixels of `out` blended with lanes four a pixel, or with one pixel's lanes for all of
// them when not `perpixel`.
void mixrow(uint32_t* out, const uint16_t* scaled, const uint16_t* keep, size_t n, bool perpixel) {
  lanes16 s = {}, k = {};
  if (!perpixel) {
    std::memcpy(&s, scaled, 8);
    std::memcpy(reinterpret_cast<uint16_t*>(&s) + 4, scaled, 8);
    std::memcpy(&k, keep, 8);
    std::memcpy(reinterpret_cast<uint16_t*>(&k) + 4, keep, 8);
  }
  size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    if (perpixel) {
      std::memcpy(&s, scaled + 4 * i, 16);
      std::memcpy(&k, keep + 4 * i, 16);
    }
    mix2(out + i, s, k);
  }
  if (i < n) {
    // The odd last pixel goes through the same arithmetic with a spare neighbour.
    uint32_t pair[2] = {out[i], 0};
    if (perpixel) {
      std::memcpy(&s, scaled + 4 * i, 8);
      std::memcpy(&k, keep + 4 * i, 8);
    }
    mix2(pair, s, k);
    out[i] = pair[0];
  }
}

// A frame number the image has room for in every per-frame list.
bool hasframe(const image& img, int frame) {
  size_t f = size_t(frame);
  return frame >= 0 && f < img.pixmaps.size() && f < img.frames.size() && f < img.seqs.size();
}

int bytesperpixel(int format) {
  return format >= 0 && format <= 12 ? BYTESPERPIXEL[format] : 0;
}

int nextpoweroftwo(int n) {
  int p = 1;
  while (p < n && p < (1 << 30))
    p <<= 1;
  return p;
}

} // namespace

canvas::canvas(int width, int height)
    : _width(std::max(width, 0)), _height(std::max(height, 0)),
      _pixels(size_t(_width) * size_t(_height), 0) {}

void canvas::resetstate() {
  _state = state{};
}

void canvas::SetBlend(int mode) {
  // Modes outside 1 to 3 mean nothing to the canvas and leave the state as it is.
  if (mode == _state.blend || mode < BLEND_SOLID_MASKED || mode > BLEND_ALPHA) return;
  _state.blend = mode;
}

void canvas::SetColor(int red, int green, int blue) {
  _state.applied[0] = clampbyte(red);
  _state.applied[1] = clampbyte(green);
  _state.applied[2] = clampbyte(blue);
}

void canvas::SetAlpha(float alpha) {
  _state.applied[3] = alphabyte(alpha);
}

void canvas::setpixels(const std::vector<uint32_t>& from) {
  if (from.size() == _pixels.size()) std::copy(from.begin(), from.end(), _pixels.begin());
}

uint64_t canvas::statekey() const {
  return uint64_t(uint32_t(_state.blend)) << 32 | uint64_t{_state.applied[0]} << 24 |
         uint64_t{_state.applied[1]} << 16 | uint64_t{_state.applied[2]} << 8 | _state.applied[3];
}

void canvas::Cls() {
  std::fill(_pixels.begin(), _pixels.end(), 0u);
}

void canvas::DrawRect(float x, float y, float width, float height) {
  range cols = centres(x, width, _width), rows = centres(y, height, _height);
  if (cols.empty() || rows.empty()) return;
  const uint8_t* c = _state.applied;
  weighted w = weigh(_state.blend, rgbword(c[0], c[1], c[2]), c[3]);
  if (w.keep[0] == 255) return;
  // A glyph-sized cell (the block under each pointer) goes eight pixels at a time.
  uint16_t scaled8[32], keep8[32];
  for (size_t i = 0; i < 32; ++i)
    scaled8[i] = w.scaled[i % 4], keep8[i] = w.keep[i % 4];
  uint32_t* first = _pixels.data() + size_t(rows.first) * size_t(_width) + size_t(cols.first);
  if (cols.end - cols.first == 8)
    return mix8(first, size_t(_width), scaled8, keep8, 0, rows.end - rows.first);
  for (int py = rows.first; py < rows.end; ++py, first += _width)
    mixrow(first, w.scaled, w.keep, size_t(cols.end - cols.first), false);
}

pixmap canvas::MakePixmap(int width, int height, int format, int align) {
  pixmap pm;
  pm.width = std::max(width, 0);
  pm.height = std::max(height, 0);
  pm.format = format;
  int64_t rowbytes = int64_t{pm.width} * bytesperpixel(format);
  int64_t step = std::max(align, 1);
  int64_t pitch = (rowbytes + step - 1) / step * step;
  // A size whose memory cannot be counted in an int gives an empty pixmap, not a short one.
  if (pitch * pm.height > INT32_MAX) {
    pm.width = pm.height = 0;
    return pm;
  }
  pm.pitch = int(pitch);
  // Zero-filled: whatever a caller leaves unwritten reads the same on every run.
  pm.pixels.assign(size_t(pm.pitch) * size_t(pm.height), 0);
  return pm;
}

void canvas::WritePixel(pixmap& pm, int x, int y, uint32_t argb) {
  // A position outside the pixmap is dropped rather than written into foreign memory.
  if (!wellformed(pm) || x < 0 || y < 0 || x >= pm.width || y >= pm.height) return;
  uint8_t a = uint8_t(argb >> 24), r = uint8_t(argb >> 16), g = uint8_t(argb >> 8),
          b = uint8_t(argb);
  uint8_t* at = pm.pixels.data() + size_t(y) * size_t(pm.pitch);
  if (pm.format == 1) {
    at[x] = uint8_t((r + g + b) / 3);
  } else if (pm.format == 6) {
    at += size_t(x) * 4;
    at[0] = r;
    at[1] = g;
    at[2] = b;
    at[3] = a;
  }
}

void canvas::DrawPixmap(const pixmap& pm, int x, int y) {
  // A straight copy: the surface keeps no alpha, and colour and alpha play no part.
  if (!wellformed(pm)) return;
  int64_t x0 = std::max<int64_t>(0, x), x1 = std::min<int64_t>(_width, int64_t{x} + pm.width);
  int64_t y0 = std::max<int64_t>(0, y), y1 = std::min<int64_t>(_height, int64_t{y} + pm.height);
  uint8_t rgba[4];
  for (int64_t py = y0; py < y1; ++py) {
    uint32_t* row = _pixels.data() + size_t(py) * size_t(_width);
    for (int64_t px = x0; px < x1; ++px) {
      if (!readpixel(pm, int(px - x), int(py - y), rgba)) return;
      row[px] = rgbword(rgba[0], rgba[1], rgba[2]);
    }
  }
}

pixmap canvas::GrabPixmap(int x, int y, int width, int height) {
  pixmap pm = MakePixmap(width, height, 6, 4);
  // Parts of the rectangle off the canvas stay zero; what the canvas has reads with alpha
  // 255, since the surface has no alpha of its own.
  for (int gy = 0; gy < pm.height; ++gy) {
    int64_t sy = int64_t{y} + gy;
    if (sy < 0 || sy >= _height) continue;
    uint8_t* out = pm.pixels.data() + size_t(gy) * size_t(pm.pitch);
    for (int gx = 0; gx < pm.width; ++gx) {
      int64_t sx = int64_t{x} + gx;
      if (sx < 0 || sx >= _width) continue;
      uint32_t p = _pixels[size_t(sy) * size_t(_width) + size_t(sx)];
      uint8_t* at = out + size_t(gx) * 4;
      at[0] = uint8_t(p >> 16);
      at[1] = uint8_t(p >> 8);
      at[2] = uint8_t(p);
      at[3] = 255;
    }
  }
  return pm;
}

namespace {
uint64_t nextversion() {
  static std::atomic<uint64_t> versions{0};
  return ++versions;
}
} // namespace

image canvas::MakeImage(int width, int height, int frames) {
  image img;
  img.version = nextversion();
  img.width = std::max(width, 0);
  img.height = std::max(height, 0);
  size_t count = size_t(std::max(frames, 0));
  img.pixmaps.assign(count, pixmap{});
  img.frames.assign(count, pixmap{});
  img.seqs.assign(count, 0);
  img.tints.assign(count, {});
  return img;
}

void canvas::GrabFrame(image& img, int x, int y, int frame) {
  if (!hasframe(img, frame)) return;
  img.pixmaps[size_t(frame)] = GrabPixmap(x, y, img.width, img.height);
  img.version = nextversion();
  // The old drawable shows the old picture; the next draw makes it again.
  img.frames[size_t(frame)] = pixmap{};
  img.seqs[size_t(frame)] = 0;
  if (size_t(frame) < img.tints.size()) img.tints[size_t(frame)] = {};
}

pixmap canvas::makedrawable(const image& img, int frame) {
  const pixmap& source = img.pixmaps[size_t(frame)];
  int w = img.width, h = img.height;
  int tw = nextpoweroftwo(w), th = nextpoweroftwo(h);
  pixmap texture = MakePixmap(tw, th, 6, 4);
  // A frame never grabbed shows its zero-filled picture: transparent black.
  if (!wellformed(source)) return texture;
  int cw = std::min(w, source.width), ch = std::min(h, source.height);
  uint8_t rgba[4];
  auto put = [&](int tx, int ty, int sx, int sy) {
    if (readpixel(source, sx, sy, rgba))
      std::memcpy(texture.pixels.data() + size_t(ty) * size_t(texture.pitch) + size_t(tx) * 4, rgba,
                  4);
  };
  for (int sy = 0; sy < ch; ++sy)
    for (int sx = 0; sx < cw; ++sx)
      put(sx, sy, sx, sy);
  // The column right of the picture, the row below it and the corner repeat its edge, so a
  // sample that strays past the picture's edge still reads the picture.
  if (cw > 0 && ch > 0) {
    if (tw > cw)
      for (int sy = 0; sy < ch; ++sy)
        put(cw, sy, cw - 1, sy);
    if (th > ch)
      for (int sx = 0; sx < cw; ++sx)
        put(sx, ch, sx, ch - 1);
    if (tw > cw && th > ch) put(cw, ch, cw - 1, ch - 1);
  }
  return texture;
}

// The frame's picture in the applied colour, alpha and blend mode, from the cache when it was
// drawn in the same state lately.
const detail::tint& canvas::tinted(image& img, size_t frame) {
  const uint8_t* c = _state.applied;
  uint64_t key = uint64_t{1} << 40 | uint64_t(_state.blend & 0xFF) << 32 | uint64_t{c[0]} << 24 |
                 uint64_t{c[1]} << 16 | uint64_t{c[2]} << 8 | c[3];
  detail::tintpair& pair = img.tints[frame];
  for (int i = 0; i < 2; ++i) {
    if (pair.slot[i].key == key) {
      pair.recent = i;
      return pair.slot[i];
    }
  }
  pair.recent = 1 - pair.recent;
  detail::tint& t = pair.slot[pair.recent];
  const pixmap& texture = img.frames[frame];
  size_t count = size_t(img.width) * size_t(img.height);
  t.key = key;
  t.scaled.resize(4 * count);
  t.keep.resize(4 * count);
  t.opaque = t.invisible = true;
  for (int ty = 0; ty < img.height; ++ty) {
    const uint8_t* texel = texture.pixels.data() + size_t(ty) * size_t(texture.pitch);
    for (int tx = 0; tx < img.width; ++tx, texel += 4) {
      uint32_t drawn =
          rgbword(modulate(texel[0], c[0]), modulate(texel[1], c[1]), modulate(texel[2], c[2]));
      weighted w = weigh(_state.blend, drawn, modulate(texel[3], c[3]));
      size_t at = 4 * (size_t(ty) * size_t(img.width) + size_t(tx));
      std::memcpy(&t.scaled[at], w.scaled, sizeof w.scaled);
      std::memcpy(&t.keep[at], w.keep, sizeof w.keep);
      t.opaque = t.opaque && w.keep[0] == 0;
      t.invisible = t.invisible && w.keep[0] == 255;
    }
  }
  t.drawn.clear();
  if (t.opaque) {
    // With weight 255 the blend gives the drawn pixel whatever lies under it.
    t.drawn.resize(count);
    for (size_t i = 0; i < count; ++i) {
      uint8_t bytes[4];
      for (size_t k = 0; k < 4; ++k)
        bytes[k] = uint8_t(t.scaled[4 * i + k] / 255);
      std::memcpy(&t.drawn[i], bytes, 4);
    }
  }
  return t;
}

void canvas::DrawImageFrame(image& img, float x, float y, int frame) {
  if (!hasframe(img, frame) || img.width <= 0 || img.height <= 0) return;
  size_t f = size_t(frame);
  if (img.tints.size() != img.frames.size()) img.tints.assign(img.frames.size(), {});
  if (img.seqs[f] != _generation) {
    img.frames[f] = makedrawable(img, frame);
    img.seqs[f] = _generation;
    img.tints[f] = {};
  }
  range cols = centres(x, img.width, _width), rows = centres(y, img.height, _height);
  if (cols.empty() || rows.empty()) return;
  const detail::tint& t = tinted(img, f);
  if (t.invisible) return;

  // Nearest sampling of a quad one texel per pixel: the texel under a pixel centre px + 0.5
  // is floor(px + 0.5 - x), which is px plus a constant.
  int dx = int(std::floor(0.5 - double(x))), dy = int(std::floor(0.5 - double(y)));
  size_t span = size_t(cols.end - cols.first);
  if (!t.opaque && span == 8) {
    size_t from = size_t(rows.first + dy) * size_t(img.width) + size_t(cols.first + dx);
    uint32_t* out = _pixels.data() + size_t(rows.first) * size_t(_width) + size_t(cols.first);
    return mix8(out, size_t(_width), t.scaled.data() + 4 * from, t.keep.data() + 4 * from,
                4 * size_t(img.width), rows.end - rows.first);
  }
  for (int py = rows.first; py < rows.end; ++py) {
    size_t from = size_t(py + dy) * size_t(img.width) + size_t(cols.first + dx);
    uint32_t* out = _pixels.data() + size_t(py) * size_t(_width) + size_t(cols.first);
    if (t.opaque && span == 8)
      std::memcpy(out, t.drawn.data() + from, 8 * sizeof(uint32_t)); // a whole glyph row, inline
    else if (t.opaque)
      std::memcpy(out, t.drawn.data() + from, span * sizeof(uint32_t));
    else
      mixrow(out, t.scaled.data() + 4 * from, t.keep.data() + 4 * from, span, true);
  }
}

void canvas::newgeneration() {
  // 0 marks a frame without a drawable, so the counter skips it.
  if (++_generation == 0) _generation = 1;
}

} // namespace tarvex
