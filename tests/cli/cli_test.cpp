// Runs the built vemtaro-cli on files in a temporary folder.
#include <gtest/gtest.h>

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
#include "model/cp1251.h"
#include "program_testing.h"
#include "scripted_dialogs.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {

namespace fs = std::filesystem;
using namespace program_testing;

class Cli : public CliFolder {
 protected:
  // Runs the program with the arguments (already quoted where needed).
  Result Run(const std::string& args) const { return Shell(Sh(VEMTARO_CLI_PATH) + " " + args); }

  // "new" into a file of the folder; returns its bytes.
  std::string New(int version, const std::string& name) const {
    const Result r = Run("new --firmware " + std::to_string(version) + " -o \"" + Path(name).string() + "\"");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    return ReadFile(Path(name));
  }

  std::string Quoted(const std::string& name) const { return "\"" + Path(name).string() + "\""; }
};

// ---- new ----------------------------------------------------------------

TEST_F(Cli, NewWritesWhatTheDesktopSaves) {
  WriteFile(Path("v10.dat"), "an older file that is replaced");
  for (int version = 10; version <= 15; ++version) {
    const std::string name = "v" + std::to_string(version) + ".dat";
    EXPECT_EQ(New(version, name), DesktopFile(version)) << "version " << version;
  }
  // The long option with "=" and the short one do the same.
  EXPECT_EQ(Run("new --firmware=12 --output " + Quoted("a.dat")).code, 0);
  EXPECT_EQ(Run("new -f 12 -o " + Quoted("b.dat")).code, 0);
  EXPECT_EQ(ReadFile(Path("a.dat")), DesktopFile(12));
  EXPECT_EQ(ReadFile(Path("b.dat")), DesktopFile(12));
}

TEST_F(Cli, NewIntoAFolderThatDoesNotExistFailsAndLeavesNoFile) {
  const fs::path target = Path("missing") / "x.dat";
  const Result r = Run("new --firmware 15 -o \"" + target.string() + "\"");
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find(target.string()), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(target));
  EXPECT_FALSE(fs::exists(Path("missing")));
}

TEST_F(Cli, WrongUsageExitsWith2) {
  WriteFile(Path("a.dat"), DesktopFile(15));
  const std::string out = Quoted("out.dat");
  // clang-format off
  const std::vector<std::string> cases = {
      "new --firmware 9 -o " + out,  "new --firmware 16 -o " + out, "new --firmware x -o " + out,
      "new -o " + out,               "new --firmware 12",           "new --firmware 12 -o " + out + " extra",
      "",                            "frob",                        "show",
      "show --bogus " + Quoted("a.dat"), "diff " + Quoted("a.dat"), "--bogus",
  };
  // clang-format on
  for (const auto& args : cases) {
    const Result r = Run(args);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_NE(r.err, "") << args;
    EXPECT_EQ(r.out, "") << args;
  }
  EXPECT_FALSE(fs::exists(Path("out.dat")));
}

TEST_F(Cli, HelpAndVersion) {
  struct Case {
    std::string args;
    std::vector<std::string> mentions;
  };
  const std::vector<Case> cases = {
      {"--help", {"new", "show", "diff", "Exit codes"}},
      {"new --help", {"--firmware", "-o, --output"}},
      {"--help new", {"--firmware"}},
      {"show --help", {"--json", "FILE.dat"}},
      {"diff --help", {"A.dat", "B.dat"}},
      {"--version", {"9.01.6"}},
  };
  for (const auto& c : cases) {
    const Result r = Run(c.args);
    EXPECT_EQ(r.code, 0) << c.args;
    for (const auto& m : c.mentions) EXPECT_NE(r.out.find(m), std::string::npos) << c.args << ": " << m;
  }
}

// ---- show ---------------------------------------------------------------

TEST_F(Cli, ShowListsEveryItem) {
  New(13, "a.dat");
  const Result r = Run("show " + Quoted("a.dat"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // clang-format off
  for (const char* line :
       {"firmware: 13", "ObjectID:", "CenterPhone: +79168999100", "NumOfAttempts: 5", "StatusSMS: [0 0 0 0]",
        "StatusMessages: [0 0 0]", "UAInput8: 0", "Rele16: 0", "AZones: [0 0 0 0 0 0 0 0]", "Ohr: yes",
        "OhrSMS: no", "Будильник 1/time: 00:00", "Будильник 2/on: yes",
        "Будильник 2/relays: NNNNNNNNNNNNNNNN", "Вход 1/Замыкание/sms: Вход 1 Замкнут",
        "Сеть 220v /Пропадание/phones: NNNNNNNNN", "ОХРАНА /Снятие/sms: Снято с ОХРАНЫ",
        "Датчик 1/Выше MAX порога/max: 21", "АЦП 8/Ниже MIN уровня/min: -2",
        "АЦП 8/Норма/sms: АЦП 8 - НОРМА"}) {
    // clang-format on
    EXPECT_TRUE(HasLine(r.out, line)) << line;
  }
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1].rfind("checksum: ", 0), 0u);
  EXPECT_EQ(lines[2], "tree1: whole");
  EXPECT_EQ(lines[3], "tree2: whole");
  // 4 + 85 settings + 6 alarm values + (28 + 48) reactions of 3 values + 16 * 2 thresholds.
  EXPECT_EQ(lines.size(), 4u + 85u + 6u + 3u * 76u + 32u);
}

TEST_F(Cli, ShowMarksADamagedFieldWithItsOffset) {
  std::string file = DesktopFile(15);
  file[ImageOffset(file) + 5004] = 'G';
  WriteFile(Path("bad.dat"), file);
  const Result r = Run("show " + Quoted("bad.dat"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(HasLine(r.out, "Rele3: invalid (offset 5004)")) << r.out.substr(0, 2000);

  const Result json = Run("show --json " + Quoted("bad.dat"));
  EXPECT_EQ(json.code, 0);
  const std::size_t at = json.out.find("\"Rele3\": {");
  ASSERT_NE(at, std::string::npos);
  const std::string object = json.out.substr(at, json.out.find('}', at) - at);
  EXPECT_NE(object.find("\"invalid\": true"), std::string::npos) << object;
  EXPECT_NE(object.find("\"offset\": 5004"), std::string::npos) << object;
}

TEST_F(Cli, ShowJson) {
  New(12, "a.dat");
  const Result r = Run("show " + Quoted("a.dat") + " --json");
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.front(), '{');
  EXPECT_EQ(r.out.substr(r.out.size() - 2), "}\n");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '{'), std::count(r.out.begin(), r.out.end(), '}'));
  // clang-format off
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '['), std::count(r.out.begin(), r.out.end(), ']'));
  for (const char* part :
       {"\"firmware\": 12", "\"checksum\": \"", "\"settings\": {", "\"NumOfAttempts\": 5",
        "\"CenterPhone\": \"+79168999100\"", "\"Ohr\": true", "\"OhrSMS\": false", "\"Zones\": [\n",
        "\"alarms\": [", "\"time\": \"00:00\"", "\"on\": true", "\"tree1\": [", "\"tree2\": [",
        "\"name\": \"Вход 1/Замыкание\"", "\"sms\": \"Вход 1 Замкнут\"", "\"relays\": \"NNNNNNNNNNNNNNNN\"",
        "\"phones\": \"NNNNNNNNN\"", "\"max\": \"21\"", "\"min\": \"-2\"", "\"name\": \"Датчик 8/Норма\""}) {
    // clang-format on
    EXPECT_NE(r.out.find(part), std::string::npos) << part;
  }
  // Version 12 has no analogue inputs and no delays after a reaction.
  EXPECT_EQ(r.out.find("АЦП 1"), std::string::npos);
  EXPECT_EQ(r.out.find("\"UInput1\""), std::string::npos);
}

TEST_F(Cli, ShowWarnsAboutAnUnreadableTreeAndUsesDefaultNames) {
  const std::string good = DesktopFile(15);
  const SettingsFileParse parsed = ParseSettingsFile(good);
  ASSERT_TRUE(parsed.data);
  // The second line is three levels deeper than the first.
  const std::string tree1 = Utf8ToCp1251("Дверь\r\n\t\t\tслишком глубоко\r\n");
  const auto file = WriteSettingsFile(15, tree1, parsed.data->tree2, *parsed.data->image);
  ASSERT_TRUE(file);
  WriteFile(Path("tree.dat"), *file);
  const Result r = Run("show " + Quoted("tree.dat"));
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("tree 1"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("offset " + std::to_string(parsed.data->tree1Offset + 7)), std::string::npos) << r.err;
  EXPECT_TRUE(HasLine(r.out, "Вход 1/Замыкание/sms: Вход 1 Замкнут"));
  EXPECT_FALSE(HasLine(r.out, "Дверь/Замыкание/sms: Вход 1 Замкнут"));
}

// ---- diff ---------------------------------------------------------------

TEST_F(Cli, DiffOfEqualAndDifferentFiles) {
  const std::string a = New(15, "a.dat");
  New(15, "b.dat");
  Result r = Run("diff " + Quoted("a.dat") + " " + Quoted("b.dat"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");

  struct Case {
    std::size_t offset;  // in the image
    char byte;
    std::string line;
  };
  const std::vector<Case> cases = {
      {5005, '7', "Rele3: 0 -> 7"},
      {5051, '0', "Ohr: yes -> no"},
      {295, 'Z', "Вход 3/Размыкание/relays: NNNNNNNNNNNNNNNN -> ZNNNNNNNNNNNNNNN"},
      // Bytes that go to the controller although no setting shows them.
      {5057, '8', "image bytes 5057: 30 -> 38"},
      {58, '#', "image bytes 58: 2A -> 23"},
  };
  for (const auto& c : cases) {
    std::string b = a;
    b[ImageOffset(a) + c.offset] = c.byte;
    WriteFile(Path("c.dat"), b);
    r = Run("diff " + Quoted("a.dat") + " " + Quoted("c.dat"));
    EXPECT_EQ(r.code, 1) << c.line;
    EXPECT_EQ(r.out, c.line + "\n");
  }
}

TEST_F(Cli, DiffOfTwoVersions) {
  New(12, "a.dat");
  New(13, "b.dat");
  const Result r = Run("diff " + Quoted("a.dat") + " " + Quoted("b.dat"));
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(HasLine(r.out, "firmware: 12 -> 13"));
  EXPECT_TRUE(HasLine(r.out, "UInput1: (absent) -> 0"));
  EXPECT_TRUE(HasLine(r.out, "АЦП 1/Норма/sms: (absent) -> АЦП 1 - НОРМА"));
}

// ---- Files that cannot be read --------------------------------------------

TEST_F(Cli, UnreadableFilesExitWith3AndSayWhere) {
  const std::string file = DesktopFile(15);
  WriteFile(Path("truncated.dat"), file.substr(0, file.size() - 100));
  WriteFile(Path("text.dat"), "not a settings file");
  WriteFile(Path("noimage.dat"), file.substr(0, ImageOffset(file) - 5) + "x    ");
  WriteFile(Path("good.dat"), file);
  struct Case {
    std::string args;
    std::string name;  // the file named in the message
    std::size_t offset;
  };
  const std::vector<Case> cases = {
      {"show " + Quoted("truncated.dat"), "truncated.dat", ImageOffset(file)},
      {"show --json " + Quoted("truncated.dat"), "truncated.dat", ImageOffset(file)},
      {"show " + Quoted("text.dat"), "text.dat", 0},
      {"show " + Quoted("noimage.dat"), "noimage.dat", ImageOffset(file) - 5},
      {"diff " + Quoted("good.dat") + " " + Quoted("truncated.dat"), "truncated.dat", ImageOffset(file)},
  };
  for (const auto& c : cases) {
    const Result r = Run(c.args);
    EXPECT_EQ(r.code, 3) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_NE(r.err.find(Path(c.name).string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("offset " + std::to_string(c.offset)), std::string::npos) << r.err;
  }
  for (const std::string& args :
       {"show " + Quoted("none.dat"), "diff " + Quoted("none.dat") + " " + Quoted("good.dat"), "show " + Quoted("")}) {
    const Result r = Run(args);
    EXPECT_EQ(r.code, 3) << args;
    EXPECT_NE(r.err, "") << args;
  }
}

}  // namespace
}  // namespace vemtaro
