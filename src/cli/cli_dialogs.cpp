#include "cli_dialogs.h"

#include "output.h"

namespace vemtaro::cli {

std::string LineBreaks(std::string text) {
  for (char& c : text) {
    if (c == '\r') c = '\n';
  }
  return text;
}

void CliDialogs::ShowMessage(const std::string& text) { PrintErr(LineBreaks(text) + "\n"); }

void CliDialogs::ShowError(const std::string& text) {
  ++errors_;
  lastError_ = text;
  PrintErr("error: " + LineBreaks(text) + "\n");
}

std::optional<std::string> CliDialogs::InputText(const std::string&, const std::string&, int) { return std::nullopt; }

}  // namespace vemtaro::cli
