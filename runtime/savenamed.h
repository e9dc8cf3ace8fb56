// Writing text back to a name the way reading takes it: a plain name reads every byte as one
// character, "latin1::", "utf8::", "utf16be::" and "utf16le::" a decoding.
#pragma once
#include <string>
#include <vector>

#include "runtime/text.h"

namespace tarvex {

// Writes `lines`, each ended by a line feed, to the file `name` names, in its encoding, so that
// reading it again gives the same lines. The file is replaced only once the new one is whole:
// a refusal leaves the old one as it was. Returns why it could not, or empty: a character the
// encoding cannot hold (or that no line can: a zero, a carriage return, a line feed), a name
// that is not one file, or the file system's reason.
std::string savenamed(const Text& name, const std::vector<Text>& lines);

} // namespace tarvex
