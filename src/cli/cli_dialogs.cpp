#include "cli_dialogs.h"

#include "output.h"

namespace vemtaro::cli {
namespace {

// The core's messages break lines with "\r".
std::string Lines(std::string text) {
  for (char& c : text) {
    if (c == '\r') c = '\n';
  }
  return text;
}

}  // namespace

void CliDialogs::ShowMessage(const std::string& text) { PrintErr(Lines(text) + "\n"); }

void CliDialogs::ShowError(const std::string& text) { PrintErr("error: " + Lines(text) + "\n"); }

std::optional<std::string> CliDialogs::InputText(const std::string&, const std::string&, int) {
  return std::nullopt;
}

}  // namespace vemtaro::cli
