// The drawing canvas: a back buffer in plain memory and the drawing state (colour and alpha)
// the frames draw with: clear, fill, a glyph blit and a copy of a saved layer. Nothing here
// knows a window; presenting is the window's job.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvex {

// The one rounding every blended channel goes through: x/255 to the nearest.
constexpr uint8_t div255(uint32_t x) {
  return static_cast<uint8_t>((x + 127) / 255);
}
// Alpha blending: drawn × alpha + old × (1 − alpha).
constexpr uint8_t blendchannel(uint8_t drawn, uint8_t old, uint8_t alpha) {
  return div255(uint32_t{drawn} * alpha + uint32_t{old} * (255u - alpha));
}

// The glyph atlas: 256 pictures (frames) of 8 by 12 pixels. Row r of frame n is one byte,
// bit j set where pixel j of the row is ink; ink draws in the applied colour, the rest black.
struct image {
  static constexpr int WIDTH = 8;
  static constexpr int HEIGHT = 12;
  std::array<std::array<uint8_t, HEIGHT>, 256> rows{};
  // Taken from one process-wide count whenever the pictures change, so two atlases (or one at
  // two moments) with the same version hold the same pictures.
  uint64_t version = 0;
};
uint64_t nextimageversion();

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

  // Replaces every pixel with `from` (a layer saved from pixels()) when the sizes agree.
  void setpixels(const std::vector<uint32_t>& from);
  // The drawing state as one number: all a draw depends on besides its arguments and the
  // pictures.
  uint32_t statekey() const;

  void SetColor(int red, int green, int blue); // each clamped to 0-255
  void SetAlpha(float alpha);                  // applied as floor(clamp(a) * 255), NaN as 0
  // Every pixel black, whatever the colour and alpha.
  void Cls();
  // The rectangle in the applied colour at the applied alpha, cut to the canvas.
  void DrawRect(int64_t x, int64_t y, int64_t width, int64_t height);
  // Frame `frame` (its low byte) of `atlas` with its top-left pixel at (x, y), cut to the canvas:
  // ink in the applied colour, the rest black, both at the applied alpha.
  void DrawImageFrame(const image& atlas, int64_t x, int64_t y, int frame);

private:
  int _width;
  int _height;
  std::vector<uint32_t> _pixels;
  uint8_t _applied[4] = {255, 255, 255, 255}; // red, green, blue, alpha
};

} // namespace tarvex
