#include "tests/support/pictures.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace tarvex::testing {

pixels readpng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  EXPECT_EQ(image.format, uint32_t(PNG_FORMAT_RGB));
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  pixels out;
  for (size_t i = 0; i < rgb.size(); i += 3)
    out.push_back(uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2]);
  return out;
}

gifmovie readgif(const std::string& path) {
  std::unique_ptr<GifFileType, decltype([](GifFileType* g) { DGifCloseFile(g, nullptr); })> gif(
      DGifOpenFileName(path.c_str(), nullptr));
  gifmovie movie;
  if (!gif || DGifSlurp(gif.get()) != GIF_OK) return movie;
  pixels shown(size_t(gif->SWidth) * size_t(gif->SHeight), 0);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    const GifImageDesc& d = image.ImageDesc;
    for (int j = 0; j < image.ExtensionBlockCount; ++j) {
      const ExtensionBlock* e = &image.ExtensionBlocks[j];
      if (e->Function == APPLICATION_EXT_FUNC_CODE && e->ByteCount == 11 &&
          std::memcmp(e->Bytes, "NETSCAPE2.0", 11) == 0 && j + 1 < image.ExtensionBlockCount)
        movie.loopsforever =
            e[1].ByteCount == 3 && e[1].Bytes[0] == 1 && e[1].Bytes[1] == 0 && e[1].Bytes[2] == 0;
    }
    for (int y = 0; y < d.Height; ++y)
      for (int x = 0; x < d.Width; ++x) {
        GifColorType c = d.ColorMap->Colors[image.RasterBits[y * d.Width + x]];
        shown[size_t((d.Top + y) * gif->SWidth + d.Left + x)] =
            uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
      }
    GraphicsControlBlock control{};
    EXPECT_EQ(DGifSavedExtensionToGCB(gif.get(), i, &control), GIF_OK);
    movie.frames.push_back({d.Left, d.Top, d.Width, d.Height, control.DelayTime, shown});
  }
  return movie;
}

void expectgolden(const pixels& frame, int width, const std::string& name) {
  uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a 64 over the pixel words' bytes
  for (uint32_t word : frame)
    for (int shift = 0; shift < 32; shift += 8)
      hash = (hash ^ ((word >> shift) & 0xFF)) * 0x100000001b3ull;
  std::ifstream in(TARVEX_TESTS_DIR "/display/golden/frames.txt");
  for (std::string line, field, hex; std::getline(in, line);)
    if (std::istringstream(line) >> field >> hex && field == name &&
        std::stoull(hex, 0, 16) == hash)
      return;
  std::string path = ::testing::TempDir() + "tarvex-frame-" + name + ".ppm";
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << width << " " << frame.size() / size_t(width) << "\n255\n";
  for (uint32_t p : frame)
    out << char(p >> 16) << char(p >> 8) << char(p);
  ADD_FAILURE() << "golden frame " << name << " differs: hash " << std::hex << hash
                << ", picture at " << path;
}

} // namespace tarvex::testing
