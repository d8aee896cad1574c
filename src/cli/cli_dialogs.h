// The core's dialogs on the command line: messages and errors are printed to
// the standard error stream, each after the file or port it is about (the
// program's own texts are Russian, so the name tells where they belong);
// nothing is asked, so inputs and file names are cancelled, and a connection
// is always made directly ("Прямое").
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "model/dialogs.h"

namespace vemtaro::cli {

class CliDialogs : public UserDialogs {
 public:
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> InputText(const std::string& caption, const std::string& initial, int maxLength) override;
  std::optional<std::string> AskSaveFileName() override { return std::nullopt; }
  std::optional<std::string> AskOpenFileName() override { return std::nullopt; }
  std::optional<int> ChooseConnectionType() override { return 0; }

  // The file or port that the messages from now on are about.
  void SetSubject(std::string subject) { subject_ = std::move(subject); }
  const std::string& Subject() const { return subject_; }

  // Error boxes shown so far, and the text of the last one, so that a command
  // can tell whether a step it ran reported a failure.
  int ErrorCount() const { return errors_; }
  const std::string& LastError() const { return lastError_; }

 private:
  int errors_ = 0;
  std::string lastError_;
  std::string subject_;
};

// The core's "\r" line breaks as "\n".
std::string LineBreaks(std::string text);

}  // namespace vemtaro::cli
