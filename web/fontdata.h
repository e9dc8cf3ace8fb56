// The glyph font's file, built into the module: the page has no files to open.
#pragma once
#include <cstddef>

namespace tarvex::web {
extern const unsigned char FONTDATA[];
extern const size_t FONTSIZE;
} // namespace tarvex::web
