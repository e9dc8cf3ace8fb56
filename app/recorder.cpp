// Writing the pictures a run was asked for.
#include "app/recorder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/startup.h"
#include "runtime/stream.h"

namespace tarvex {

namespace {

// A path from the command line, from where tarvex was started; empty when none was given.
std::string fromstart(const std::optional<Text>& name) {
  return name ? utf8name(fromstartdir(*name)) : std::string();
}

std::string framename(const std::string& folder, int64_t tick) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(tick));
  return folder + name;
}

} // namespace

recorder::recorder(const options& opts)
    : _opts(opts), _frames(fromstart(opts.framesdir)), _gif(fromstart(opts.gif)),
      _screenshot(fromstart(opts.screenshot)),
      _delay(gifdelay(static_cast<int>(opts.every), static_cast<int>(opts.delayms))) {}

recorder::~recorder() {
  {
    std::lock_guard<std::mutex> hold(_lock);
    _closing = true;
  }
  _changed.notify_all();
  for (std::thread& writer : _writers)
    writer.join();
}

void recorder::writeloop() {
  std::unique_lock<std::mutex> hold(_lock);
  for (;;) {
    _changed.wait(hold, [&] { return _closing || !_queue.empty(); });
    if (_queue.empty()) return;
    pending frame = std::move(_queue.front());
    _queue.pop_front();
    ++_writing;
    hold.unlock();
    pictureresult r = writepng(frame.path, frame.pixels.data(), canvas::WIDTH, canvas::HEIGHT);
    hold.lock();
    --_writing;
    if (r && !_failure) _failure = r;
    _changed.notify_all();
  }
}

pictureresult recorder::drain() {
  std::unique_lock<std::mutex> hold(_lock);
  _changed.wait(hold, [&] { return _queue.empty() && _writing == 0; });
  return _failure;
}

bool recorder::active() const {
  return !_frames.empty() || !_gif.empty() || !_screenshot.empty();
}

bool recorder::wants(int64_t tick, bool last) const {
  if (_frames.empty() && _gif.empty()) return false;
  return last || tick % _opts.every == 0;
}

void recorder::failed(const picturefailure& failure) const {
  throw TRuntimeException(
      frombytes("tarvex: cannot write " + failure.path + ": " + failure.reason + "\n"));
}

void recorder::start() {
  if (!_frames.empty()) {
    std::error_code why;
    std::filesystem::create_directories(_frames, why);
    if (why) failed({_frames, why.message()});
    const unsigned processors = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    for (unsigned i = 0; i < processors; ++i)
      _writers.emplace_back([this] { writeloop(); });
  }
  if (!_gif.empty())
    if (pictureresult r = _animation.open(_gif, canvas::WIDTH, canvas::HEIGHT)) failed(*r);
}

void recorder::record(const canvas& surface, int64_t tick) {
  if (!_frames.empty()) {
    constexpr size_t WAITING = 4;
    std::unique_lock<std::mutex> hold(_lock);
    _changed.wait(hold, [&] { return _queue.size() < WAITING || _failure; });
    if (_failure) {
      picturefailure failure = *_failure;
      hold.unlock();
      drain();
      failed(failure);
    }
    _queue.push_back({framename(_frames, tick), surface.pixels()});
    hold.unlock();
    _changed.notify_all();
  }
  if (_animation.isopen())
    if (pictureresult r = _animation.add(surface.pixels().data(), _delay)) failed(*r);
}

std::string recorder::finish(const canvas& surface) {
  pictureresult r = drain();
  if (!_screenshot.empty() && !r)
    r = writepng(_screenshot, surface.pixels().data(), surface.width(), surface.height());
  if (_animation.isopen()) {
    pictureresult closed = _animation.close();
    if (!r) r = closed;
  }
  if (!r) return {};
  return "tarvex: cannot write " + r->path + ": " + r->reason + "\n";
}

} // namespace tarvex
