// Settings files on a real disk, under faults. A save that cannot be completed
// (a read-only folder or file, the file size limit, a full disk, the process
// killed in the middle of it) leaves the file that was there whole and reports
// the failure; a damaged or unreadable file that is opened leaves the
// configuration in use exactly as it was.
//
// The faults that need a process of their own (privileges given up, a lowered
// file size limit, a private mount, a kill) are set up in a forked child, which
// sends back what it saw through a pipe; the checks are made here.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "files/tree_text.h"
#include "model/layout.h"
#include "scripted_dialogs.h"
#include "shell/qt_file_store.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {

namespace fs = std::filesystem;
using shell::QtFileStore;
using testing::ScriptedDialogs;

constexpr uid_t kNobody = 65534;
constexpr const char* kFileName = "settings.dat";

// ------------------------------------------------------------------ files

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

// The names in a folder, sorted.
std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A folder of its own under the test's temporary directory, removed with
// everything in it (write permissions are given back first).
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = ::testing::TempDir() + "vemtaro-files-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    // Reachable by the ordinary user that some faults run as.
    chmod(path_.c_str(), 0755);
  }
  ~TempFolder() {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// ------------------------------------------------------------------ children

// Length-prefixed fields, for what a child sends back.
std::string Pack(const std::vector<std::string>& fields) {
  std::string out;
  for (const auto& f : fields) {
    const std::uint64_t n = f.size();
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    out += f;
  }
  return out;
}

std::vector<std::string> Unpack(const std::string& bytes) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  while (at + sizeof(std::uint64_t) <= bytes.size()) {
    std::uint64_t n = 0;
    std::memcpy(&n, bytes.data() + at, sizeof n);
    at += sizeof n;
    if (n > bytes.size() - at) break;
    fields.push_back(bytes.substr(at, n));
    at += n;
  }
  return fields;
}

// Runs body in a forked child and returns what it returned; nothing when the
// child did not end normally.
std::optional<std::string> InChild(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    close(fds[0]);
    int code = 0;
    try {
      const std::string out = body();
      for (std::size_t at = 0; at < out.size();) {
        const ssize_t n = write(fds[1], out.data() + at, out.size() - at);
        if (n <= 0) {
          code = 2;
          break;
        }
        at += static_cast<std::size_t>(n);
      }
    } catch (...) {
      code = 3;
    }
    close(fds[1]);
    _exit(code);  // no exit handlers of the test program in the child
  }
  close(fds[1]);
  std::string out;
  char buffer[65536];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

// Root passes every permission check: a child that must meet them gives up its
// privileges and works as an ordinary user. Returns why it could not.
std::string BecomeOrdinaryUser() {
  if (geteuid() != 0) return {};
  if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
    return "cannot give up root's privileges here";
  }
  return {};
}

// Gives the child mounts of its own: a mount namespace, and for an ordinary
// user a user namespace around it in which the user is root.
bool PrivateMounts() {
  if (unshare(CLONE_NEWNS) == 0) return true;
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  const auto put = [](const char* file, const std::string& text) {
    const int fd = open(file, O_WRONLY);
    if (fd < 0) return false;
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return ok;
  };
  return put("/proc/self/setgroups", "deny") && put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
         put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

// ------------------------------------------------------------------ models

// A started main window holding a configuration of its own.
void Configure(MainModel& m, int n) {
  m.Startup();
  Pages& p = m.pages;
  p.PasswordEdit.text = std::to_string(1000 + n);
  p.PasswordEditExit();
  p.SetSpinValue({SpinRow::Input, 1}, 10 + n);
  p.SetSpinValue({SpinRow::Rele, 2}, 20 + n);
  m.Tree1.top(0)->text = "Дверь " + std::to_string(n);
  m.Tree2.top(1)->text = "Датчик " + std::to_string(n);
}

std::string SettingsOf(int n) {
  SilentDialogs silent;
  MainModel m(silent);
  Configure(m, n);
  return m.SettingsFileBytes().value_or("");
}

// What opening a file may change: the version, the images, the tree texts, the
// status line and the page values the configurations differ in.
std::string State(const MainModel& m) {
  return "version " + std::to_string(m.ws.FirmwareVersion) + " checksum " + std::to_string(m.ws.ChecksumEnabled) +
         "\nstatus " + m.status + "\npassword " + m.pages.PasswordEdit.text + " input1 " +
         std::to_string(m.pages.Input[0].value) + "\nworking " + m.ws.working.Raw(0, m.ws.working.size()) +
         "\nincoming " + m.ws.incoming.Raw(0, m.ws.incoming.size()) + "\ntree1\n" + WriteTreeText(m.Tree1) + "tree2\n" +
         WriteTreeText(m.Tree2);
}

// ------------------------------------------------------------------ saving

// The folder of a save, holding the old file, and the configuration to save.
class FailedSave : public ::testing::Test {
 public:
  FailedSave() : model(dialogs) {
    Configure(model, 2);
    dialogs.Clear();
    folder = temp.path() + "/папка настроек";
    target = folder + "/" + kFileName;
    oldBytes = SettingsOf(1);
    newBytes = *model.SettingsFileBytes();
  }
  void SetUp() override {
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_TRUE(WriteFile(target, oldBytes));
    ASSERT_NE(oldBytes, newBytes);
  }

  TempFolder temp;
  ScriptedDialogs dialogs;
  MainModel model;
  std::string folder;
  std::string target;
  std::string oldBytes;
  std::string newBytes;
};

// Every way a save over an existing file can fail: nothing is saved, the error
// box names the file and the reason, the old file is whole and no temporary
// file is left beside it.
TEST_F(FailedSave, OldFileStaysWholeAndTheFailureIsReported) {
  struct Case {
    const char* name;
    bool asUser;  // under root: the folder and file go to the user the child becomes
    mode_t folderMode;
    mode_t fileMode;
    // Sets the fault up in the child, just before the save; returns why it
    // cannot be set up here (the case is then skipped).
    std::function<std::string(FailedSave&)> fault;
    std::vector<std::string> entries;  // the folder's contents afterwards
    const char* reason;                // the system's words in the box
  };
  const std::vector<std::string> justTheFile = {kFileName};
  const std::vector<Case> cases = {
      {"read-only folder", true, 0555, 0644,
       [](FailedSave& t) -> std::string {
         if (auto why = BecomeOrdinaryUser(); !why.empty()) return why;
         const std::string probe = t.folder + "/probe";
         const int fd = open(probe.c_str(), O_CREAT | O_WRONLY, 0644);
         if (fd >= 0) {
           close(fd);
           unlink(probe.c_str());
           return "the read-only folder takes new files here";
         }
         return {};
       },
       justTheFile, "Permission denied"},
      {"read-only file", true, 0755, 0444,
       [](FailedSave& t) -> std::string {
         if (auto why = BecomeOrdinaryUser(); !why.empty()) return why;
         if (access(t.target.c_str(), W_OK) == 0) return "the read-only file is writable here";
         return {};
       },
       justTheFile, "Permission denied"},
      {"file size limit", false, 0755, 0644,
       [](FailedSave&) -> std::string {
         // Past the limit a write fails with EFBIG instead of ending the
         // process with SIGXFSZ.
         signal(SIGXFSZ, SIG_IGN);
         const rlimit limit{4096, 4096};
         if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return "cannot lower the file size limit";
         return {};
       },
       justTheFile, "File too large"},
      {"full disk",
       false,
       0755,
       0644,
       [](FailedSave& t) -> std::string {
         // A small file system of the child's own over the folder, holding the
         // old file and then filled up to the last byte.
         if (!PrivateMounts()) return "no mount namespace of its own here";
         if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return "mounts cannot be made private";
         const std::string options = "size=" + std::to_string(t.oldBytes.size() + 65536);
         if (mount("tmpfs", t.folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return "cannot mount a tmpfs here";
         if (!WriteFile(t.target, t.oldBytes)) throw std::runtime_error("the old file does not fit");
         const int fd = open((t.folder + "/filler").c_str(), O_CREAT | O_WRONLY, 0644);
         if (fd < 0) throw std::runtime_error("no filler");
         const std::string block(4096, 'f');
         while (write(fd, block.data(), block.size()) > 0) {
         }
         while (write(fd, block.data(), 1) > 0) {
         }
         close(fd);
         return {};
       },
       {"filler", kFileName},
       "No space left on device"},
  };
  const bool root = geteuid() == 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.Clear();
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    ASSERT_EQ(chmod(target.c_str(), 0644), 0);
    ASSERT_TRUE(WriteFile(target, oldBytes));
    const uid_t owner = c.asUser && root ? kNobody : 0;
    if (root) {
      ASSERT_EQ(chown(folder.c_str(), owner, owner), 0);
      ASSERT_EQ(chown(target.c_str(), owner, owner), 0);
    }
    ASSERT_EQ(chmod(target.c_str(), c.fileMode), 0);
    ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);

    const auto report = InChild([&] {
      const std::string skip = c.fault(*this);
      if (!skip.empty()) return Pack({skip});
      QtFileStore store;
      const bool saved = model.SaveSettings(target, store);
      std::vector<std::string> fields = {"", saved ? "saved" : "failed", ReadFile(target).value_or("<unreadable>")};
      std::string entries;
      for (const auto& e : Entries(folder)) entries += e + "\n";
      fields.push_back(entries);
      for (const auto& s : dialogs.shown) fields.push_back((s.error ? "error:" : "message:") + s.text);
      return Pack(fields);
    });
    ASSERT_TRUE(report) << "the saving process did not end normally";
    const std::vector<std::string> fields = Unpack(*report);
    ASSERT_FALSE(fields.empty());
    if (!fields[0].empty()) {
      std::cout << "[  SKIPPED ] " << c.name << ": " << fields[0] << "\n";
      continue;
    }
    ASSERT_GE(fields.size(), 4u);
    EXPECT_EQ(fields[1], "failed");
    EXPECT_TRUE(fields[2] == oldBytes) << "the old file is not whole: " << fields[2].size() << " bytes of "
                                       << oldBytes.size();
    std::string expectedEntries;
    for (const auto& e : c.entries) expectedEntries += e + "\n";
    EXPECT_EQ(fields[3], expectedEntries) << "a temporary file is left beside the old one";
    ASSERT_EQ(fields.size(), 5u) << "one error box";
    const std::string prefix = std::string("error:") + main_texts::kSaveFailed + target + "\r";
    EXPECT_EQ(fields[4].rfind(prefix, 0), 0u) << fields[4];
    EXPECT_EQ(fields[4].substr(prefix.size()), c.reason) << "the box gives the system's reason";
    std::cout << "[   INFO   ] " << c.name << ": " << fields[4].substr(prefix.size()) << "\n";
    // The child's failure changed nothing here; the old file is still there
    // for this process too (the full disk was the child's own).
    EXPECT_EQ(ReadFile(target), oldBytes);
  }
  if (root) {
    ASSERT_EQ(chown(folder.c_str(), 0, 0), 0);
    ASSERT_EQ(chown(target.c_str(), 0, 0), 0);
  }
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  ASSERT_EQ(chmod(target.c_str(), 0644), 0);

  // With the fault gone the same save goes through.
  dialogs.Clear();
  QtFileStore store;
  EXPECT_TRUE(model.SaveSettings(target, store));
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(ReadFile(target), newBytes);
  EXPECT_EQ(Entries(folder), std::vector<std::string>{kFileName});
  EXPECT_EQ(model.status, main_texts::kSaved + target);
}

// The file store on its own: a file small enough to be held in the write
// buffer until the commit, written past the file size limit.
TEST(FileStoreFault, SmallFileOverTheSizeLimitKeepsTheOldOne) {
  TempFolder temp;
  const std::string path = temp.path() + "/" + kFileName;
  ASSERT_TRUE(WriteFile(path, "old content"));
  const auto report = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return Pack({"cannot lower the file size limit"});
    QtFileStore store;
    std::string error;
    const bool saved = store.WriteAll(path, std::string(10000, 'n'), error);
    return Pack({"", saved ? "saved" : "failed", error});
  });
  ASSERT_TRUE(report);
  const auto fields = Unpack(*report);
  ASSERT_FALSE(fields.empty());
  if (!fields[0].empty()) {
    GTEST_SKIP() << fields[0];
  }
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[1], "failed");
  EXPECT_FALSE(fields[2].empty());
  EXPECT_EQ(ReadFile(path), "old content");
  EXPECT_EQ(Entries(temp.path()), std::vector<std::string>{kFileName});
}

// A save killed at any moment leaves either the whole old file or the whole new
// one under the file's name, never a part of either; a settings file opens
// afterwards.
//
// Each round forks a child that saves the two contents in turn, over and over;
// a timer of the child's own, set to a random moment within its first few
// saves, kills it with SIGKILL from inside (the test process waits for it and
// needs no pauses of its own).
TEST(KilledSave, FileIsAlwaysWholeOldOrWholeNew) {
  struct Case {
    const char* name;
    std::string oldBytes;
    std::string newBytes;
    std::function<bool(const std::string& path, const std::string& bytes)> save;
    int rounds;
    // Checks that the file opens, if it is a settings file.
    std::function<void(const std::string& path)> opens;
  };
  // Large contents with different lengths, so that a partial file or a mix
  // cannot pass for either.
  auto pattern = [](char first, std::size_t size) {
    std::string s(size, first);
    for (std::size_t i = 0; i < size; i += 4096) s[i] = static_cast<char>(first + (i / 4096) % 7);
    return s;
  };
  SilentDialogs silent;
  MainModel oldModel(silent);
  MainModel newModel(silent);
  Configure(oldModel, 1);
  Configure(newModel, 2);
  const std::string settingsOld = *oldModel.SettingsFileBytes();
  const std::string settingsNew = *newModel.SettingsFileBytes();
  ASSERT_NE(settingsOld, settingsNew);
  const std::vector<Case> cases = {
      {"large file through the file store", pattern('a', (2u << 20) + 11), pattern('n', (3u << 20) / 2 + 7),
       [](const std::string& path, const std::string& bytes) {
         QtFileStore store;
         std::string error;
         return store.WriteAll(path, bytes, error);
       },
       20, nullptr},
      {"settings through the main window", settingsOld, settingsNew,
       [&](const std::string& path, const std::string& bytes) {
         QtFileStore store;
         return (bytes == settingsOld ? oldModel : newModel).SaveSettings(path, store);
       },
       20,
       [](const std::string& path) {
         ScriptedDialogs dialogs;
         MainModel reader(dialogs);
         reader.Startup();
         dialogs.Clear();
         QtFileStore store;
         EXPECT_TRUE(reader.OpenSettings(path, store));
         EXPECT_TRUE(dialogs.shown.empty());
         const std::string password = reader.pages.PasswordEdit.text;
         EXPECT_TRUE(password == "1001" || password == "1002") << password;
       }},
  };
  std::mt19937 random(20240611);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder temp;
    const std::string path = temp.path() + "/" + kFileName;
    ASSERT_TRUE(c.save(path, c.oldBytes));
    ASSERT_EQ(ReadFile(path), c.oldBytes);

    // How long one save takes here, to spread the kills over the first saves.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(c.save(path, c.newBytes));
    ASSERT_TRUE(c.save(path, c.oldBytes));
    const auto perSaveUs = std::max<std::int64_t>(
        1, std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count() / 2);

    int keptOld = 0;
    int keptNew = 0;
    std::vector<std::string> leftOver;
    for (int round = 0; round < c.rounds; ++round) {
      SCOPED_TRACE(round);
      const std::int64_t killAfterUs = std::uniform_int_distribution<std::int64_t>(1, 3 * perSaveUs)(random);
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        struct sigaction action {};
        action.sa_handler = [](int) { kill(getpid(), SIGKILL); };
        sigaction(SIGALRM, &action, nullptr);
        itimerval timer{};
        timer.it_value.tv_sec = static_cast<time_t>(killAfterUs / 1000000);
        timer.it_value.tv_usec = static_cast<suseconds_t>(killAfterUs % 1000000);
        setitimer(ITIMER_REAL, &timer, nullptr);
        for (int i = 0; i < 100000; ++i) {
          if (!c.save(path, i % 2 == 0 ? c.newBytes : c.oldBytes)) _exit(4);
        }
        _exit(3);  // never killed
      }
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;

      const std::optional<std::string> now = ReadFile(path);
      ASSERT_TRUE(now.has_value()) << "the file is gone";
      if (*now == c.oldBytes) {
        ++keptOld;
      } else if (*now == c.newBytes) {
        ++keptNew;
      } else {
        ADD_FAILURE() << "a partial file of " << now->size() << " bytes";
      }
      if (c.opens) c.opens(path);
      // Whatever a killed save left beside the file is not taken for it: the
      // file opens, and the next save replaces it. Those leftovers are counted
      // and cleared so that each round starts alike.
      for (const auto& name : Entries(temp.path())) {
        if (name == kFileName) continue;
        leftOver.push_back(name);
        std::error_code ec;
        fs::remove(temp.path() + "/" + name, ec);
      }
      ASSERT_TRUE(c.save(path, c.oldBytes));
    }
    EXPECT_EQ(keptOld + keptNew, c.rounds);
    std::cout << "[   INFO   ] " << c.name << ": " << c.rounds << " kills, " << keptOld << " left the old file, "
              << keptNew << " the new one; one save takes " << perSaveUs
              << " us; temporary files left beside it: " << leftOver.size();
    for (const auto& name : leftOver) std::cout << " " << name;
    std::cout << "\n";
  }
}

// ------------------------------------------------------------------ opening

class DamagedOpen : public ::testing::Test {
 protected:
  DamagedOpen() : model(dialogs) {
    // The configuration in use is not the defaults, and not the file's.
    Configure(model, 7);
    model.Tree1.top(2)->expanded = true;
    model.status = "прежний текст";
    dialogs.Clear();
    folder = temp.path() + "/настройки";
    fs::create_directory(folder);
  }

  TempFolder temp;
  ScriptedDialogs dialogs;
  MainModel model;
  std::string folder;
};

TEST_F(DamagedOpen, ConfigurationInUseIsKept) {
  const std::string file = SettingsOf(3);
  const auto parsed = ParseSettingsFile(file);
  ASSERT_TRUE(parsed.data);
  const SettingsFileData& d = *parsed.data;
  std::string badField = file;
  badField[d.imageOffset + layout::kInputDelays] = 'Z';
  std::mt19937 random(7);
  std::string noise(8192, '\0');
  for (char& ch : noise) ch = static_cast<char>(random() & 0xFF);
  noise[0] = '\xFF';

  enum class Kind { File, Missing, Folder };
  struct Case {
    const char* name;
    Kind kind;
    std::string bytes;
    bool dataError;  // refused for its image (94) rather than as unreadable
  };
  const std::vector<Case> cases = {
      {"empty", Kind::File, "", false},
      {"cut after the version", Kind::File, file.substr(0, 4), false},
      {"cut in tree 1", Kind::File, file.substr(0, d.tree1Offset + 40), false},
      {"cut in tree 2", Kind::File, file.substr(0, d.tree2Offset + 40), false},
      {"cut in the image", Kind::File, file.substr(0, d.imageOffset + 2000), false},
      {"one byte short", Kind::File, file.substr(0, file.size() - 1), false},
      {"garbled version", Kind::File, "Vx5" + file.substr(3), false},
      {"garbled tree length", Kind::File, file.substr(0, 4) + "9z999" + file.substr(9), false},
      {"random bytes", Kind::File, noise, false},
      {"unreadable field in the image", Kind::File, badField, true},
      {"nonexistent", Kind::Missing, "", false},
      {"a directory", Kind::Folder, "", false},
  };
  QtFileStore store;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder + "/файл " + std::to_string(++n) + ".dat";
    if (c.kind == Kind::File) {
      ASSERT_TRUE(WriteFile(path, c.bytes));
    } else if (c.kind == Kind::Folder) {
      ASSERT_TRUE(fs::create_directory(path));
    }
    dialogs.Clear();
    const std::string before = State(model);

    EXPECT_FALSE(model.OpenSettings(path, store));
    EXPECT_EQ(State(model), before);
    EXPECT_TRUE(model.Tree1.top(2)->expanded);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].error);
    if (c.dataError) {
      EXPECT_EQ(dialogs.shown[0].text, page_texts::kDataError);
    } else {
      const std::string prefix = main_texts::kOpenFailed + path + "\r";
      EXPECT_EQ(dialogs.shown[0].text.rfind(prefix, 0), 0u) << dialogs.shown[0].text;
      EXPECT_GT(dialogs.shown[0].text.size(), prefix.size()) << "the box gives the reason";
    }
    if (c.kind == Kind::File) {
      EXPECT_EQ(ReadFile(path), c.bytes) << "opening leaves the file as it is";
    }
  }

  // The whole file of the same folder opens and replaces the configuration.
  const std::string good = folder + "/целый.dat";
  ASSERT_TRUE(WriteFile(good, file));
  dialogs.Clear();
  EXPECT_TRUE(model.OpenSettings(good, store));
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(model.pages.PasswordEdit.text, "1003");
  EXPECT_EQ(WriteTreeText(model.Tree1), d.tree1);
}

// A file the user may not read is refused like a damaged one.
TEST_F(DamagedOpen, UnreadableFileIsRefused) {
  const std::string path = folder + "/закрытый.dat";
  ASSERT_TRUE(WriteFile(path, SettingsOf(3)));
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  const std::string before = State(model);
  const auto report = InChild([&] {
    if (auto why = BecomeOrdinaryUser(); !why.empty()) return Pack({why});
    if (access(path.c_str(), R_OK) == 0) return Pack({"the file is readable here all the same"});
    QtFileStore store;
    const bool opened = model.OpenSettings(path, store);
    std::vector<std::string> fields = {"", opened ? "opened" : "refused", State(model)};
    for (const auto& s : dialogs.shown) fields.push_back(s.text);
    return Pack(fields);
  });
  ASSERT_TRUE(report);
  const auto fields = Unpack(*report);
  ASSERT_FALSE(fields.empty());
  if (!fields[0].empty()) {
    GTEST_SKIP() << fields[0];
  }
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[1], "refused");
  EXPECT_EQ(fields[2], before);
  EXPECT_EQ(fields[3].rfind(main_texts::kOpenFailed + path + "\r", 0), 0u) << fields[3];
}

}  // namespace
}  // namespace vemtaro
