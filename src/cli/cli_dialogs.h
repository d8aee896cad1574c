// The core's dialogs on the command line: messages and errors are printed to
// the standard error stream; nothing is asked, so inputs and file names are
// cancelled.
#pragma once

#include <optional>
#include <string>

#include "model/dialogs.h"

namespace vemtaro::cli {

class CliDialogs : public UserDialogs {
 public:
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> InputText(const std::string& caption, const std::string& initial,
                                       int maxLength) override;
  std::optional<std::string> AskSaveFileName() override { return std::nullopt; }
  std::optional<std::string> AskOpenFileName() override { return std::nullopt; }
};

}  // namespace vemtaro::cli
