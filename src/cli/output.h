// Writing UTF-8 text to the standard output and error streams.
#pragma once

#include <cstdio>
#include <string>

namespace vemtaro::cli {

inline void PrintTo(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}
inline void PrintOut(const std::string& text) { PrintTo(stdout, text); }
inline void PrintErr(const std::string& text) { PrintTo(stderr, text); }

}  // namespace vemtaro::cli
