// What the tests of the built programs (vemtaro-cli, vemtaro-sim) share:
// their files, a temporary folder of the test's own, and running vemtaro-cli
// from a POSIX shell in it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "files/settings_file.h"
#include "scripted_dialogs.h"
#include "window/main_model.h"

namespace vemtaro::program_testing {

namespace fs = std::filesystem;

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline bool HasLine(const std::string& text, const std::string& line) {
  const auto lines = Lines(text);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// One argument for the POSIX shell.
inline std::string Sh(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

inline int ExitCode(int status) {
#ifdef _WIN32
  return status;
#else
  return WIFEXITED(status) ? WEXITSTATUS(status) : (WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1);
#endif
}

// The file the desktop program saves after start-up and choosing a version.
inline std::string DesktopFile(int version) {
  testing::ScriptedDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  m.ApplyProfile(version);
  return m.SettingsFileBytes().value_or(std::string());
}

// Where the image of a settings file starts.
inline std::size_t ImageOffset(const std::string& file) {
  const SettingsFileParse parsed = ParseSettingsFile(file);
  EXPECT_TRUE(parsed.data);
  return parsed.data ? parsed.data->imageOffset : 0;
}

// A new temporary folder for the running test: the prefix, the test's name
// (parameterised tests have a "/" in theirs) and a random number.
inline fs::path MakeTestFolder(const std::string& prefix) {
  std::random_device random;
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(name.begin(), name.end(), '/', '-');
  fs::path dir = fs::temp_directory_path() / (prefix + name + "-" + std::to_string(random()));
  fs::create_directories(dir);
  return dir;
}

// Removes a test's folder with what it holds; nothing for an empty path.
inline void RemoveTestFolder(const fs::path& dir) {
  std::error_code ignored;
  if (!dir.empty()) fs::remove_all(dir, ignored);
}

#ifdef VEMTARO_CLI_PATH
// A temporary folder of the test's own, removed with what it holds, in which
// the test runs vemtaro-cli.
class CliFolder : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeTestFolder("vemtaro-cli-"); }
  void TearDown() override { RemoveTestFolder(dir_); }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  // Runs a shell command line in the folder.
  Result Shell(const std::string& line) const {
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    const std::string command =
        "cd " + Sh(dir_.string()) + " && { " + line + " ; } >" + Sh(out.string()) + " 2>" + Sh(err.string());
    Result r;
    r.code = ExitCode(std::system(command.c_str()));
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
  }

  // The program with each argument quoted, as a shell command.
  static std::string Command(const std::vector<std::string>& args) {
    std::string line = Sh(VEMTARO_CLI_PATH);
    for (const auto& a : args) line.append(" ").append(Sh(a));
    return line;
  }

  // Runs the program with each argument quoted.
  Result Run(const std::vector<std::string>& args) const { return Shell(Command(args)); }

  std::string New(int version, const std::string& name) const {
    const Result r = Run({"new", "--firmware", std::to_string(version), "-o", Path(name).string()});
    EXPECT_EQ(r.code, 0) << r.err;
    return ReadFile(Path(name));
  }

  std::string Show(const std::string& name) const {
    const Result r = Run({"show", Path(name).string()});
    EXPECT_EQ(r.code, 0) << r.err;
    return r.out;
  }

  fs::path dir_;
};
#endif

}  // namespace vemtaro::program_testing
