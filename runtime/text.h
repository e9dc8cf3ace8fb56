// Texts: sequences of 16-bit character codes, and the byte conversions every layer shares.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

using Text = std::u16string;

// Byte-wise decoding of the bytes before the first zero byte.
Text fromcstring(const char* bytes);
// Byte-wise decoding of every byte, zero bytes included.
Text frombytes(std::string_view bytes);
// A text of length 1 whose code is `code` modulo 65536.
Text chartext(int64_t code);
// Low-byte encoding: each code modulo 256, cut before the first zero byte.
std::string lowbytes(const Text& text);
// The console's UTF-8 of one 16-bit code: one, two or three bytes. A code that stands for a
// byte of a name that was not UTF-8 (see fromutf8name) gives that byte back.
void appendutf8(std::string& bytes, char16_t code);

// Names (command-line words, file paths) are UTF-8 both ways. A byte that does not belong to a
// UTF-8 sequence of one to three bytes becomes the lone low surrogate U+DC00 + byte, which
// appendutf8 turns back into the byte, so any name survives the round trip unchanged.
Text fromutf8name(std::string_view bytes);
std::string utf8name(const Text& name);
// The path with every backslash a slash, so names written with either separator open.
Text forwardslashes(Text path);

} // namespace tarvex
