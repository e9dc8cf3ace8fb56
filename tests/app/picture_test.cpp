// The picture writers: PNG and GIF files decoded again with libpng and giflib and compared
// with the pixels given, and failures that must leave no file behind.
#include "app/picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "tests/support/pictures.h"
#include "tests/support/process.h"

namespace tarvex {
namespace {

using testing::pixels;
using testing::readpng;
constexpr int W = 720, H = 512;

pixels draw(int width, int height, const std::function<uint32_t(int, int)>& at) {
  pixels out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      out.push_back(at(x, y));
  return out;
}
uint32_t noise(int x, int y) {
  return (uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u) * 2246822519u >> 8;
}
// Black with 8 by 12 blocks in a few colours, the way text looks.
pixels textlike(int seed) {
  return draw(W, H, [&](int x, int y) -> uint32_t {
    int cell = (x / 8 + y / 12 * 90 + seed) % 7;
    return cell < 3 ? 0 : cell < 5 ? 0xFFF0C0 : cell == 5 ? 0xC00C00 : 0x840000;
  });
}
void put(pixels& p, int x, int y, uint32_t colour) {
  p[size_t(y) * W + size_t(x)] = colour;
}
std::set<std::string> names(const std::string& dir) {
  std::set<std::string> out;
  for (auto& entry : std::filesystem::directory_iterator(dir))
    out.insert(entry.path().filename().string());
  return out;
}

TEST(picture, png_holds_exactly_the_pixels_as_8_bit_rgb) {
  struct shape {
    int width, height;
    pixels in;
  };
  testing::tempdir dir;
  for (const shape& s :
       {shape{W, H, pixels(W * H, 0)}, shape{W, H, draw(W, H, noise)}, shape{W, H, textlike(0)},
        shape{1, 1, {0xFF123456}},
        shape{3, 7, draw(3, 7, [](int x, int y) { return noise(x, y) | 1u << 31; })}}) {
    std::string path = dir.path() + "/frame.png";
    ASSERT_EQ(writepng(path, s.in.data(), s.width, s.height), std::nullopt);
    pixels out = readpng(path), expected = s.in;
    for (uint32_t& p : expected)
      p &= 0xFFFFFF; // the top byte is no colour channel
    EXPECT_EQ(out, expected) << s.width << "x" << s.height;
    EXPECT_EQ(names(dir.path()), std::set<std::string>{"frame.png"});
  }
}

TEST(picture, gif_loops_forever_and_stores_changed_rectangles_exactly) {
  pixels a = textlike(0), b = a, d;
  for (int y = 200; y < 212; ++y)
    for (int x = 100; x < 108; ++x)
      put(b, x, y, 0x00FF00);
  d = b;
  put(d, 3, 5, 0x0000FF);
  put(d, 700, 500, 0xFFFFFF);
  const std::vector<pixels> frames = {a, b, b, d};
  const int delays[] = {13, 2, 100, 7};
  const int rects[][4] = {{0, 0, W, H}, {100, 200, 8, 12}, {0, 0, 1, 1}, {3, 5, 698, 496}};

  testing::tempdir dir;
  std::string path = dir.path() + "/run.gif";
  gifwriter writer;
  ASSERT_EQ(writer.open(path, W, H), std::nullopt);
  for (size_t i = 0; i < frames.size(); ++i)
    ASSERT_EQ(writer.add(frames[i].data(), delays[i]), std::nullopt);
  ASSERT_EQ(writer.close(), std::nullopt);
  EXPECT_EQ(names(dir.path()), std::set<std::string>{"run.gif"});

  const testing::gifmovie gif = testing::readgif(path);
  EXPECT_TRUE(gif.loopsforever);
  ASSERT_EQ(gif.frames.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const testing::gifframe& f = gif.frames[i];
    EXPECT_EQ((std::vector<int>{f.left, f.top, f.width, f.height, f.delay}),
              (std::vector<int>{rects[i][0], rects[i][1], rects[i][2], rects[i][3], delays[i]}))
        << "frame " << i;
    EXPECT_TRUE(f.shown == frames[i]) << "frame " << i;
  }
}

TEST(picture, gif_delay_rounds_ticks_to_hundredths) {
  const int cases[][3] = {
      {1, 128, 13}, {1, 0, 13}, {3, 0, 38},  {1, 25, 3},       {1, 24, 2},
      {1, 10, 2},   {1, -5, 2}, {5, 40, 20}, {10, 1000, 1000}, {100000, 100000, 65535}};
  for (auto& c : cases)
    EXPECT_EQ(gifdelay(c[0], c[1]), c[2]) << c[0] << " x " << c[1];
}

// Each writer in turn, to `path`, of the given frame; the first failure.
pictureresult writeboth(int which, const std::string& path, const pixels& frame) {
  if (which == 0) return writepng(path, frame.data(), W, H);
  gifwriter writer;
  pictureresult failed = writer.open(path, W, H);
  if (!failed) failed = writer.add(frame.data(), 13);
  return failed ? failed : writer.close();
}

// A place that cannot be written tells its reason; it, a frame that fails and a writer dropped
// before its close leave no file.
TEST(picture, failures_tell_the_reason_and_leave_no_file) {
  testing::tempdir dir;
  dir.file("plain", "x");
  std::filesystem::create_directory(dir.path() + "/taken");
  const std::pair<const char*, int> cases[] = {
      {"/missing/f", ENOENT}, {"/plain/f", ENOTDIR}, {"/taken", EISDIR}};
  pixels frame = textlike(1);
  for (int which : {0, 1})
    for (auto [name, error] : cases) {
      pictureresult failed = writeboth(which, dir.path() + name, frame);
      ASSERT_TRUE(failed) << name;
      EXPECT_EQ(failed->path, dir.path() + name);
      EXPECT_EQ(failed->reason, std::strerror(error)) << name;
    }
  for (bool dropped : {false, true}) {
    gifwriter writer;
    ASSERT_EQ(writer.open(dir.path() + "/cut.gif", W, H), std::nullopt);
    ASSERT_EQ(writer.add(frame.data(), 13), std::nullopt);
    if (dropped) continue;
    EXPECT_TRUE(writer.add(nullptr, 13));
    EXPECT_FALSE(writer.isopen());
    EXPECT_TRUE(writer.close());
  }
  EXPECT_EQ(names(dir.path()), (std::set<std::string>{"plain", "taken"}));
}

// The program's own pictures: the frames of a run decode to the golden frame of the display
// tests, and the GIF holds the same frames in order at the program's pace. A place that cannot
// be written is in the golden cases *_to_a_place_that_cannot_be_written_*.
TEST(picture, a_run_writes_its_frames_and_gif) {
  testing::tempdir dir;
  const std::string source = dir.file("split.txt", "%+++#++/\n    +  +\n    #~+\\\n    ++)(\n");
  testing::outcome o =
      testing::run({.program = TARVEX_BIN,
                    .args = {"--batch", "--ticks=6", "--every=2", "--frames", dir.path() + "/f",
                             "--gif", dir.path() + "/run.gif", source}});
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(names(dir.path() + "/f"),
            (std::set<std::string>{"frame-000000.png", "frame-000002.png", "frame-000004.png",
                                   "frame-000006.png"}));
  testing::expectgolden(readpng(dir.path() + "/f/frame-000006.png"), W, "splitting_program_tick_6");
  // A screenshot alone, with no frame drawn on the way, is still the last tick's frame: tick 3
  // queues a write that its frame does not show yet.
  const std::string writer = dir.file("w.txt", "%+ (");
  for (std::string option : {"--frames", "--screenshot"})
    testing::run({.program = TARVEX_BIN,
                  .args = {"--batch", "--ticks=3", option, dir.path() + "/w" + option, writer}});
  EXPECT_TRUE(readpng(dir.path() + "/w--screenshot") ==
              readpng(dir.path() + "/w--frames/frame-000003.png"));
  const testing::gifmovie gif = testing::readgif(dir.path() + "/run.gif");
  ASSERT_EQ(gif.frames.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const std::string name = "/f/frame-00000" + std::to_string(2 * i) + ".png";
    EXPECT_TRUE(gif.frames[i].shown == readpng(dir.path() + name)) << name;
    EXPECT_EQ(gif.frames[i].delay, 26) << "two ticks of 128 ms";
  }
}

} // namespace
} // namespace tarvex
