// vemtaro-cli given what a hostile or unlucky user gives it: devices, FIFOs
// and huge files instead of settings files, file names that are not UTF-8,
// files whose trees are missing or cut short or hold escape sequences,
// outputs that are devices, full or limited in size.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "model/cp1251.h"
#include "program_testing.h"

namespace vemtaro {
namespace {

using namespace program_testing;

// Ends a command that would otherwise never end (reading a FIFO nobody
// writes); the test then fails on its exit code 124.
std::string Bounded(const std::string& command) { return "timeout -s KILL 60 " + command; }

SettingsFileData Parsed(const std::string& file) {
  const SettingsFileParse parsed = ParseSettingsFile(file);
  EXPECT_TRUE(parsed.data);
  return parsed.data.value_or(SettingsFileData{});
}

// The file with other tree texts.
std::string WithTrees(const std::string& file, const std::string& tree1, const std::string& tree2) {
  const SettingsFileData d = Parsed(file);
  return WriteSettingsFile(d.version, tree1, tree2, d.image.value_or(Bytes())).value_or("");
}

class CliHostile : public CliFolder {};

// ---- files in ----------------------------------------------------------------

// Nothing but a regular file of at most 1 MiB is read, by every command that
// reads a file; the rest is refused with the file named and exit 3, at once.
TEST_F(CliHostile, OnlyRegularFilesUpToTheLimitAreRead) {
  New(15, "a.dat");
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  // A sparse file far past the limit, and one a byte past it.
  ASSERT_EQ(Shell("truncate -s 5G huge.dat && truncate -s 1048577 over.dat").code, 0);
  fs::create_directories(Path("folder.dat"));
  struct Input {
    std::string path;
    std::string says;
  };
  const std::vector<Input> inputs = {
      {"/dev/zero", "not a regular file"},
      {Path("fifo").string(), "not a regular file"},
      {Path("huge.dat").string(), "too large"},
      {Path("over.dat").string(), "too large"},
      {Path("folder.dat").string(), "is a directory"},
  };
  const std::string good = Path("a.dat").string();
  for (const Input& in : inputs) {
    const std::vector<std::vector<std::string>> commands = {
        {"show", in.path},
        {"show", "--json", in.path},
        {"diff", good, in.path},
        {"diff", in.path, good},
        {"set", in.path, "ObjectID=X"},
        {"set", good, "--lines", in.path, "-o", Path("out.dat").string()},
        {"write", in.path, "--port", "/nonexistent/port"},
        {"ids", "--into", in.path, "--port", "/nonexistent/port"},
    };
    for (const auto& args : commands) {
      const Result r = Shell(Bounded(Command(args)));
      const std::string what = args[0] + " " + in.path;
      EXPECT_EQ(r.code, 3) << what << ": " << r.err;
      EXPECT_TRUE(Contains(r.err, in.path + ": cannot read the file: ")) << what << ": " << r.err;
      EXPECT_TRUE(Contains(r.err, in.says)) << what << ": " << r.err;
      EXPECT_EQ(r.out, "") << what;
    }
  }
  EXPECT_FALSE(fs::exists(Path("out.dat")));
  EXPECT_EQ(fs::status(Path("fifo")).type(), fs::file_type::fifo);
  // A list of settings on the standard input is bounded the same way.
  const Result r = Shell(Bounded("head -c 1100000 /dev/zero | tr '\\0' '#' | " +
                                 Command({"set", good, "--lines", "-", "-o", Path("out.dat").string()})));
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_TRUE(Contains(r.err, "standard input")) << r.err;
  EXPECT_FALSE(fs::exists(Path("out.dat")));
}

// File names are the system's bytes: a Windows-1251 name from an old archive
// is read and written under exactly that name, whatever the locale says; a
// message shows the bytes that are not UTF-8 escaped.
TEST_F(CliHostile, FileNamesThatAreNotUtf8) {
  const std::string cp1251 = Utf8ToCp1251("объект") + ".dat";  // not UTF-8
  const std::string written = Utf8ToCp1251("новый") + ".dat";
  const std::string original = New(15, cp1251);
  ASSERT_EQ(original, DesktopFile(15));
  for (const char* locale : {"C.UTF-8", "C"}) {
    SCOPED_TRACE(locale);
    const std::string env = std::string("LC_ALL=") + locale + " LANG=" + locale + " ";
    Result r = Shell(env + Command({"show", cp1251}));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(HasLine(r.out, "firmware: 15"));
    r = Shell(env + Command({"set", cp1251, "ObjectID=X1", "-o", written}));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(HasLine(Show(written), "ObjectID: X1"));
    r = Shell(env + Command({"diff", cp1251, written}));
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out, "ObjectID:  -> X1\n");
    fs::remove(Path(written));
    // A name that does not exist is named in the message, its other bytes escaped.
    r = Shell(env + Command({"show", "\xEE" + cp1251}));
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "\\xEE\\xE1\\xFA")) << r.err;
    EXPECT_TRUE(Contains(r.err, "No such file or directory")) << r.err;
  }
  EXPECT_EQ(ReadFile(Path(cp1251)), original);
  // Nothing was written under another name.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {cp1251, "stderr.txt", "stdout.txt"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

// The listing shows what the file's trees hold: a missing or short tree, a
// tree text cut short by a zero byte, an unreadable one; diff tells them apart
// from a whole tree; set rewrites no file whose trees it could not read whole.
TEST_F(CliHostile, MissingShortAndCutTreesAreSaid) {
  const std::string file = New(15, "a.dat");
  const SettingsFileData d = Parsed(file);
  const std::string firstLine = d.tree1.substr(0, d.tree1.find("\r\n") + 2);
  const std::size_t zeroAt = d.tree1.find("\r\n", firstLine.size()) + 2;
  std::string cut = d.tree1;
  cut.insert(zeroAt, 1, '\0');
  struct Case {
    const char* name;
    std::string tree1;               // its text, in Windows-1251
    std::string state;               // the line "tree1: ..."
    std::vector<std::string> lines;  // more lines of the listing
    bool setRefuses;
  };
  const std::vector<Case> cases = {
      {"empty", "", "tree1: empty", {"[1]/[1]/relays: NNNNNNNNNNNNNNNN", "[15]/time: 00:00"}, false},
      {"one source",
       firstLine,
       "tree1: short: 30 reactions have no node",
       {"Вход 1/[1]/relays: NNNNNNNNNNNNNNNN", "[2]/[2]/sms: Вход 2 Разомкнут"},
       false},
      {"cut at a zero byte",
       cut,
       "tree1: short: 29 reactions have no node; cut at a zero byte at offset " +
           std::to_string(d.tree1Offset + zeroAt) + ", " + std::to_string(d.tree1.size() - zeroAt) +
           " bytes after it not read",
       {},
       true},
      {"unreadable",
       Utf8ToCp1251("Дверь\r\n\t\t\tглубоко\r\n"),
       "tree1: unreadable at line 2 (offset " + std::to_string(d.tree1Offset + 7) + "): the default tree is used",
       {"Вход 1/Замыкание/relays: NNNNNNNNNNNNNNNN"},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(Path("t.dat"), WithTrees(file, c.tree1, d.tree2));
    Result r = Run({"show", "t.dat"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(HasLine(r.out, c.state)) << r.out.substr(0, 200);
    EXPECT_TRUE(HasLine(r.out, "tree2: whole"));
    for (const auto& line : c.lines) EXPECT_TRUE(HasLine(r.out, line)) << line;
    r = Run({"diff", "a.dat", "t.dat"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_TRUE(HasLine(r.out, "tree1: whole -> " + c.state.substr(7))) << r.out.substr(0, 300);
    const std::string before = ReadFile(Path("t.dat"));
    r = Run({"set", "t.dat", "ObjectID=X"});
    if (c.setRefuses) {
      EXPECT_EQ(r.code, 3) << r.err;
      EXPECT_TRUE(Contains(r.err, "t.dat: ")) << r.err;
      EXPECT_TRUE(Contains(r.err, "nothing was written")) << r.err;
      EXPECT_EQ(ReadFile(Path("t.dat")), before);
    } else {
      EXPECT_EQ(r.code, 0) << r.err;
      EXPECT_TRUE(HasLine(Show("t.dat"), c.state));
    }
  }
  // A listing with its tree lines is taken back by set.
  Result r = Shell(Command({"show", "a.dat"}) + " | " + Command({"set", "a.dat", "--lines", "-", "-o", "b.dat"}));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(Path("b.dat")), file);
}

// Node names and texts of a file are printed with their control characters
// escaped: an escape sequence inside a file never reaches the terminal.
TEST_F(CliHostile, ControlCharactersInTheFileAreEscaped) {
  const std::string file = New(15, "a.dat");
  const SettingsFileData d = Parsed(file);
  std::string tree1 = d.tree1;
  tree1.replace(0, tree1.find("\r\n"), "\x1B]0;title\x07\x1B[2J\xD2\x9B");
  WriteFile(Path("esc.dat"), WithTrees(file, tree1, d.tree2));
  for (const auto& args : std::vector<std::vector<std::string>>{{"show", "esc.dat"}, {"diff", "a.dat", "esc.dat"}}) {
    const Result r = Run(args);
    EXPECT_LE(r.code, 1) << r.err;
    EXPECT_TRUE(Contains(r.out, "\\x1B]0;title\\x07\\x1B[2J")) << r.out.substr(0, 300);
    for (const char c : r.out) {
      const auto u = static_cast<unsigned char>(c);
      EXPECT_TRUE(u >= 0x20 || c == '\n' || c == '\t') << "control character " << int(u);
    }
    // Windows-1251 0x9B is no C1 control, but the sign "›"; kept as it is.
    EXPECT_TRUE(Contains(r.out, "Т›")) << args[0];
  }
}

// ---- files out ---------------------------------------------------------------

// An output that exists but is not a regular file is refused and left as it
// is; "-" writes the settings file to the standard output.
TEST_F(CliHostile, DevicesAndFifosAreNeverReplaced) {
  const std::string file = New(15, "a.dat");
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  std::vector<std::string> targets = {Path("fifo").string()};
  // Devices of the test's own, like /dev/null and /dev/full, where it may make
  // them (root): a program that replaced them would leave the system's alone.
  for (const auto& [name, minor] : {std::pair<const char*, unsigned>{"null", 3}, {"full", 7}}) {
    if (::mknod(Path(name).c_str(), S_IFCHR | 0666, ::makedev(1, minor)) == 0) targets.push_back(Path(name).string());
  }
  for (const auto& target : targets) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"set", "a.dat", "ObjectID=X", "-o", target},
             {"new", "--firmware", "12", "-o", target},
             {"read", "--port", "/nonexistent/port", "-o", target},
             {"write", "a.dat", "--port", "/nonexistent/port", "--backup", target},
         }) {
      const Result r = Shell(Bounded(Command(args)));
      EXPECT_EQ(r.code, 3) << args[0] << " " << target << ": " << r.err;
      EXPECT_TRUE(Contains(r.err, target + ": ")) << r.err;
    }
  }
  EXPECT_EQ(fs::status(Path("fifo")).type(), fs::file_type::fifo);
  for (const auto& target : targets) {
    EXPECT_NE(fs::status(target).type(), fs::file_type::regular) << target;
  }
  const Result r = Shell(Command({"set", "a.dat", "ObjectID=X", "-o", "-"}) + " | cat > piped.dat");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(HasLine(Show("piped.dat"), "ObjectID: X"));
  EXPECT_EQ(ReadFile(Path("a.dat")), file);
}

// A symbolic link that another user planted in a shared folder (as /tmp is)
// is never written through: every command that writes a file refuses it,
// naming it, with exit 3; the user's own link keeps working. The other user's
// link is made by root.
TEST_F(CliHostile, ALinkPlantedByAnotherUserIsNotWrittenThrough) {
  if (::geteuid() != 0) GTEST_SKIP() << "another user's link is made by root only";
  New(15, "a.dat");
  WriteFile(Path("secret"), "the secret");
  fs::create_directory(Path("shared"));
  ASSERT_EQ(::chmod(Path("shared").c_str(), 01777), 0);
  const std::string planted = Path("shared/site.dat").string();
  fs::create_symlink(Path("secret"), planted);
  ASSERT_EQ(::lchown(planted.c_str(), 65534, 65534), 0);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"new", "--firmware", "15", "-o", planted},
           {"set", "a.dat", "ObjectID=X", "-o", planted},
           {"read", "--port", "/nonexistent/port", "-o", planted},
       }) {
    const Result r = Shell(Bounded(Command(args)));
    EXPECT_EQ(r.code, 3) << args[0] << ": " << r.err;
    EXPECT_TRUE(Contains(r.err, "the symbolic link " + planted + " belongs to another user")) << r.err;
  }
  EXPECT_EQ(ReadFile(Path("secret")), "the secret");
  EXPECT_EQ(std::distance(fs::directory_iterator(Path("shared")), fs::directory_iterator()), 1) << "nothing beside it";

  ASSERT_EQ(::lchown(planted.c_str(), 0, 0), 0);
  const Result r = Shell(Command({"new", "--firmware", "15", "-o", planted}));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(Path("secret")), ReadFile(Path("a.dat")));
  EXPECT_TRUE(fs::is_symlink(planted));
}

// A file that ids --into would rewrite must have opened without errors: one
// with an unreadable tree is refused before the port is opened.
TEST_F(CliHostile, IdsIntoAFileThatOpensWithErrorsIsRefusedFirst) {
  const std::string file = New(15, "a.dat");
  const SettingsFileData d = Parsed(file);
  const std::string damaged = WithTrees(file, d.tree1, Utf8ToCp1251("Датчик\r\n\t\t\tглубоко\r\n"));
  WriteFile(Path("t.dat"), damaged);
  const Result r = Run({"ids", "--into", "t.dat", "--port", "/nonexistent/port"});
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_TRUE(Contains(r.err, "t.dat: Ошибка данных\nКод ошибки: 102")) << r.err;
  EXPECT_TRUE(Contains(r.err, "t.dat: the file opened with errors")) << r.err;
  EXPECT_FALSE(Contains(r.err, "/nonexistent/port")) << r.err;
  EXPECT_EQ(ReadFile(Path("t.dat")), damaged);
}

// Output that cannot be written fails the command with exit 3 and the
// system's reason, whatever the command.
TEST_F(CliHostile, OutputThatCannotBeWrittenExits3) {
  New(15, "a.dat");
  New(12, "b.dat");
  for (const auto& args : std::vector<std::vector<std::string>>{{"show", "a.dat"},
                                                                {"show", "--json", "a.dat"},
                                                                {"diff", "a.dat", "b.dat"},
                                                                {"--help"},
                                                                {"new", "--firmware", "15", "-o", "-"},
                                                                {"set", "a.dat", "ObjectID=1", "-o", "-"}}) {
    const Result r = Shell(Command(args) + " >/dev/full");
    EXPECT_EQ(r.code, 3) << args[0];
    EXPECT_TRUE(Contains(r.err, "standard output: No space left on device")) << args[0] << ": " << r.err;
  }
  // A standard output closed from the start takes nothing and fails nothing.
  EXPECT_EQ(Shell(Command({"new", "--firmware", "15", "-o", "c.dat"}) + " >&-").code, 0);
}

// A file past the file size limit fails with the system's reason instead of
// killing the program; names tell what was tried.
TEST_F(CliHostile, MessagesSayWhatHappened) {
  const std::string file = New(15, "a.dat");
  Result r = Shell("ulimit -f 8 && " + Command({"set", "a.dat", "ObjectID=X", "-o", "big.dat"}));
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_TRUE(Contains(r.err, "big.dat")) << r.err;
  EXPECT_TRUE(Contains(r.err, "File too large")) << r.err;
  EXPECT_FALSE(fs::exists(Path("big.dat")));
  r = Shell("ulimit -f 8 && " + Command({"set", "a.dat", "ObjectID=X"}));
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_EQ(ReadFile(Path("a.dat")), file);

  r = Run({"show", ""});
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.err, "vemtaro-cli: '': cannot read the file: no file name was given\n");

  // A port named without its folder is the system's port of that name.
  r = Run({"read", "--port", "vemtaro-no-such-port", "-o", "x.dat"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "/dev/vemtaro-no-such-port: ")) << r.err;
  EXPECT_EQ(r.err.rfind("vemtaro-cli: /dev/vemtaro-no-such-port: ", 0), 0u) << r.err;
}

// The output of read is checked before the port is opened.
TEST_F(CliHostile, ReadChecksItsOutputFirst) {
  for (const std::string& out : {std::string("missing/x.dat"), std::string("")}) {
    const Result r = Run({"read", "--port", "/nonexistent/port", "-o", out});
    EXPECT_GE(r.code, 2) << out;
    EXPECT_FALSE(Contains(r.err, "/nonexistent/port")) << r.err;
  }
  const Result r = Run({"read", "--port", "/nonexistent/port", "-o", "missing/x.dat"});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(Contains(r.err, "missing/x.dat: cannot write the file: ")) << r.err;
}

}  // namespace
}  // namespace vemtaro

#endif
