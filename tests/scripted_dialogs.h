// Dialogs answered from a script; every message shown is recorded.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/dialogs.h"

namespace vemtaro::testing {

class ScriptedDialogs : public UserDialogs {
 public:
  struct Shown {
    bool error;
    std::string text;
  };
  std::vector<Shown> shown;
  std::deque<std::optional<std::string>> inputs;  // answers of InputText, in order
  std::deque<std::optional<std::string>> fileNames;
  // Answers of "Сохранить изменения в настройках?", in order; when none is
  // left the answer is "Не сохранять", as a test that does not script the
  // question goes on with its action.
  std::deque<SaveChangesAnswer> saveChanges;
  int saveChangesAsked = 0;  // how often the question was asked
  // Answers of the connection-type dialog "Тип соединения", in order; none
  // left is a cancel.
  std::deque<std::optional<int>> connectionTypes;
  int connectionTypeAsked = 0;  // how often the dialog was shown
  // Where the file dialogs were asked to start, in order.
  std::vector<FileDialogStart> saveStarts;
  std::vector<FileDialogStart> openStarts;
  // Answers of the firmware version of a new configuration, in order; none
  // left is a cancel. The version chosen when each dialog opened.
  std::deque<std::optional<int>> firmwareVersions;
  std::vector<int> firmwareVersionsOffered;

  void ShowMessage(const std::string& text) override { shown.push_back({false, text}); }
  void ShowError(const std::string& text) override { shown.push_back({true, text}); }
  std::optional<std::string> InputText(const std::string&, const std::string&, int) override { return Next(inputs); }
  std::optional<std::string> AskSaveFileName() override { return Next(fileNames); }
  std::optional<std::string> AskOpenFileName() override { return Next(fileNames); }
  std::optional<std::string> AskSaveFileFrom(const FileDialogStart& start) override {
    saveStarts.push_back(start);
    return Next(fileNames);
  }
  std::optional<std::string> AskOpenFileFrom(const FileDialogStart& start) override {
    openStarts.push_back(start);
    return Next(fileNames);
  }
  std::optional<int> ChooseFirmwareVersion(int current) override {
    firmwareVersionsOffered.push_back(current);
    if (firmwareVersions.empty()) return std::nullopt;
    const std::optional<int> answer = firmwareVersions.front();
    firmwareVersions.pop_front();
    return answer;
  }
  SaveChangesAnswer AskSaveChanges() override {
    ++saveChangesAsked;
    if (saveChanges.empty()) return SaveChangesAnswer::Discard;
    const SaveChangesAnswer answer = saveChanges.front();
    saveChanges.pop_front();
    return answer;
  }

  std::optional<int> ChooseConnectionType() override {
    ++connectionTypeAsked;
    if (connectionTypes.empty()) return std::nullopt;
    const std::optional<int> answer = connectionTypes.front();
    connectionTypes.pop_front();
    return answer;
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const auto& s : shown) t.push_back(s.text);
    return t;
  }
  void Clear() { shown.clear(); }

 private:
  static std::optional<std::string> Next(std::deque<std::optional<std::string>>& q) {
    if (q.empty()) return std::nullopt;
    auto v = q.front();
    q.pop_front();
    return v;
  }
};

// Files kept in memory.
class MemoryFiles : public FileStore {
 public:
  std::map<std::string, std::string> files;
  bool failWrites = false;
  bool ReadAll(const std::string& path, std::string& bytes, std::string& error) override {
    auto it = files.find(path);
    if (it == files.end()) {
      error = "no such file";
      return false;
    }
    bytes = it->second;
    return true;
  }
  bool WriteAll(const std::string& path, const std::string& bytes, std::string& error) override {
    if (failWrites) {
      error = "read-only";
      return false;
    }
    files[path] = bytes;
    return true;
  }
};

}  // namespace vemtaro::testing
