// Pictures out of a run: the frames of chosen ticks as PNG files in a folder, the same frames
// as one animated GIF, and a screenshot of the last frame at the ending. The driver hands it
// each frame it paints; what to keep follows the options.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/options.h"
#include "app/picture.h"
#include "display/canvas.h"
#include "runtime/nocopy.h"

namespace tarvex {

class recorder : nocopy {
public:
  // Paths are made absolute from where tarvex was started; nothing is opened yet.
  explicit recorder(const options& opts);
  ~recorder();

  // True when some picture is asked for at all, and whether the frame of `tick` is one to
  // keep (the first, every K-th, and the last).
  bool active() const;
  bool wants(int64_t tick, bool last) const;

  // Creates the folder and starts the GIF. Each call raises TRuntimeException with the
  // message when a file cannot be written.
  void start();
  // Keeps the frame of `tick` as a PNG and as a GIF frame.
  void record(const canvas& surface, int64_t tick);
  // The screenshot of `surface` and the end of the GIF. Returns the line that says what
  // failed (empty when nothing did) instead of raising: it runs at every ending, also at a
  // failed one.
  std::string finish(const canvas& surface);

private:
  [[noreturn]] void failed(const picturefailure& failure) const;
  // PNG files are compressed on threads of their own, one per processor, so the run goes on
  // while frames are written side by side; at most a few frames wait.
  struct pending {
    std::string path;
    std::vector<uint32_t> pixels;
  };
  void writeloop();
  // Waits until every frame handed over is written; the first failure, if any.
  pictureresult drain();

  const options& _opts;
  std::string _frames, _gif, _screenshot; // empty: not asked for
  gifwriter _animation;
  int _delay = 0; // of each GIF frame, in hundredths of a second

  std::mutex _lock;
  std::condition_variable _changed;
  std::deque<pending> _queue;
  int _writing = 0; // frames the writers took from the queue and are writing
  bool _closing = false;
  pictureresult _failure;
  std::vector<std::thread> _writers;
};

} // namespace tarvex
