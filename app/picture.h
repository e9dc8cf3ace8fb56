// Writing canvas pictures to files: single frames as PNG, runs of frames as one looping
// animated GIF. Every file is written under a temporary name beside the final one and renamed
// only when complete, so the final name never holds half a picture. Nothing here prints,
// exits or waits: each call hands back what went wrong and leaves the decision to the caller.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "runtime/nocopy.h"

namespace tarvex {

// Why a picture file could not be written. `reason` is the system's error text ("No space
// left on device") when the system refused, otherwise a short description.
struct picturefailure {
  std::string path;
  std::string reason;
};
using pictureresult = std::optional<picturefailure>; // empty: it worked

// Writes `width` by `height` pixels, row by row from the top, each 0x00RRGGBB (the top byte is
// ignored), as an 8-bit RGB PNG holding exactly those pixels.
pictureresult writepng(const std::string& path, const uint32_t* pixels, int width, int height);

// The delay of one GIF frame in hundredths of a second, when the frame stands for `every`
// ticks of `delayms` milliseconds (0 meaning the default 128): rounded to the nearest, at
// least 2 because viewers treat shorter delays as "as fast as you like", and at most what
// the format can hold.
int gifdelay(int every, int delayms);

// An animated GIF that loops forever, written frame by frame. Each frame after the first
// stores only the smallest rectangle holding every pixel that differs from the previous
// frame (1 by 1 when none does). A frame's stored pixels keep their exact colours when there
// are at most 256 distinct ones among them; beyond that they are reduced to 256 by median
// cut. Frames of the display stay far below that (text in a handful of colours and the
// shades of translucent red over it); more can appear only where many translucent values
// pile up on one spot, or when a caller passes some other picture. Pixels of a reduced frame
// keep their reduced colours in the animation until a later frame changes them.
//
// After a failed add or close the temporary file is gone and the writer is closed again; a
// failed open leaves nothing open. Opening a writer that is open fails and keeps the file it
// has. Destroying a writer that was not closed removes its temporary file too.
class gifwriter : nocopy {
public:
  gifwriter();
  ~gifwriter();

  pictureresult open(const std::string& path, int width, int height);
  // `pixels` as for writepng, of the size given to open; `delay` in hundredths of a second.
  pictureresult add(const uint32_t* pixels, int delay);
  // Finishes the file and gives it its final name.
  pictureresult close();
  bool isopen() const;

private:
  struct state;
  std::unique_ptr<state> _state;
};

} // namespace tarvex
