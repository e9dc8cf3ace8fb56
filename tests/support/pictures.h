// Pictures read back as a viewer shows them, and whole frames compared with the golden frames
// kept by hash in tests/display/golden/frames.txt.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tarvex::testing {

using pixels = std::vector<uint32_t>; // 0x00RRGGBB, row by row from the top

// The pixels of an 8-bit RGB PNG; none when the file is not one.
pixels readpng(const std::string& path);

struct gifframe {
  int left, top, width, height; // the rectangle the frame stores
  int delay;                    // hundredths of a second
  pixels shown;                 // the whole picture once this frame is drawn
};
struct gifmovie {
  bool loopsforever = false;
  std::vector<gifframe> frames;
};
// Each frame drawn over what the one before left in place; no frames when the file is no GIF.
gifmovie readgif(const std::string& path);

// Adds a failure unless the frame's hash is the one kept for `name`, and then leaves the frame
// as a PPM picture in the temporary directory to look at.
void expectgolden(const pixels& frame, int width, const std::string& name);

} // namespace tarvex::testing
