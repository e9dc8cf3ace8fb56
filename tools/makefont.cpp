// makefont: builds the font file "curses.bit" from an 8 by 13 (or 8 by 12) console font in
// PSF1 or PSF2 form with a Unicode table, plain or gzip-compressed.
//
//   makefont SOURCE.psf[.gz] OUTPUT
//
// The output is the 128 by 192 one-bit picture of 16 by 16 glyphs the program reads at start-up:
// 16 bytes a row, least significant bit the leftmost pixel, bit 0 ink and bit 1 background.
// Codes 32 to 126 and 160 to 255 are Latin-1, 1 to 31 and 127 the classic PC pictures, 128 to
// 159 box-drawing and block pieces. A character the source font has no drawing of its own for is
// drawn from the pictures below. The same source always gives the same bytes.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int GLYPHWIDTH = 8;
constexpr int GLYPHHEIGHT = 12;
constexpr int SHEETCOLUMNS = 16;
constexpr int ROWBYTES = 16;
constexpr size_t FILESIZE = 3072;

struct failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string hexcode(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

// ---------------------------------------------------------------------------------------------
// Reading the source font.

std::vector<uint8_t> readfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw failure("cannot open " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) throw failure("cannot read " + path);
  return bytes;
}

// The fonts ship gzip-compressed; gzip itself unpacks them, so no compression library is needed.
std::vector<uint8_t> gunzip(const std::string& path) {
  int fds[2];
  if (pipe(fds) != 0) throw failure("cannot make a pipe for gzip");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::string name = "gzip", flag = "-dc", end = "--", file = path;
  char* argv[] = {name.data(), flag.data(), end.data(), file.data(), nullptr};
  pid_t child = 0;
  int spawned = posix_spawnp(&child, "gzip", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    throw failure("cannot run gzip to unpack " + path);
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  for (;;) {
    ssize_t n = read(fds[0], chunk, sizeof chunk);
    if (n < 0) {
      close(fds[0]);
      waitpid(child, nullptr, 0);
      throw failure("cannot read gzip's output for " + path);
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw failure("gzip could not unpack " + path);
  return bytes;
}

// One glyph of the source, its rows top first, each row's leftmost pixel in the top bit.
using sourceglyph = std::vector<uint8_t>;

struct sourcefont {
  int height = 0;
  std::vector<sourceglyph> glyphs;
  // Code point -> glyph. `own` is true when the code point is the first one the table lists for
  // that glyph: the glyph was drawn for it. Later entries borrow another character's drawing
  // (the 8x13 fonts show a double-line corner with the single-line one, a triangle with an
  // arrow), which a complete font should not do.
  struct mapping {
    size_t glyph;
    bool own;
  };
  std::map<char32_t, mapping> table;

  void map(char32_t c, size_t glyph, bool first) { table.emplace(c, mapping{glyph, first}); }
};

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  if (at + 4 > b.size()) throw failure("truncated font header");
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

sourcefont parsepsf1(const std::vector<uint8_t>& b) {
  constexpr uint8_t MODE512 = 0x01, MODEHASTAB = 0x02, MODESEQ = 0x04;
  if (b.size() < 4) throw failure("truncated PSF1 header");
  uint8_t mode = b[2];
  sourcefont font;
  font.height = b[3];
  size_t count = (mode & MODE512) ? 512 : 256;
  size_t size = static_cast<size_t>(font.height);
  if (4 + count * size > b.size()) throw failure("truncated PSF1 glyphs");
  for (size_t g = 0; g < count; ++g)
    font.glyphs.emplace_back(b.begin() + static_cast<ptrdiff_t>(4 + g * size),
                             b.begin() + static_cast<ptrdiff_t>(4 + (g + 1) * size));
  if (!(mode & (MODEHASTAB | MODESEQ))) throw failure("the font has no Unicode table");
  size_t at = 4 + count * size;
  for (size_t g = 0; g < count; ++g) {
    bool first = true, insequences = false;
    for (;;) {
      if (at + 2 > b.size()) throw failure("truncated PSF1 Unicode table");
      char32_t c = char32_t{b[at]} | char32_t{b[at + 1]} << 8;
      at += 2;
      if (c == 0xFFFF) break;
      // Everything after the first 0xFFFE is a combining sequence, never a single character.
      if (c == 0xFFFE) insequences = true;
      if (insequences) continue;
      font.map(c, g, first);
      first = false;
    }
  }
  return font;
}

// Decodes one UTF-8 character at `at`, advancing it.
char32_t utf8(const std::vector<uint8_t>& b, size_t& at) {
  uint8_t lead = b[at++];
  int more = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
  char32_t c = more == 0 ? lead : lead & (0x3Fu >> more);
  for (int i = 0; i < more; ++i) {
    if (at >= b.size()) throw failure("truncated UTF-8 in the Unicode table");
    c = c << 6 | (b[at++] & 0x3F);
  }
  return c;
}

sourcefont parsepsf2(const std::vector<uint8_t>& b) {
  constexpr uint32_t HASTABLE = 0x01;
  uint32_t headersize = le32(b, 8), flags = le32(b, 12), count = le32(b, 16),
           charsize = le32(b, 20), height = le32(b, 24), width = le32(b, 28);
  if (width != GLYPHWIDTH) throw failure("the font is not 8 pixels wide");
  if (charsize != height) throw failure("unexpected PSF2 glyph size");
  sourcefont font;
  font.height = static_cast<int>(height);
  if (headersize + size_t{count} * charsize > b.size()) throw failure("truncated PSF2 glyphs");
  for (size_t g = 0; g < count; ++g)
    font.glyphs.emplace_back(b.begin() + static_cast<ptrdiff_t>(headersize + g * charsize),
                             b.begin() + static_cast<ptrdiff_t>(headersize + (g + 1) * charsize));
  if (!(flags & HASTABLE)) throw failure("the font has no Unicode table");
  size_t at = headersize + size_t{count} * charsize;
  for (size_t g = 0; g < count; ++g) {
    bool first = true, insequences = false;
    for (;;) {
      if (at >= b.size()) throw failure("truncated PSF2 Unicode table");
      if (b[at] == 0xFF) {
        ++at;
        break;
      }
      if (b[at] == 0xFE) {
        insequences = true;
        ++at;
        continue;
      }
      char32_t c = utf8(b, at);
      if (insequences) continue;
      font.map(c, g, first);
      first = false;
    }
  }
  return font;
}

sourcefont loadsource(const std::string& path) {
  std::vector<uint8_t> bytes = readfile(path);
  if (bytes.size() >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B) bytes = gunzip(path);
  sourcefont font;
  if (bytes.size() >= 2 && bytes[0] == 0x36 && bytes[1] == 0x04)
    font = parsepsf1(bytes);
  else if (bytes.size() >= 4 && bytes[0] == 0x72 && bytes[1] == 0xB5 && bytes[2] == 0x4A &&
           bytes[3] == 0x86)
    font = parsepsf2(bytes);
  else
    throw failure(path + " is not a PSF font");
  if (font.height != 12 && font.height != 13) throw failure("the font is not 12 or 13 rows high");
  return font;
}

// ---------------------------------------------------------------------------------------------
// Pictures for what the 8x13 fonts lack. 8 by 12, "#" ink. Text glyphs have their capitals on
// rows 1 to 9 with the baseline under row 9; single box lines run along column 3 and row 5,
// double ones along columns 2 and 4 and rows 4 and 6, so pieces of both kinds join.

struct drawing {
  char32_t code;
  const char* rows; // 12 rows of 8 characters
};

// clang-format off
const drawing DRAWINGS[] = {
  {0x263A, "........" "..####.." ".#....#." "#.#..#.#" "#......#" "#.#..#.#"  // ☺
           "#..##..#" ".#....#." "..####.." "........" "........" "........"},
  {0x263B, "........" "..####.." ".######." "##.##.##" "########" "##.##.##"  // ☻
           "###..###" ".######." "..####.." "........" "........" "........"},
  {0x2665, "........" "........" "........" ".##.##.." "#######." "#######."  // ♥
           "#######." ".#####.." "..###..." "...#...." "........" "........"},
  {0x2663, "........" "........" "...#...." "..###..." "..###..." "##.#.##."  // ♣
           "#######." "##.#.##." "...#...." "..###..." "........" "........"},
  {0x2660, "........" "........" "...#...." "..###..." ".#####.." "#######."  // ♠
           "#######." "##.#.##." "...#...." "..###..." "........" "........"},
  {0x25D8, "########" "########" "########" "##...###" "#.....##" "#.....##"  // ◘
           "#.....##" "##...###" "########" "########" "########" "########"},
  {0x25CB, "........" "........" "........" "..###..." ".#...#.." ".#...#.."  // ○
           ".#...#.." "..###..." "........" "........" "........" "........"},
  {0x25D9, "########" "########" "########" "##...###" "#.###.##" "#.###.##"  // ◙
           "#.###.##" "##...###" "########" "########" "########" "########"},
  {0x2642, "........" "...####." ".....##." "....#.#." "..###..." ".#...#.."  // ♂
           ".#...#.." ".#...#.." "..###..." "........" "........" "........"},
  {0x2640, "........" "..###..." ".#...#.." ".#...#.." ".#...#.." "..###..."  // ♀
           "...#...." ".#####.." "...#...." "...#...." "........" "........"},
  {0x266A, "........" "...##..." "...#.#.." "...#..#." "...#...." "...#...."  // ♪
           "...#...." ".###...." "####...." ".##....." "........" "........"},
  {0x266B, "........" "..#####." "..#...#." "..#####." "..#...#." "..#...#."  // ♫
           "..#..##." "###.###." "###.##.." ".#......" "........" "........"},
  {0x263C, "........" "........" "...#...." "#.###.#." ".#...#.." "##...##."  // ☼
           ".#...#.." "#.###.#." "...#...." "........" "........" "........"},
  {0x25BA, "........" ".#......" ".##....." ".###...." ".####..." ".#####.."  // ►
           ".####..." ".###...." ".##....." ".#......" "........" "........"},
  {0x25C4, "........" ".....#.." "....##.." "...###.." "..####.." ".#####.."  // ◄
           "..####.." "...###.." "....##.." ".....#.." "........" "........"},
  {0x2195, "........" "...#...." "..###..." ".#.#.#.." "...#...." "...#...."  // ↕
           "...#...." ".#.#.#.." "..###..." "...#...." "........" "........"},
  {0x25AC, "........" "........" "........" "........" "........" "........"  // ▬
           "#######." "#######." "#######." "........" "........" "........"},
  {0x21A8, "........" "...#...." "..###..." ".#.#.#.." "...#...." "...#...."  // ↨
           ".#.#.#.." "..###..." "...#...." ".#####.." "........" "........"},
  {0x221F, "........" "........" "........" "........" "........" ".#......"  // ∟
           ".#......" ".#......" ".######." "........" "........" "........"},
  {0x2194, "........" "........" "........" "..#..#.." ".#....#." "########"  // ↔
           ".#....#." "..#..#.." "........" "........" "........" "........"},
  {0x25B2, "........" "........" "...#...." "...#...." "..###..." "..###..."  // ▲
           ".#####.." ".#####.." "#######." "........" "........" "........"},
  {0x25BC, "........" "........" "#######." ".#####.." ".#####.." "..###..."  // ▼
           "..###..." "...#...." "...#...." "........" "........" "........"},
  {0x2302, "........" "........" "...#...." "..#.#..." ".#...#.." "#.....#."  // ⌂
           "#.....#." "#.....#." "#######." "........" "........" "........"},
  {0x2593, "#.#.#.#." "########" ".#.#.#.#" "########" "#.#.#.#." "########"  // ▓
           ".#.#.#.#" "########" "#.#.#.#." "########" ".#.#.#.#" "########"},
  {0x2584, "........" "........" "........" "........" "........" "........"  // ▄
           "########" "########" "########" "########" "########" "########"},
  {0x258C, "####...." "####...." "####...." "####...." "####...." "####...."  // ▌
           "####...." "####...." "####...." "####...." "####...." "####...."},
  {0x2590, "....####" "....####" "....####" "....####" "....####" "....####"  // ▐
           "....####" "....####" "....####" "....####" "....####" "....####"},
  {0x2580, "########" "########" "########" "########" "########" "########"  // ▀
           "........" "........" "........" "........" "........" "........"},
  {0x2550, "........" "........" "........" "........" "########" "........"  // ═
           "########" "........" "........" "........" "........" "........"},
  {0x2551, "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..."  // ║
           "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..."},
  {0x2554, "........" "........" "........" "........" "..######" "..#....."  // ╔
           "..#.####" "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..."},
  {0x2557, "........" "........" "........" "........" "#####..." "....#..."  // ╗
           "###.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..."},
  {0x255A, "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.####" "..#....."  // ╚
           "..######" "........" "........" "........" "........" "........"},
  {0x255D, "..#.#..." "..#.#..." "..#.#..." "..#.#..." "###.#..." "....#..."  // ╝
           "#####..." "........" "........" "........" "........" "........"},
  {0x2560, "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.####" "..#....."  // ╠
           "..#.####" "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..."},
  {0x2563, "..#.#..." "..#.#..." "..#.#..." "..#.#..." "###.#..." "....#..."  // ╣
           "###.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..."},
  {0x2566, "........" "........" "........" "........" "########" "........"  // ╦
           "###.####" "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..."},
  {0x2569, "..#.#..." "..#.#..." "..#.#..." "..#.#..." "###.####" "........"  // ╩
           "########" "........" "........" "........" "........" "........"},
  {0x256C, "..#.#..." "..#.#..." "..#.#..." "..#.#..." "###.####" "........"  // ╬
           "###.####" "..#.#..." "..#.#..." "..#.#..." "..#.#..." "..#.#..."},
  {0x25AA, "........" "........" "........" "........" ".#####.." ".#####.."  // ▪
           ".#####.." ".#####.." ".#####.." "........" "........" "........"},
  // The no-break space gets the open box, so it cannot pass for the space it is not.
  {0x2423, "........" "........" "........" "........" "........" "........"  // ␣
           "........" ".#...#.." ".#...#.." ".#####.." "........" "........"},
};

// Codes 1 to 31: the PC pictures.
const char32_t PICTURES[31] = {
  0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9, 0x2642,
  0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC,
  0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};

// Codes 128 to 159: shades and blocks, the whole single-line and double-line box sets, and two
// squares.
const char32_t PIECES[32] = {
  0x2591, 0x2592, 0x2593, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,           // ░▒▓█▄▌▐▀
  0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524, 0x252C,   // ─│┌┐└┘├┤┬
  0x2534, 0x253C,                                                           // ┴┼
  0x2550, 0x2551, 0x2554, 0x2557, 0x255A, 0x255D, 0x2560, 0x2563, 0x2566,   // ═║╔╗╚╝╠╣╦
  0x2569, 0x256C,                                                           // ╩╬
  0x25A0, 0x25AA};                                                          // ■▪
// clang-format on

// The character shown at each code; 0 for the blank code 0.
char32_t characterof(int code) {
  if (code == 0) return 0;
  if (code < 32) return PICTURES[code - 1];
  if (code == 127) return 0x2302;
  if (code >= 128 && code < 160) return PIECES[code - 128];
  if (code == 160) return 0x2423;
  return static_cast<char32_t>(code);
}

// ---------------------------------------------------------------------------------------------
// Building the picture.

// A glyph as 12 rows, bit j the pixel in column j, set for ink.
using glyph = std::array<uint8_t, GLYPHHEIGHT>;

glyph fromdrawing(const drawing& d) {
  if (std::strlen(d.rows) != GLYPHWIDTH * GLYPHHEIGHT)
    throw failure("the drawing of " + hexcode(d.code) + " is not 8 by 12");
  glyph g{};
  for (size_t k = 0; k < GLYPHHEIGHT; ++k)
    for (size_t j = 0; j < GLYPHWIDTH; ++j)
      if (d.rows[k * GLYPHWIDTH + j] == '#') g[k] |= static_cast<uint8_t>(1u << j);
  return g;
}

// The 8x13 fonts leave their top row empty in every Latin-1 glyph (accents start on row 1,
// descenders reach row 12), so that is the row to drop.
glyph fromsource(const sourcefont& font, size_t index) {
  const sourceglyph& rows = font.glyphs[index];
  int skip = font.height - GLYPHHEIGHT;
  glyph g{};
  for (size_t k = 0; k < GLYPHHEIGHT; ++k) {
    uint8_t row = rows[k + static_cast<size_t>(skip)];
    for (int j = 0; j < GLYPHWIDTH; ++j)
      if (row & (0x80 >> j)) g[k] |= static_cast<uint8_t>(1u << j);
  }
  return g;
}

struct counts {
  int fromsource = 0, drawn = 0, blank = 0;
};

std::array<glyph, 256> buildglyphs(const sourcefont& font, counts& tally) {
  std::map<char32_t, const drawing*> drawings;
  for (const drawing& d : DRAWINGS)
    drawings.emplace(d.code, &d);

  std::array<glyph, 256> glyphs{};
  for (int code = 0; code < 256; ++code) {
    char32_t c = characterof(code);
    if (c == 0) {
      ++tally.blank;
      continue;
    }
    auto found = font.table.find(c);
    auto drawn = drawings.find(c);
    // Text takes whatever the font shows for it (its soft hyphen is its hyphen); a picture
    // takes the font's only when the font drew it for that very character.
    bool usesource = found != font.table.end() && (drawn == drawings.end() || found->second.own);
    if (usesource) {
      glyphs[static_cast<size_t>(code)] = fromsource(font, found->second.glyph);
      ++tally.fromsource;
      if (font.height > GLYPHHEIGHT && font.glyphs[found->second.glyph][0] != 0 && code >= 32 &&
          code != 127 && (code < 128 || code >= 160))
        std::fprintf(stderr, "makefont: warning: the dropped top row of %s has ink\n",
                     hexcode(c).c_str());
    } else if (drawn != drawings.end()) {
      glyphs[static_cast<size_t>(code)] = fromdrawing(*drawn->second);
      ++tally.drawn;
    } else {
      throw failure("the source font has no glyph for " + hexcode(c) + " (code " +
                    std::to_string(code) + ")");
    }
  }
  return glyphs;
}

std::vector<uint8_t> encode(const std::array<glyph, 256>& glyphs) {
  std::vector<uint8_t> bytes(FILESIZE);
  for (size_t g = 0; g < 256; ++g)
    for (size_t k = 0; k < GLYPHHEIGHT; ++k)
      // Bit value 0 is ink in the file.
      bytes[(GLYPHHEIGHT * (g / SHEETCOLUMNS) + k) * ROWBYTES + g % SHEETCOLUMNS] =
          static_cast<uint8_t>(~glyphs[g][k]);
  return bytes;
}

void writefile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw failure("cannot create " + path);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw failure("cannot write " + path);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: makefont SOURCE.psf[.gz] OUTPUT\n");
    return 2;
  }
  try {
    sourcefont font = loadsource(argv[1]);
    counts tally;
    std::array<glyph, 256> glyphs = buildglyphs(font, tally);
    writefile(argv[2], encode(glyphs));
    std::printf("%s: %d glyphs from the source font, %d drawn, %d blank\n", argv[2],
                tally.fromsource, tally.drawn, tally.blank);
  } catch (const failure& e) {
    std::fprintf(stderr, "makefont: %s\n", e.what());
    return 1;
  }
  return 0;
}
