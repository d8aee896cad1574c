// Runs the built vemtaro-cli set on files in a temporary folder, and the
// provisioning example of docs/provisioning.md as it is written there.
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
#include "model/layout.h"
#include "model/profiles.h"
#include "program_testing.h"
#include "scripted_dialogs.h"
#include "trees/tree_commands.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {

namespace fs = std::filesystem;
namespace L = layout;
using namespace program_testing;

// A configuration edited in the desktop program's pages and trees, through
// their handlers and commands, as a user would edit it; the bytes of its file.
std::string DesktopEditedFile(int version) {
  testing::ScriptedDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  m.ApplyProfile(version);
  Pages& p = m.pages;
  p.ObjectID.text = "0042";
  p.ObjectIDExit();
  p.PasswordEdit.text = "secret";
  p.PasswordEditExit();
  p.AbonentNo[0].text = "+79160001122";
  p.AbonentNoExit(1);
  p.AbonentNo[2].text = "8 800 555";
  p.AbonentNoExit(3);
  p.ChooseOperator(6);
  p.SetSpinValue({SpinRow::NumOfAttempts, 1}, 3);
  p.SetSpinValue({SpinRow::Input, 2}, 40);
  p.SetSpinValue({SpinRow::Rele, 16}, 255);
  p.SetSpinValue({SpinRow::Vihod, 1}, 9);
  p.SetItemChecked(p.StatusSMS, 1, true);
  // The kinds of status message can be changed from version 11 on.
  if (version >= 11) p.SetItemChecked(p.StatusMessages, 1, true);
  if (version >= 13) {
    p.SetSpinValue({SpinRow::UInput, 3}, 7);
    p.SetSpinValue({SpinRow::AInput, 8}, 1);
    p.SetItemChecked(p.AZones, 0, true);
  }
  p.ID[1].text = "0123456789ABCDEF";
  p.IDExit(2);
  if (version == 10) {
    p.ID[15].text = "FEDCBA9876543210";
    p.IDExit(16);
  }
  p.MasterKey.text = "00000000000000AA";
  p.MasterKeyExit();
  p.SetItemChecked(p.Zones, 2, true);
  p.SetOhrSmsChecked(true);
  p.SetOhrIndex(1);  // guard mode forbidden: the arming delay returns to 0

  TreeCommands& c = m.commands;
  const SubscriberEdits edits = m.AbonentEdits();
  auto menu = [&](bool tree1, TreeNode* node, const char* item) {
    if (tree1) {
      c.Tree1MouseDown(node, MouseButton::Right, false, edits);
    } else {
      c.Tree2MouseDown(node, MouseButton::Right, false, edits);
    }
    c.Click(item, {node});
    c.PopupClosed();
  };
  auto entry = [&](bool tree1, TreeNode* node, const std::string& text) {
    dialogs.inputs.push_back(text);
    if (tree1) {
      c.Tree1MouseDown(node, MouseButton::Left, true, edits);
    } else {
      c.Tree2MouseDown(node, MouseButton::Left, true, edits);
    }
  };
  menu(true, m.Tree1.top(0)->child(1)->child(0)->child(2), "N2");   // Вход 1/Размыкание, relay 3 on
  menu(true, m.Tree1.top(8)->child(1)->child(1)->child(0), "N31");  // Сеть 220v /Пропадание, slot 1
  menu(true, m.Tree1.top(8)->child(1)->child(1)->child(4), "N11");  // slot 5
  entry(true, m.Tree1.top(8)->child(1)->child(2)->child(0), "Нет сети");
  menu(true, m.Tree1.top(13)->child(0)->child(0)->child(0), "N3");  // КЛЮЧ Touch Memory/КАСАНИЕ, relay 1 off
  menu(false, m.Tree2.top(0)->child(1)->child(0)->child(15), "N2");
  entry(false, m.Tree2.top(1)->child(2)->child(0), "-5");
  entry(false, m.Tree2.top(1)->child(0)->child(0), " ");
  entry(false, m.Tree2.top(2)->child(1)->child(2)->child(0), "");
  TreeNode* time = m.Tree1.top(15)->child(0);
  menu(true, time, "N17");
  c.Form4.RzDateTimeEdit1 = "6:45";
  c.Form4.Button1Click();
  menu(true, m.Tree1.top(14), "N18");
  menu(true, m.Tree1.top(14)->child(0)->child(0)->child(0), "N3");
  EXPECT_TRUE(dialogs.shown.empty());
  return m.SettingsFileBytes().value_or(std::string());
}

class CliSet : public CliFolder {};

// ---- Changing files --------------------------------------------------------

TEST_F(CliSet, ChangesTheFileInPlaceOrWritesOutputAndLeavesTheInput) {
  const std::string fresh = New(15, "a.dat");
  Result r =
      Run({"set", Path("a.dat").string(), "Input1=5", "Вход 1/Замыкание/Реле/3=Z", "-o", Path("b.dat").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFile(Path("a.dat")), fresh);
  const std::string shown = Show("b.dat");
  EXPECT_TRUE(HasLine(shown, "Input1: 5"));
  EXPECT_TRUE(HasLine(shown, "Вход 1/Замыкание/relays: NNZNNNNNNNNNNNNN"));

  r = Run({"set", Path("a.dat").string(), "AbonentNo1: +7 916", "ObjectID=A1"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(HasLine(Show("a.dat"), "AbonentNo1: +7 916"));
  EXPECT_TRUE(HasLine(Show("a.dat"), "ObjectID: A1"));
}

TEST_F(CliSet, ShowLinesGivenBackToSetRebuildTheSameFile) {
  for (int version = kMinFirmware; version <= kMaxFirmware; ++version) {
    SCOPED_TRACE(version);
    const std::string edited = DesktopEditedFile(version);
    WriteFile(Path("edited.dat"), edited);
    const std::string listing = Show("edited.dat");
    ASSERT_NE(listing, "");
    // As arguments, the lines just as show prints them.
    New(version, "fresh.dat");
    std::vector<std::string> args = {"set", Path("fresh.dat").string()};
    for (const auto& line : Lines(listing)) args.push_back(line);
    Result r = Run(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadFile(Path("fresh.dat")), edited);
    // From a file of lines, into another file.
    const std::string fresh = New(version, "fresh2.dat");
    WriteFile(Path("listing.txt"), listing);
    r = Run(
        {"set", Path("fresh2.dat").string(), "--lines", Path("listing.txt").string(), "-o", Path("copy.dat").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadFile(Path("copy.dat")), edited);
    EXPECT_EQ(ReadFile(Path("fresh2.dat")), fresh);
  }
}

TEST_F(CliSet, LinesFromTheStandardInputWithCommentsAndBlankLines) {
  New(14, "a.dat");
  WriteFile(Path("lines.txt"), "# site 7\r\nObjectID=SITE7\r\n\r\nZones: [1 1 0 0 0 0 0 0]\r\n");
  const Result r = Shell(Sh(VEMTARO_CLI_PATH) + " set a.dat --lines - Input8=1 < lines.txt");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string shown = Show("a.dat");
  EXPECT_TRUE(HasLine(shown, "ObjectID: SITE7"));
  EXPECT_TRUE(HasLine(shown, "Zones: [1 1 0 0 0 0 0 0]"));
  EXPECT_TRUE(HasLine(shown, "Input8: 1"));
}

TEST_F(CliSet, AWarningDoesNotStopTheChange) {
  New(15, "a.dat");
  ASSERT_EQ(Run({"set", Path("a.dat").string(), "PasswordEdit=1234"}).code, 0);
  const Result r = Run({"set", Path("a.dat").string(), "PasswordEdit=", "Input1=2"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("warning: PasswordEdit: an empty password leaves the stored password"), std::string::npos)
      << r.err;
  EXPECT_TRUE(HasLine(Show("a.dat"), "PasswordEdit: 1234"));
  EXPECT_TRUE(HasLine(Show("a.dat"), "Input1: 2"));
}

// ---- Refusals --------------------------------------------------------------

TEST_F(CliSet, ARefusedValueExits3WithTheMessageAndWritesNothing) {
  const std::string v15 = New(15, "v15.dat");
  New(12, "v12.dat");
  // A damaged alarm digit, whose error has two lines.
  std::string damaged = v15;
  damaged[ImageOffset(damaged) + L::kAlarmFlags] = 'x';
  WriteFile(Path("damaged.dat"), damaged);
  struct Case {
    std::string file;
    std::vector<std::string> assignments;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"v15.dat", {"Input1=5", "AbonentNo3=12a"}, "v15.dat: AbonentNo3: Неправильно набран номер\n"},
      {"v15.dat", {"ID3=0123456789abcdef"}, ": ID3: Значение неверно\n"},
      {"v15.dat", {"ID3=0123"}, ": ID3: Количество символов должно быть равно 16\n"},
      {"v15.dat",
       {"Датчик 1/Выше MAX порога/max=1x"},
       ": Датчик 1/Выше MAX порога/max: Можно использовать только цифры и символы \".\", \"-\"\n"},
      {"v15.dat", {"NumOfAttempts=many"}, ": NumOfAttempts: 'many' is not a whole number\n"},
      {"v15.dat",
       {"ObjectID=A*B"},
       ": ObjectID: cannot hold '*': a text field is filled with '*' after its text, so a '*' in the text would be "
       "stored but read back without it\n"},
      {"v15.dat", {"Вход 1/Замыкание/phones=1NNNNNNNN"}, "AbonentNo1) is empty"},
      {"v15.dat", {"ID9=0123456789ABCDEF"}, "shown only under firmware version 10"},
      {"v15.dat", {"firmware=12"}, ": firmware: the configuration is for firmware version 15"},
      {"v15.dat", {"Ohr=no", "Vihod=4"}, ": Vihod: cannot be changed while guard mode is forbidden (Ohr: no)\n"},
      {"v12.dat", {"UInput1=5"}, ": UInput1: cannot be changed: the delays after a reaction exist from"},
      {"v12.dat", {"AZones=[1 0 0 0 0 0 0 0]"}, "analogue zones exist from firmware version 13"},
      {"damaged.dat",
       {"Будильник 1/on=no"},
       ": Будильник 1/on: Ошибка данных\nНедопустимое значение признака включения будильников\n"},
  };
  for (const auto& c : cases) {
    const std::string before = ReadFile(Path(c.file));
    std::vector<std::string> args = {"set", Path(c.file).string()};
    args.insert(args.end(), c.assignments.begin(), c.assignments.end());
    Result r = Run(args);
    EXPECT_EQ(r.code, 3) << c.assignments.back() << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(Path(c.file)), before) << c.assignments.back();
    args.push_back("-o");
    args.push_back(Path("out.dat").string());
    r = Run(args);
    EXPECT_EQ(r.code, 3) << c.assignments.back();
    EXPECT_FALSE(fs::exists(Path("out.dat"))) << c.assignments.back();
  }
}

TEST_F(CliSet, WrongUsageExits2AndUnreadableFilesExit3) {
  const std::string fresh = New(15, "a.dat");
  const std::string a = Path("a.dat").string();
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"set"}, 2, "FILE.dat is missing"},
      {{"set", a}, 2, "no NAME=VALUE"},
      {{"set", a, "Foo=1"}, 2, "unknown setting 'Foo'"},
      {{"set", a, "Input1=1", "Вход 1/Замыкание/Реле/17=Z"}, 2, "'Вход 1/Замыкание/Реле/17'"},
      {{"set", a, "just text"}, 2, "'just text' is not NAME=VALUE"},
      {{"set", a, "Input1=1", "--bogus"}, 2, "bogus"},
      {{"set", a, "--lines", Path("missing.txt").string()}, 3, "cannot read"},
      {{"set", Path("missing.dat").string(), "Input1=1"}, 3, "cannot read"},
      {{"set", Path("garbled.dat").string(), "Input1=1"}, 3, "not a readable settings file"},
      {{"set", Path("v9.dat").string(), "Input1=1"}, 3, "does not support"},
      // The desktop program would put the default tree in place of one it
      // cannot read; saving that would lose the file's tree.
      {{"set", Path("tree.dat").string(), "Input1=1"}, 3, "opened with errors; nothing was written"},
  };
  WriteFile(Path("garbled.dat"), "V15*12");
  std::string v9 = fresh;
  v9.replace(0, 4, "V9*");
  WriteFile(Path("v9.dat"), v9);
  // A line of the first tree text three levels deep, the file's lengths kept.
  std::string tree = fresh;
  const std::string line = "\t" + Utf8ToCp1251("Замыкание");
  const std::size_t at = tree.find(line);
  ASSERT_NE(at, std::string::npos);
  tree.replace(at, line.size(), "\t\t\t" + Utf8ToCp1251("Замыкан"));
  WriteFile(Path("tree.dat"), tree);
  for (const auto& c : cases) {
    const Result r = Run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args.back() << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(ReadFile(Path("a.dat")), fresh);
  EXPECT_EQ(ReadFile(Path("tree.dat")), tree);
}

TEST_F(CliSet, Help) {
  Result r = Run({"set", "--help"});
  EXPECT_EQ(r.code, 0);
  for (const char* mention : {"NAME=VALUE", "-o, --output", "--lines", "Реле/K", "Exit codes"}) {
    EXPECT_NE(r.out.find(mention), std::string::npos) << mention;
  }
  r = Run({"--help"});
  EXPECT_NE(r.out.find("set   FILE.dat NAME=VALUE"), std::string::npos);
}

// ---- The provisioning example -------------------------------------------------

// The fenced blocks of a Markdown text with their language.
struct Block {
  std::string language;
  std::string text;
};
std::vector<Block> FencedBlocks(const std::string& markdown) {
  std::vector<Block> blocks;
  std::optional<Block> open;
  for (const auto& line : Lines(markdown)) {
    if (line.rfind("```", 0) == 0) {
      if (open) {
        blocks.push_back(*open);
        open.reset();
      } else {
        open = Block{line.substr(3), {}};
      }
    } else if (open) {
      open->text += line + "\n";
    }
  }
  return blocks;
}

#ifndef _WIN32
TEST_F(CliSet, TheProvisioningExampleWorksAsWritten) {
  const fs::path doc = fs::path(__FILE__).parent_path().parent_path().parent_path() / "docs" / "provisioning.md";
  const std::vector<Block> blocks = FencedBlocks(ReadFile(doc));
  std::string templateScript;
  std::string sites;
  std::string provision;
  for (const auto& b : blocks) {
    if (b.language == "sh" && b.text.rfind("#!/bin/sh", 0) == 0) provision = b.text;
    if (b.language == "sh" && templateScript.empty() && b.text.find("template.dat") != std::string::npos) {
      templateScript = b.text;
    }
    if (b.language == "csv") sites = b.text;
  }
  ASSERT_NE(templateScript, "") << doc;
  ASSERT_NE(sites, "");
  ASSERT_NE(provision, "");
  WriteFile(Path("template.sh"), templateScript);
  WriteFile(Path("provision.sh"), provision);
  // The write step is left out: a vemtaro-cli first in PATH records what
  // would be written and runs everything else with the real program.
  fs::create_directories(Path("bin"));
  WriteFile(Path("bin/vemtaro-cli"),
            "#!/bin/sh\n"
            "if [ \"$1\" = write ]; then echo \"$*\" >> " +
                Sh(Path("writes.log").string()) +
                "; exit 0; fi\n"
                "exec " +
                Sh(VEMTARO_CLI_PATH) + " \"$@\"\n");
  fs::permissions(Path("bin/vemtaro-cli"), fs::perms::owner_all);
  const std::string path = "PATH=" + Sh(Path("bin").string()) + ":\"$PATH\"";

  Result r = Shell(path + " sh template.sh");
  ASSERT_EQ(r.code, 0) << r.err;
  // The list as a spreadsheet saves it: CR LF, no line end after the last line.
  std::string crlf;
  for (const auto& line : Lines(sites)) crlf += (crlf.empty() ? "" : "\r\n") + line;
  WriteFile(Path("sites.csv"), crlf);
  r = Shell(path + " sh provision.sh sites.csv");
  ASSERT_EQ(r.code, 0) << r.err;

  const std::vector<std::string> siteLines = Lines(sites);
  ASSERT_EQ(siteLines.size(), 3u);
  std::string expectedWrites;
  for (std::size_t i = 1; i < siteLines.size(); ++i) {
    std::vector<std::string> fields;
    std::istringstream row(siteLines[i]);
    for (std::string f; std::getline(row, f, ',');) fields.push_back(f);
    ASSERT_EQ(fields.size(), 4u);
    const std::string file = "out/" + fields[0] + ".dat";
    const std::string shown = Show(file);
    EXPECT_TRUE(HasLine(shown, "ObjectID: " + fields[0])) << file;
    EXPECT_TRUE(HasLine(shown, "AbonentNo1: " + fields[2])) << file;
    EXPECT_TRUE(HasLine(shown, "AbonentNo2: " + fields[3])) << file;
    EXPECT_TRUE(HasLine(shown, "Вход 1/Размыкание/phones: 12NNNNNNN")) << file;
    EXPECT_TRUE(HasLine(shown, "Вход 1/Размыкание/relays: ZNNNNNNNNNNNNNNN")) << file;
    EXPECT_TRUE(HasLine(shown, "Сеть 220v /Пропадание/sms: Нет сети 220В")) << file;
    EXPECT_TRUE(HasLine(shown, "CenterPhone: +79262909090")) << file;
    expectedWrites += "write " + file + " --port " + fields[1] + "\n";
  }
  EXPECT_EQ(ReadFile(Path("writes.log")), expectedWrites);

  // A site with a wrong number stops the loop before its file is made or sent.
  fs::remove(Path("writes.log"));
  WriteFile(Path("bad.csv"),
            "object,port,dispatcher,owner\nS1,/dev/ttyUSB0,+7916,+7917\nS2,/dev/ttyUSB1,+7916,call me\n"
            "S3,/dev/ttyUSB2,+7916,+7918\n");
  r = Shell(path + " sh provision.sh bad.csv");
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("AbonentNo2: Неправильно набран номер"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(Path("out/S1.dat")));
  EXPECT_FALSE(fs::exists(Path("out/S2.dat")));
  EXPECT_FALSE(fs::exists(Path("out/S3.dat")));
  EXPECT_EQ(ReadFile(Path("writes.log")), "write out/S1.dat --port /dev/ttyUSB0\n");

  // An identifier that would name a file outside out/ stops the loop too.
  const std::string evil = "vemtaro-provisioning-" + dir_.filename().string();
  for (const std::string& object : {"../../" + evil, "../" + evil, "." + evil, std::string("")}) {
    fs::remove(Path("writes.log"));
    WriteFile(Path("evil.csv"), "object,port,dispatcher,owner\n" + object + ",/dev/ttyUSB0,+7916,+7917\n");
    r = Shell(path + " sh provision.sh evil.csv");
    EXPECT_NE(r.code, 0) << object;
    EXPECT_TRUE(Contains(r.err, "not usable as a file name")) << r.err;
    EXPECT_FALSE(fs::exists(Path("writes.log"))) << object;
  }
  for (const fs::path& folder : {dir_, dir_.parent_path(), dir_ / "out"}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      EXPECT_EQ(entry.path().filename().string().find(evil), std::string::npos) << entry.path();
    }
  }
}
#endif

}  // namespace
}  // namespace vemtaro
