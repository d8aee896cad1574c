// Conversion between the program's texts (UTF-8) and the single-byte Windows-1251
// code page in which the image and the settings files hold them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vemtaro {

// UTF-8 to Windows-1251. A character without a code in the code page, and a
// byte that is not valid UTF-8, becomes '?'.
std::string Utf8ToCp1251(std::string_view utf8);
// The same, appended to out.
void AppendCp1251(std::string& out, std::string_view utf8);

// Windows-1251 to UTF-8. Every byte has a character (0x98, which has none in the
// code page, maps to U+0098), so the conversion back is lossless.
std::string Cp1251ToUtf8(std::string_view bytes);

// Number of characters (code points) of a UTF-8 text.
std::size_t Utf8Length(std::string_view utf8);

// The first n characters of a UTF-8 text.
std::string Utf8Left(std::string_view utf8, std::size_t n);

}  // namespace vemtaro
