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
// The console's UTF-8 of one 16-bit code: one, two or three bytes.
void appendutf8(std::string& bytes, char16_t code);

} // namespace tarvex
