#include "cli_dialogs.h"

#include "cli_common.h"
#include "output.h"

namespace vemtaro::cli {

std::string LineBreaks(std::string text) {
  for (char& c : text) {
    if (c == '\r') c = '\n';
  }
  return text;
}

void CliDialogs::ShowMessage(const std::string& text) {
  PrintErr(std::string(kProgram) + ": " + (subject_.empty() ? "" : subject_ + ": ") + LineBreaks(text) + "\n");
}

void CliDialogs::ShowError(const std::string& text) {
  ++errors_;
  lastError_ = text;
  ShowMessage(text);
}

std::optional<std::string> CliDialogs::InputText(const std::string&, const std::string&, int) { return std::nullopt; }

}  // namespace vemtaro::cli
