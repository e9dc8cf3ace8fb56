// The drawing canvas: a back buffer in plain memory with the immediate-mode drawing state
// (colour, alpha, blend mode), pixmaps and multi-frame images. Nothing here knows a window;
// presenting is the window's job.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvex {

// The one rounding every blended or modulated channel goes through: x/255 to the nearest.
constexpr uint8_t div255(uint32_t x) {
  return static_cast<uint8_t>((x + 127) / 255);
}
// A texel channel multiplied by the applied colour or alpha byte.
constexpr uint8_t modulate(uint8_t texel, uint8_t applied) {
  return div255(uint32_t{texel} * applied);
}
// Blend mode 3: drawn × alpha + old × (1 − alpha).
constexpr uint8_t blendchannel(uint8_t drawn, uint8_t old, uint8_t alpha) {
  return div255(uint32_t{drawn} * alpha + uint32_t{old} * (255u - alpha));
}

enum blendmode : int { BLEND_SOLID_MASKED = 1, BLEND_SOLID = 2, BLEND_ALPHA = 3 };

// A picture in memory. Format 1: one intensity byte a pixel; format 6: red, green, blue,
// alpha bytes. Pixel (x, y) starts at byte y * pitch + x * bytes per pixel.
struct pixmap {
  std::vector<uint8_t> pixels;
  int width = 0;
  int height = 0;
  int pitch = 0;
  int format = 0;
};

namespace detail {
// A frame's picture multiplied by one applied colour and alpha and prepared for one blend
// mode, so repeated draws in the same state skip the per-texel arithmetic.
struct tint {
  uint64_t key = 0;             // applied red, green, blue, alpha and mode; 0 for none
  bool opaque = false;          // every pixel replaces what lies under it
  bool invisible = false;       // no pixel changes anything
  std::vector<uint32_t> drawn;  // opaque: the finished 0x00RRGGBB pixels
  std::vector<uint16_t> scaled; // per pixel byte: drawn × weight + rounding
  std::vector<uint16_t> keep;   // per pixel byte: 255 − weight, the share of the old pixel
};
struct tintpair {
  tint slot[2];
  int recent = 0; // the slot used last; a miss replaces the other one
};
} // namespace detail

// Equal-sized frames; each frame's pixmap is turned into its drawable on first draw.
struct image {
  int width = 0;
  int height = 0;
  std::vector<pixmap> pixmaps;         // empty pixmap (width 0) until grabbed
  std::vector<pixmap> frames;          // the drawable: the picture padded to power-of-two size
  std::vector<uint32_t> seqs;          // generation each drawable was made in; 0 for none
  std::vector<detail::tintpair> tints; // per frame, the last two states it was drawn in
  // Taken from one process-wide count whenever a frame's picture changes, so two images (or one
  // image at two moments) with the same version hold the same pictures.
  uint64_t version = 0;
};

class canvas {
public:
  static constexpr int WIDTH = 720;
  static constexpr int HEIGHT = 512;

  explicit canvas(int width = WIDTH, int height = HEIGHT);

  int width() const { return _width; }
  int height() const { return _height; }
  // The back buffer, row by row from the top, one 0x00RRGGBB word a pixel.
  const std::vector<uint32_t>& pixels() const { return _pixels; }
  uint32_t pixel(int x, int y) const {
    return _pixels[static_cast<size_t>(y) * static_cast<size_t>(_width) + static_cast<size_t>(x)];
  }

  // Replaces every pixel with `from`, which holds width × height words.
  void setpixels(const std::vector<uint32_t>& from);
  // The drawing state as one number: blend mode, colour and alpha, all a draw depends on
  // besides its arguments and the pictures.
  uint64_t statekey() const;

  void SetBlend(int mode);
  void SetColor(int red, int green, int blue); // each clamped to 0-255
  void SetAlpha(float alpha);                  // applied as floor(clamp(a) * 255), NaN as 0
  void Cls();
  void DrawRect(float x, float y, float width, float height);

  pixmap MakePixmap(int width, int height, int format, int align);
  void WritePixel(pixmap& pm, int x, int y, uint32_t argb);
  void DrawPixmap(const pixmap& pm, int x, int y);
  pixmap GrabPixmap(int x, int y, int width, int height);

  image MakeImage(int width, int height, int frames);
  void GrabFrame(image& img, int x, int y, int frame);
  void DrawImageFrame(image& img, float x, float y, int frame);

  // Raised when a window opens or closes, so drawables are made again.
  void newgeneration();
  // The drawing state of a freshly opened window: blend mode 1, colour white, alpha 1.
  void resetstate();

private:
  struct state {
    int blend = BLEND_SOLID_MASKED;
    uint8_t applied[4] = {255, 255, 255, 255}; // red, green, blue, alpha
  };

  // The frame's picture padded to power-of-two size, as its drawable.
  pixmap makedrawable(const image& img, int frame);
  const detail::tint& tinted(image& img, size_t frame);

  int _width;
  int _height;
  std::vector<uint32_t> _pixels;
  state _state;
  uint32_t _generation = 1;
};

} // namespace tarvex
