// The controller commands of vemtaro-cli end to end, over pseudo-terminals:
// against vemtaro-sim (the simulated controller program, with its faults), and
// against the controller simulator served by the test itself when a test sets
// what the controller reports or looks at what it was sent.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "files/settings_file.h"
#include "model/image.h"
#include "model/layout.h"
#include "model/profiles.h"
#include "program_testing.h"
#include "sim/controller_sim.h"

extern char** environ;

namespace vemtaro {
namespace {

namespace fs = std::filesystem;
using namespace program_testing;
using SteadyClock = std::chrono::steady_clock;

// Hard limit of one run of a program; no run here comes near it.
constexpr int kRunDeadlineMs = 60000;
// vemtaro-sim prints its terminal's path, or ends after SIGTERM, within this.
constexpr int kSimDeadlineMs = 10000;
// The controllers probe often so that connecting is quick.
constexpr std::int64_t kProbeMs = 200;

// The exit code after Ctrl-C: 128 + SIGINT.
constexpr int kInterruptedCode = 130;

// vemtaro-sim is built next to vemtaro-cli: <build>/src/simulator/vemtaro-sim.
std::string SimPath() {
  std::string path = VEMTARO_CLI_PATH;
  const std::string from = "/src/cli/";
  const std::size_t dir = path.rfind(from);
  if (dir == std::string::npos) return {};
  path.replace(dir, from.size(), "/src/simulator/");
  const std::size_t name = path.rfind("vemtaro-cli");
  if (name == std::string::npos) return {};
  path.replace(name, std::string("vemtaro-cli").size(), "vemtaro-sim");
  return path;
}

int MsLeft(SteadyClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Descriptors of the test are not inherited by the programs it starts: a
// program holding another's pipe or terminal would keep it from closing.
bool Pipe(int fds[2]) {
  if (::pipe(fds) != 0) return false;
  for (int i = 0; i < 2; ++i) ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
  return true;
}

std::string Joined(const std::vector<std::string>& args) {
  std::string text;
  for (const auto& a : args) text += (text.empty() ? "" : " ") + a;
  return text;
}

// ---- settings files --------------------------------------------------------

Bytes ImageOf(const std::string& file) {
  const SettingsFileParse parsed = ParseSettingsFile(file);
  EXPECT_TRUE(parsed.data && parsed.data->image) << "not a settings file";
  return parsed.data && parsed.data->image ? *parsed.data->image : Bytes();
}

// The file with another image.
std::string WithImage(const std::string& file, const Bytes& image) {
  const SettingsFileParse parsed = ParseSettingsFile(file);
  if (!parsed.data) return {};
  return WriteSettingsFile(parsed.data->version, parsed.data->tree1, parsed.data->tree2, image).value_or("");
}

// The image with ImageChecksum in its last byte, as a write stores it and as a
// controller of a version with a checksum delivers it.
Bytes Checksummed(Bytes image) {
  if (!image.empty()) image.back() = ImageChecksum(image);
  return image;
}

bool UsesChecksum(int version) { return FindProfile(version) != nullptr && FindProfile(version)->checksum; }

// A desktop file with some reactions changed: input 3 opening switches relay 1
// on ("Z") and relay 2 off ("R").
std::string EditedFile(int version) {
  Bytes image = ImageOf(DesktopFile(version));
  image[295] = 'Z';
  image[296] = 'R';
  return WithImage(DesktopFile(version), image);
}

std::string Field(const Bytes& image, std::size_t offset, std::size_t length) {
  return std::string(image.begin() + static_cast<std::ptrdiff_t>(offset),
                     image.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

// ---- programs --------------------------------------------------------------

// The controller simulator served by the test on a pseudo-terminal whose slave
// side the program opens as its port. The controller starts when the program
// sends its first byte, so no probe waits in the line before the port opens.
class TestController {
 public:
  explicit TestController(sim::ControllerOptions options) : sim_(std::move(options)) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    const char* name = ::ptsname(master_);
    if (name == nullptr) return;
    path_ = name;
    // Held by the test too, so the line stays up between the program's opens.
    slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) return;
    termios mode{};
    ::tcgetattr(slave_, &mode);
    ::cfmakeraw(&mode);
    ::tcsetattr(slave_, TCSANOW, &mode);
    start_ = SteadyClock::now();
  }
  ~TestController() { HangUp(); }
  TestController(const TestController&) = delete;
  TestController& operator=(const TestController&) = delete;

  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  const std::string& path() const { return path_; }
  sim::ControllerSim& sim() { return sim_; }
  // Everything the program sent.
  const std::string& received() const { return received_; }
  // Hangs up the line (as pulling the cable does) once this many bytes have
  // gone to the program.
  void HangUpAfter(std::size_t bytes) { hangUpAfter_ = bytes; }
  // Hangs up the line once the program has sent this many bytes.
  void HangUpAfterReceiving(std::size_t bytes) { hangUpAfterReceiving_ = bytes; }
  // Holds back what the controller sends for `ms` once the program has sent
  // `command`, as a controller that takes its time over it (scanning its
  // sensors) does.
  void DelayAnswerTo(std::string command, std::int64_t ms) {
    delayedCommand_ = std::move(command);
    delayMs_ = ms;
  }
  // Runs `act` once, as soon as the program has sent `text`.
  void WhenReceived(std::string text, std::function<void()> act) {
    whenText_ = std::move(text);
    whenAct_ = std::move(act);
  }

  int fd() const { return master_; }
  bool HasOutput() const { return !pending_.empty(); }
  // How long the controller may sleep: until its next event; -1 for no limit.
  int TimeoutMs() const {
    if (master_ < 0 || !started_) return -1;
    if (heldUntilMs_ && *heldUntilMs_ > Now()) {
      return static_cast<int>(std::clamp<std::int64_t>(*heldUntilMs_ - Now(), 0, kRunDeadlineMs));
    }
    const auto next = sim_.NextEventMs();
    if (!next) return -1;
    return static_cast<int>(std::clamp<std::int64_t>(*next - Now(), 0, kRunDeadlineMs));
  }

  // Takes what the program sent and sends what is due.
  void Service() {
    if (master_ < 0) return;
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      received_.append(buffer, static_cast<std::size_t>(n));
      started_ = true;
      pending_ += sim_.Receive(std::string_view(buffer, static_cast<std::size_t>(n)), Now());
      if (hangUpAfterReceiving_ && received_.size() >= *hangUpAfterReceiving_) {
        HangUp();
        return;
      }
    }
    if (whenAct_ && received_.find(whenText_) != std::string::npos) std::exchange(whenAct_, nullptr)();
    if (started_) pending_ += sim_.Poll(Now());
    if (!delayedCommand_.empty() && !heldUntilMs_ && received_.find(delayedCommand_) != std::string::npos) {
      heldUntilMs_ = Now() + delayMs_;
    }
    if (heldUntilMs_ && *heldUntilMs_ > Now()) return;
    while (!pending_.empty()) {
      std::size_t count = pending_.size();
      if (hangUpAfter_) count = std::min(count, *hangUpAfter_ - sent_);
      if (count == 0) break;
      const ssize_t n = ::write(master_, pending_.data(), count);
      if (n <= 0) break;
      pending_.erase(0, static_cast<std::size_t>(n));
      sent_ += static_cast<std::size_t>(n);
    }
    if (hangUpAfter_ && sent_ >= *hangUpAfter_) HangUp();
  }

 private:
  std::int64_t Now() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start_).count();
  }
  void HangUp() {
    for (int* fd : {&master_, &slave_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
  }

  sim::ControllerSim sim_;
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
  SteadyClock::time_point start_;
  bool started_ = false;
  std::string received_;
  std::string pending_;
  std::size_t sent_ = 0;
  std::optional<std::size_t> hangUpAfter_;
  std::optional<std::size_t> hangUpAfterReceiving_;
  std::string delayedCommand_;
  std::int64_t delayMs_ = 0;
  std::optional<std::int64_t> heldUntilMs_;
  std::string whenText_;
  std::function<void()> whenAct_;
};

// Options of the test's controller: probing quickly, holding the image of the
// desktop program's defaults for the version.
sim::ControllerOptions ControllerOptions(int version) {
  sim::ControllerOptions options;
  options.version = version;
  options.probeIntervalMs = kProbeMs;
  options.image = ImageOf(DesktopFile(version));
  return options;
}

// What a run of vemtaro-cli gets besides its arguments.
struct RunOptions {
  TestController* controller = nullptr;  // served while it runs
  int deadlineMs = kRunDeadlineMs;
  // When set, its standard error is a terminal of its own, as a user's at a
  // terminal is; once what it shows there passes this test, it gets
  // `interruptSignal`: SIGINT (the terminal's Ctrl-C), SIGTERM (`timeout`, a
  // stopped service) or SIGHUP (a closed terminal or SSH session).
  std::function<bool(const std::string&)> interruptWhen;
  int interruptSignal = SIGINT;
};

// Runs vemtaro-cli, serving the test's controller meanwhile; killed (and the
// test failed) when it has not ended by the deadline.
Result RunCli(const std::vector<std::string>& args, const RunOptions& options) {
  Result r;
  int out[2];
  int err[2];
  if (!Pipe(out) || !Pipe(err)) {
    ADD_FAILURE() << "pipe";
    return r;
  }
  if (options.interruptWhen) {
    // The terminal in place of the error pipe: its master is read, its slave given.
    ::close(err[0]);
    ::close(err[1]);
    err[0] = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (err[0] < 0 || ::grantpt(err[0]) != 0 || ::unlockpt(err[0]) != 0 || ::ptsname(err[0]) == nullptr) {
      ADD_FAILURE() << "no pseudo-terminal";
      return r;
    }
    ::fcntl(err[0], F_SETFD, FD_CLOEXEC);
    err[1] = ::open(::ptsname(err[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<std::string> argvText{VEMTARO_CLI_PATH};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, VEMTARO_CLI_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ::close(out[0]);
    ::close(err[0]);
    ADD_FAILURE() << "cannot start " << VEMTARO_CLI_PATH;
    return r;
  }

  TestController* controller = options.controller;
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(options.deadlineMs);
  int streams[2] = {out[0], err[0]};
  std::string* texts[2] = {&r.out, &r.err};
  bool killed = false;
  bool interrupted = false;
  while (streams[0] >= 0 || streams[1] >= 0) {
    std::vector<pollfd> fds;
    for (int fd : streams) fds.push_back(pollfd{fd, POLLIN, 0});  // a negative fd is ignored
    if (controller != nullptr && controller->fd() >= 0) {
      fds.push_back(pollfd{controller->fd(), static_cast<short>(POLLIN | (controller->HasOutput() ? POLLOUT : 0)), 0});
    }
    int timeout = MsLeft(deadline);
    if (controller != nullptr && controller->TimeoutMs() >= 0) timeout = std::min(timeout, controller->TimeoutMs());
    if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (streams[i] < 0 || (fds[static_cast<std::size_t>(i)].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(streams[i], buffer, sizeof buffer);
      if (n > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(streams[i]);  // a terminal whose last user has gone reads as an error
        streams[i] = -1;
      }
    }
    if (controller != nullptr) controller->Service();
    if (options.interruptWhen && !interrupted && options.interruptWhen(r.err)) {
      ::kill(pid, options.interruptSignal);
      interrupted = true;
    }
    if (MsLeft(deadline) == 0 && (streams[0] >= 0 || streams[1] >= 0)) {
      ADD_FAILURE() << "vemtaro-cli " << Joined(args) << " did not end within " << options.deadlineMs << " ms";
      ::kill(pid, SIGKILL);
      killed = true;
      break;
    }
  }
  for (int fd : streams) {
    if (fd >= 0) ::close(fd);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.code = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  // A terminal ends its lines with CR LF.
  if (options.interruptWhen) r.err = std::regex_replace(r.err, std::regex("\r\n"), "\n");
  return r;
}

Result RunCli(const std::vector<std::string>& args, TestController* controller = nullptr,
              int deadlineMs = kRunDeadlineMs) {
  return RunCli(args, RunOptions{controller, deadlineMs, {}});
}

// vemtaro-sim with the options, probing every kProbeMs, strict: it flags every
// step of the program that breaks the protocol, and a test fails on any when
// the simulator is stopped (by Stop() or at the end of the test).
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& options) {
    std::vector<std::string> args{SimPath(), "--strict", "--probe-interval", std::to_string(kProbeMs)};
    args.insert(args.end(), options.begin(), options.end());
    int out[2];
    if (!Pipe(out)) return;
    char errName[] = "/tmp/vemtaro-sim-err-XXXXXX";
    const int err = ::mkstemp(errName);
    if (err < 0) return;
    errPath_ = errName;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err);
    output_ = out[0];
    // The first line is the terminal's path.
    std::string text;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kSimDeadlineMs);
    while (pid_ > 0 && text.find('\n') == std::string::npos) {
      pollfd fd{output_, POLLIN, 0};
      if (::poll(&fd, 1, MsLeft(deadline)) <= 0) break;
      char buffer[256];
      const ssize_t n = ::read(output_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    if (text.find('\n') != std::string::npos) path_ = text.substr(0, text.find('\n'));
  }
  ~SimProcess() {
    if (pid_ > 0) {
      const int code = Stop();
      EXPECT_EQ(code, 0) << "vemtaro-sim: " << Errors();
    }
    if (output_ >= 0) ::close(output_);
    if (!errPath_.empty()) ::unlink(errPath_.c_str());
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The terminal's path; empty when the program did not start.
  const std::string& path() const { return path_; }
  // What the simulator printed on its standard error: the protocol violations.
  std::string Errors() const { return errPath_.empty() ? std::string() : ReadFile(errPath_); }

  // Ends the program with SIGTERM, as its user does (it then writes --save);
  // its exit code (3 after a protocol violation), or -1 when it had to be
  // killed.
  int Stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    // Its output closes when it has ended.
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kSimDeadlineMs);
    bool ended = false;
    while (!ended) {
      pollfd fd{output_, POLLIN, 0};
      if (::poll(&fd, 1, MsLeft(deadline)) <= 0) break;
      char buffer[256];
      ended = ::read(output_, buffer, sizeof buffer) <= 0;
    }
    if (!ended) ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string path_;
  std::string errPath_;
};

class CliDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(SimPath())) GTEST_SKIP() << "vemtaro-sim is not built next to vemtaro-cli";
    dir_ = MakeTestFolder("vemtaro-cli-device-");
    // A write keeps its backup in the user's data folder: the test's own.
    fs::create_directory(Home());
    ::setenv("HOME", Home().c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
  }
  void TearDown() override { RemoveTestFolder(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Home() const { return Path("home"); }
  // Where the desktop program and a write keep their backups.
  std::string Backups() const { return Home() + "/.local/share/Vemtaro/backups"; }

  // The files of the test's folder.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      if (entry.path() != Home()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

std::size_t ImageLength(int version) { return FindProfile(version)->imageLength; }

// The last line of a read or write that went well.
std::string ReadSummary(const std::string& port, const std::string& file, int version) {
  return "read " + std::to_string(ImageLength(version)) + " bytes from " + port + " into " + file + ", v" +
         std::to_string(version) + "\n";
}
std::string WriteSummary(const std::string& file, const std::string& port, int version, bool verified) {
  return "wrote " + std::to_string(ImageLength(version)) + " bytes from " + file + " to " + port + ", v" +
         std::to_string(version) + (verified ? ", read back and compared" : ", not read back") + "\n";
}

// A write's messages without the first line, which says where the backup copy
// was kept (and must say so).
std::string AfterBackupLine(const std::string& err) {
  const std::string kept = "the controller's configuration was kept in ";
  EXPECT_EQ(err.rfind(kept, 0), 0u) << err;
  return err.rfind(kept, 0) == 0 ? err.substr(err.find('\n') + 1) : err;
}

// ---- read and write ----------------------------------------------------------

TEST_F(CliDevice, ReadSavesWhatTheDesktopSavesAfterLoading) {
  for (const int version : {10, 12, 15}) {
    SCOPED_TRACE("version " + std::to_string(version));
    // The controller delivers its image with the checksum when its version has one.
    std::string held = EditedFile(version);
    if (UsesChecksum(version)) held = WithImage(held, Checksummed(ImageOf(held)));
    WriteFile(Path("held.dat"), held);
    SimProcess sim({"--image", Path("held.dat")});
    ASSERT_FALSE(sim.path().empty());

    const Result r = RunCli({"read", "--port", sim.path(), "-o", Path("out.dat")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, ReadSummary(sim.path(), Path("out.dat"), version));
    // The version's profile, its default trees and the controller's image.
    EXPECT_EQ(ReadFile(Path("out.dat")), held);
    const Result show = RunCli({"show", Path("out.dat")});
    EXPECT_TRUE(Contains(show.out, "firmware: " + std::to_string(version) + "\n"));
    EXPECT_TRUE(Contains(show.out, "Вход 3/Размыкание/relays: ZRNNNNNNNNNNNNNN\n"));
    EXPECT_EQ(Files(), (std::vector<std::string>{"held.dat", "out.dat"}));
  }
}

TEST_F(CliDevice, WriteThenReadGivesTheWrittenImage) {
  for (const int version : {12, 15}) {
    SCOPED_TRACE("version " + std::to_string(version));
    SimProcess sim({"--firmware", std::to_string(version), "--save", Path("kept.dat")});
    ASSERT_FALSE(sim.path().empty());
    const std::string file = EditedFile(version);
    WriteFile(Path("in.dat"), file);
    // The write stores the checksum into the last byte before sending.
    const Bytes sent = Checksummed(ImageOf(file));

    Result r = RunCli({"write", Path("in.dat"), "--port", sim.path()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(AfterBackupLine(r.err), WriteSummary(Path("in.dat"), sim.path(), version, true));
    EXPECT_EQ(ReadFile(Path("in.dat")), file);

    r = RunCli({"read", "--port", sim.path(), "-o", Path("back.dat")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ImageOf(ReadFile(Path("back.dat"))), sent);

    // The file and what was read back compare equal: the checksum the write
    // stored is a note, counted only when asked for. In the 5121 bytes of
    // version 12 it took the byte of OhrSMS.
    const std::string arming = version == 12 ? "OhrSMS: no -> yes\n" : "";
    r = RunCli({"diff", Path("in.dat"), Path("back.dat")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "note: checksum: differs -> matches\n" + (arming.empty() ? "" : "note: " + arming));
    r = RunCli({"diff", "--checksum", Path("in.dat"), Path("back.dat")});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out, "checksum: differs -> matches\n" + arming);
    // A setting that differs still does.
    ASSERT_EQ(RunCli({"set", Path("back.dat"), "Rele1=9", "-o", Path("other.dat")}).code, 0);
    r = RunCli({"diff", Path("other.dat"), Path("back.dat")});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_TRUE(Contains(r.out, "Rele1: 9 -> ")) << r.out;
    fs::remove(Path("other.dat"));

    r = RunCli({"write", "--verify", Path("in.dat"), "--port", sim.path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");

    ASSERT_EQ(sim.Stop(), 0);
    EXPECT_EQ(ImageOf(ReadFile(Path("kept.dat"))), sent);
    fs::remove(Path("kept.dat"));
  }
}

TEST_F(CliDevice, AFileOfAnotherVersionIsRefusedBeforeAnythingIsSent) {
  WriteFile(Path("v10.dat"), EditedFile(10));
  SimProcess sim({"--firmware", "15", "--save", Path("kept.dat")});
  ASSERT_FALSE(sim.path().empty());
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"write", Path("v10.dat"), "--port", sim.path()},
           {"ids", "--into", Path("v10.dat"), "--port", sim.path()},
       }) {
    const Result r = RunCli(args);
    EXPECT_EQ(r.code, 1) << Joined(args);
    EXPECT_EQ(r.out, "") << Joined(args);
    EXPECT_TRUE(Contains(r.err, "firmware version 10")) << r.err;
    EXPECT_TRUE(Contains(r.err, "has version 15")) << r.err;
    EXPECT_TRUE(Contains(r.err, "nothing was sent")) << r.err;
  }
  EXPECT_EQ(ReadFile(Path("v10.dat")), EditedFile(10));
  ASSERT_EQ(sim.Stop(), 0) << sim.Errors();
  // The strict controller starts with a checksum that matches its image.
  EXPECT_EQ(ImageOf(ReadFile(Path("kept.dat"))), Checksummed(ImageOf(DesktopFile(15))));
}

// Every write is read back; a controller that gives back something else fails
// the write (exit 1), with the program's message and every difference listed.
TEST_F(CliDevice, ReadBackListsWhatTheControllerGivesBackDifferently) {
  // The controller keeps the image but delivers it with its checksum plus one.
  SimProcess sim({"--bad-checksum"});
  ASSERT_FALSE(sim.path().empty());
  WriteFile(Path("in.dat"), EditedFile(15));
  const std::uint8_t checksum = ImageChecksum(ImageOf(EditedFile(15)));
  for (const bool saidVerify : {false, true}) {
    SCOPED_TRACE(saidVerify ? "--verify" : "by default");
    std::vector<std::string> args{"write", Path("in.dat"), "--port", sim.path()};
    if (saidVerify) args.push_back("--verify");
    const Result r = RunCli(args);
    EXPECT_EQ(r.code, 1);
    char expected[64];
    std::snprintf(expected, sizeof expected, "image[5483]: 0x%02X -> 0x%02X\n", checksum,
                  static_cast<unsigned>(static_cast<std::uint8_t>(checksum + 1)));
    EXPECT_EQ(r.out, std::string(expected) + "checksum: matches -> differs\n");
    EXPECT_TRUE(Contains(r.err,
                         ": Конфигурация в контроллере не совпадает с переданной!\n"
                         "Первое расхождение: байт 5483 (checksum).\n"
                         "Передайте конфигурацию в контроллер ещё раз.\n"))
        << r.err;
    EXPECT_TRUE(Contains(r.err, "verify: 1 byte of the configuration read back differs from what was written"))
        << r.err;
  }
  // Without the read-back the same write ends well.
  const Result r = RunCli({"write", Path("in.dat"), "--no-verify", "--port", sim.path()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(AfterBackupLine(r.err), WriteSummary(Path("in.dat"), sim.path(), 15, false));
}

// ---- every firmware version end to end, at the pace of the line ----------

// A write below version 12 takes about a minute (two pauses of 5 ms a byte),
// and its read-back six seconds more.
constexpr int kPacedDeadlineMs = 240000;

class CliDeviceVersion : public CliDevice, public ::testing::WithParamInterface<int> {};

TEST_P(CliDeviceVersion, ReadsTheControllersConfiguration) {
  const int version = GetParam();
  std::string held = EditedFile(version);
  if (UsesChecksum(version)) held = WithImage(held, Checksummed(ImageOf(held)));
  WriteFile(Path("held.dat"), held);
  SimProcess sim({"--paced", "--firmware", std::to_string(version), "--image", Path("held.dat")});
  ASSERT_FALSE(sim.path().empty());
  const Result r = RunCli({"read", "--port", sim.path(), "-o", Path("out.dat")}, nullptr, kPacedDeadlineMs);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, ReadSummary(sim.path(), Path("out.dat"), version));
  EXPECT_EQ(ReadFile(Path("out.dat")), held);
  EXPECT_EQ(sim.Stop(), 0) << sim.Errors();
}

// The whole write, its final "SAVE_OK" and the read-back; the port stays
// usable to the end (no hang-up is taken for one).
TEST_P(CliDeviceVersion, WritesAndReadsBackTheConfiguration) {
  const int version = GetParam();
  SimProcess sim({"--paced", "--firmware", std::to_string(version), "--save", Path("kept.dat")});
  ASSERT_FALSE(sim.path().empty());
  const std::string file = EditedFile(version);
  WriteFile(Path("in.dat"), file);
  const Result r = RunCli({"write", Path("in.dat"), "--port", sim.path()}, nullptr, kPacedDeadlineMs);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(AfterBackupLine(r.err), WriteSummary(Path("in.dat"), sim.path(), version, true));
  ASSERT_EQ(sim.Stop(), 0) << sim.Errors();
  const Bytes image = ImageOf(file);
  EXPECT_EQ(ImageOf(ReadFile(Path("kept.dat"))), UsesChecksum(version) ? Checksummed(image) : image);
}

INSTANTIATE_TEST_SUITE_P(Versions, CliDeviceVersion, ::testing::Values(10, 11, 12, 15),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string("v").append(std::to_string(info.param));
                         });

// ---- on a terminal: progress and Ctrl-C -------------------------------------

// The number of bytes the progress line shows last, or nothing.
std::optional<std::size_t> ProgressBytes(const std::string& shown, const std::string& phase) {
  static const std::regex line(
      "(reading back|reading the backup copy|reading|writing) [^:\\r]+: [0-9]+%, ([0-9]+) of [0-9]+ bytes");
  std::optional<std::size_t> last;
  for (auto it = std::sregex_iterator(shown.begin(), shown.end(), line); it != std::sregex_iterator(); ++it) {
    if ((*it)[1] == phase) last = std::stoul((*it)[2]);
  }
  return last;
}

// A read or write that runs for seconds shows its progress on one line of the
// terminal; Ctrl-C stops a write after a whole byte, leaves the line quiet
// until the controller has dropped the write, sends "BYE" (the strict
// controller flags anything else) and says what it leaves; a read stopped so
// writes no file.
TEST_F(CliDevice, ProgressAndCtrlCOnATerminal) {
  for (const int version : {10, 12}) {
    SCOPED_TRACE("version " + std::to_string(version));
    const std::string file = EditedFile(version);
    WriteFile(Path("in.dat"), file);
    SimProcess sim({"--paced", "--firmware", std::to_string(version), "--save", Path("kept.dat")});
    ASSERT_FALSE(sim.path().empty());
    RunOptions onTerminal;
    onTerminal.interruptWhen = [](const std::string& err) { return ProgressBytes(err, "writing").value_or(0) >= 300; };
    const Result w = RunCli({"write", Path("in.dat"), "--port", sim.path()}, onTerminal);
    EXPECT_EQ(w.code, kInterruptedCode) << w.err;
    EXPECT_EQ(w.out, "");
    EXPECT_TRUE(std::regex_search(w.err, std::regex("writing " + sim.path() + ": [0-9]+%, [0-9]+ of " +
                                                    std::to_string(ImageLength(version)) + " bytes, [0-9]+ s left")))
        << w.err;
    std::smatch stopped;
    ASSERT_TRUE(std::regex_search(w.err, stopped,
                                  std::regex("vemtaro-cli: " + sim.path() + ": interrupted after ([0-9]+) of " +
                                             std::to_string(ImageLength(version)) +
                                             " bytes; the controller may hold an incomplete configuration: write "
                                             "it again\n$")))
        << w.err;
    const std::size_t sent = std::stoul(stopped[1]);
    EXPECT_GE(sent, 300u);
    EXPECT_LT(sent, ImageLength(version));
    ASSERT_EQ(sim.Stop(), 0) << sim.Errors();
    // The controller took the first bytes and kept the rest of its own.
    const Bytes kept = ImageOf(ReadFile(Path("kept.dat")));
    const Bytes before = ImageOf(DesktopFile(version));
    const Bytes wanted = ImageOf(file);
    ASSERT_EQ(kept.size(), wanted.size());
    EXPECT_TRUE(std::equal(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(sent), wanted.begin()));
    EXPECT_TRUE(std::equal(kept.begin() + static_cast<std::ptrdiff_t>(sent), kept.end() - 1,
                           before.begin() + static_cast<std::ptrdiff_t>(sent)));
    fs::remove(Path("kept.dat"));
  }
  SimProcess sim({"--paced", "--firmware", "15"});
  ASSERT_FALSE(sim.path().empty());
  RunOptions onTerminal;
  onTerminal.interruptWhen = [](const std::string& err) { return ProgressBytes(err, "reading").value_or(0) > 0; };
  const Result r = RunCli({"read", "--port", sim.path(), "-o", Path("out.dat")}, onTerminal);
  EXPECT_EQ(r.code, kInterruptedCode) << r.err;
  EXPECT_TRUE(Contains(r.err, "vemtaro-cli: " + sim.path() + ": interrupted; no file was written\n")) << r.err;
  EXPECT_FALSE(fs::exists(Path("out.dat")));
  EXPECT_EQ(sim.Stop(), 0) << sim.Errors();
}

// SIGTERM and SIGHUP end a transfer as Ctrl-C does: at a byte boundary, the
// line quiet until the controller has dropped a write, then "BYE" (the strict
// controller flags anything else), the same message, and the exit code 128 +
// the signal.
TEST_F(CliDevice, SigtermAndSighupEndATransferAsCtrlCDoes) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGHUP");
    const std::string file = EditedFile(12);
    WriteFile(Path("in.dat"), file);
    SimProcess sim({"--paced", "--firmware", "12", "--save", Path("kept.dat")});
    ASSERT_FALSE(sim.path().empty());
    RunOptions options;
    options.interruptSignal = signal;
    options.interruptWhen = [](const std::string& err) { return ProgressBytes(err, "writing").value_or(0) >= 300; };
    const Result w = RunCli({"write", Path("in.dat"), "--port", sim.path()}, options);
    EXPECT_EQ(w.code, 128 + signal) << w.err;
    std::smatch stopped;
    ASSERT_TRUE(std::regex_search(
        w.err, stopped,
        std::regex("vemtaro-cli: " + sim.path() + ": interrupted after ([0-9]+) of " + std::to_string(ImageLength(12)) +
                   " bytes; the controller may hold an incomplete configuration: write "
                   "it again\n$")))
        << w.err;
    const std::size_t sent = std::stoul(stopped[1]);
    ASSERT_EQ(sim.Stop(), 0) << sim.Errors();
    const Bytes kept = ImageOf(ReadFile(Path("kept.dat")));
    const Bytes wanted = ImageOf(file);
    ASSERT_EQ(kept.size(), wanted.size());
    EXPECT_TRUE(std::equal(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(sent), wanted.begin()));
    fs::remove(Path("kept.dat"));

    SimProcess reading({"--paced", "--firmware", "15"});
    ASSERT_FALSE(reading.path().empty());
    options.interruptWhen = [](const std::string& err) { return ProgressBytes(err, "reading").value_or(0) > 0; };
    const Result r = RunCli({"read", "--port", reading.path(), "-o", Path("out.dat")}, options);
    EXPECT_EQ(r.code, 128 + signal) << r.err;
    EXPECT_TRUE(Contains(r.err, "vemtaro-cli: " + reading.path() + ": interrupted; no file was written\n")) << r.err;
    EXPECT_FALSE(fs::exists(Path("out.dat")));
    EXPECT_EQ(reading.Stop(), 0) << reading.Errors();
  }
}

// ---- backups and the handshake ---------------------------------------------

TEST_F(CliDevice, BackupKeepsTheControllersConfigurationBeforeTheWrite) {
  const std::string held = WithImage(EditedFile(15), Checksummed(ImageOf(EditedFile(15))));
  WriteFile(Path("held.dat"), held);
  WriteFile(Path("in.dat"), DesktopFile(15));
  WriteFile(Path("old.dat"), "an earlier copy");
  SimProcess sim({"--image", Path("held.dat"), "--save", Path("kept.dat")});
  ASSERT_FALSE(sim.path().empty());

  // A copy is never written over a file, nor where no folder is: refused
  // before the port is opened.
  for (const std::string& copy : {Path("old.dat"), Path("missing/copy.dat")}) {
    const Result r = RunCli({"write", Path("in.dat"), "--backup", copy, "--port", sim.path()});
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_TRUE(Contains(r.err, copy)) << r.err;
  }
  EXPECT_EQ(ReadFile(Path("old.dat")), "an earlier copy");

  const Result r = RunCli({"write", Path("in.dat"), "--backup", Path("copy.dat"), "--port", sim.path()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "the controller's configuration was kept in " + Path("copy.dat") + "\n" +
                       WriteSummary(Path("in.dat"), sim.path(), 15, true));
  // The copy is what a read would have saved: the controller's old image.
  EXPECT_EQ(ImageOf(ReadFile(Path("copy.dat"))), ImageOf(held));
  ASSERT_EQ(sim.Stop(), 0) << sim.Errors();
  EXPECT_EQ(ImageOf(ReadFile(Path("kept.dat"))), Checksummed(ImageOf(DesktopFile(15))));
}

TEST_F(CliDevice, BackupThatCannotBeReadStopsTheWrite) {
  WriteFile(Path("in.dat"), DesktopFile(15));
  SimProcess sim({"--no-load-ok", "--save", Path("kept.dat")});
  ASSERT_FALSE(sim.path().empty());
  const Result r = RunCli({"write", Path("in.dat"), "--backup", Path("copy.dat"), "--port", sim.path()});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err,
                       ": Ошибка соединения с устройством !\nКод ошибки: 93\n"
                       "Резервная копия не сделана, запись отменена: конфигурация в контроллер не "
                       "передавалась.\n"))
      << r.err;
  EXPECT_FALSE(fs::exists(Path("copy.dat")));
  ASSERT_EQ(sim.Stop(), 0) << sim.Errors();
  EXPECT_EQ(ImageOf(ReadFile(Path("kept.dat"))), Checksummed(ImageOf(DesktopFile(15)))) << "nothing was written";
}

// Without --backup a write keeps its backup where the desktop program keeps
// its copies ("Резервные копии…" lists it), private to the user, and says
// where; --no-backup reads nothing first. Without a home folder no copy can be
// kept, and nothing is written, as for any copy that was not kept.
TEST_F(CliDevice, AWriteKeepsItsBackupWhereTheDesktopKeepsItsCopies) {
  std::string held = EditedFile(15);
  Bytes image = ImageOf(held);
  const std::string id = "OBJ-17****";
  std::copy(id.begin(), id.end(), image.begin() + static_cast<std::ptrdiff_t>(layout::kObjectIdLong));
  held = WithImage(held, Checksummed(image));
  WriteFile(Path("held.dat"), held);
  WriteFile(Path("in.dat"), DesktopFile(15));
  SimProcess sim({"--image", Path("held.dat"), "--save", Path("kept.dat")});
  ASSERT_FALSE(sim.path().empty());

  ::unsetenv("HOME");
  Result r = RunCli({"write", Path("in.dat"), "--port", sim.path()});
  ::setenv("HOME", Home().c_str(), 1);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(Contains(r.err,
                       "Резервная копия не сделана, запись отменена: конфигурация в контроллер не "
                       "передавалась.\n"))
      << r.err;
  EXPECT_TRUE(Contains(r.err, "Не найдена папка данных программы")) << r.err;

  r = RunCli({"write", Path("in.dat"), "--backup", Path("copy.dat"), "--no-backup", "--port", sim.path()});
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_TRUE(Contains(r.err, "--backup and --no-backup cannot be used together")) << r.err;

  r = RunCli({"write", Path("in.dat"), "--port", sim.path()});
  EXPECT_EQ(r.code, 0) << r.err;
  std::smatch kept;
  const std::string err = r.err;
  ASSERT_TRUE(std::regex_match(err, kept,
                               std::regex("the controller's configuration was kept in (" + Backups() +
                                          "/OBJ-17/[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}\\.dat)\n" +
                                          WriteSummary(Path("in.dat"), sim.path(), 15, true))))
      << err;
  const std::string copy = kept[1];
  EXPECT_EQ(ReadFile(copy), held) << "the file a read would have saved";
  for (const auto& [path, mode] : {std::pair<std::string, fs::perms>{copy, fs::perms(0600)},
                                   {Backups() + "/OBJ-17", fs::perms(0700)},
                                   {Backups(), fs::perms(0700)}}) {
    EXPECT_EQ(fs::status(path).permissions(), mode) << path;
  }

  r = RunCli({"write", Path("in.dat"), "--no-backup", "--port", sim.path()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, WriteSummary(Path("in.dat"), sim.path(), 15, true));
  EXPECT_EQ(std::distance(fs::directory_iterator(Backups() + "/OBJ-17"), fs::directory_iterator()), 1);
  ASSERT_EQ(sim.Stop(), 0) << sim.Errors();
}

// The backup file is made when the copy is written, new: a file or a link
// that appeared at its name after the check before connecting is left as it
// is, nothing else is made, and nothing is written to the controller.
TEST_F(CliDevice, ABackupFileThatAppearsDuringTheReadStopsTheWrite) {
  WriteFile(Path("in.dat"), DesktopFile(15));
  const std::string copy = Path("copy.dat");
  const std::string secret = Path("secret");
  const std::vector<std::pair<const char*, std::function<void()>>> appearing = {
      {"a file", [&] { WriteFile(copy, "someone's file"); }},
      {"a link to a file", [&] { fs::create_symlink(secret, copy); }},
      {"a link to nothing", [&] { fs::create_symlink(Path("made"), copy); }},
  };
  for (const auto& [what, appear] : appearing) {
    SCOPED_TRACE(what);
    fs::remove(copy);
    WriteFile(secret, "the secret");
    TestController controller(ControllerOptions(15));
    ASSERT_TRUE(controller.ok());
    controller.WhenReceived("LOAD\n", appear);
    const Result r = RunCli({"write", Path("in.dat"), "--backup", copy, "--port", controller.path()}, &controller);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_TRUE(Contains(r.err, copy + ": the file exists; a backup never replaces a file")) << r.err;
    EXPECT_TRUE(Contains(r.err, "Резервная копия не сделана, запись отменена")) << r.err;
    EXPECT_TRUE(Contains(controller.received(), "LOAD\n"));
    EXPECT_FALSE(Contains(controller.received(), "SAVE")) << "nothing was written";
    EXPECT_EQ(ReadFile(secret), "the secret");
    EXPECT_FALSE(fs::exists(Path("made")));
  }
}

// A controller that probes every 30 ms until "PC_OK" gets one "PC\r\n" per
// handshake, and nothing after "BYE" (the strict simulator flags both).
TEST_F(CliDevice, AControllerThatKeepsProbingIsAnsweredOnce) {
  SimProcess sim({"--keep-probing", "--probe-interval", "30"});
  ASSERT_FALSE(sim.path().empty());
  for (const std::string command : {"status", "clock"}) {
    const Result r = RunCli({command, "--port", sim.path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(Contains(r.err, "error")) << r.err;
  }
  EXPECT_EQ(sim.Stop(), 0) << sim.Errors();
}

// ---- clock, identifiers, status and relays --------------------------------

TEST_F(CliDevice, ServicesOfVemtaroSim) {
  SimProcess sim({});
  ASSERT_FALSE(sim.path().empty());

  Result r = RunCli({"clock", "--port", sim.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  // The controller's clock as shown: "HH:MM:SS DD-MM-YY".
  EXPECT_TRUE(std::regex_match(r.out, std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9] [0-3][0-9]-[01][0-9]-[0-9]{2}\n")))
      << r.out;
  EXPECT_EQ(r.err, "vemtaro-cli: " + sim.path() + ": Время установлено.\nТекущее время: " + r.out);

  r = RunCli({"ids", "--port", sim.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  std::string none;
  for (int k = 1; k <= 16; ++k) none += "ID" + std::to_string(k) + ":\n";
  EXPECT_EQ(r.out, none);
  EXPECT_EQ(r.err, "");

  r = RunCli({"status", "--json", "--port", sim.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "\"key\": \"0000000000000000\"")) << r.out;
  EXPECT_TRUE(Contains(r.out, "\"inputs\": [\n        false,")) << r.out;

  r = RunCli({"relays", "11000001", "--port", sim.path()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

// The commands wait for a reply as long as the desktop program does: a
// controller that scans its sensors for 15 s still gives `ids` its
// identifiers; --reply-timeout sets a shorter wait, which then ends the
// command.
TEST_F(CliDevice, IdsWaitsForASlowControllerAsTheDesktopDoes) {
  TestController controller(ControllerOptions(15));
  ASSERT_TRUE(controller.ok());
  controller.sim().identifiers()[0] = "0123456789ABCDEF";
  controller.DelayAnswerTo("ID\n", 15000);
  const Result r = RunCli({"ids", "--port", controller.path()}, &controller);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "ID1: 0123456789ABCDEF\nID2:\n")) << r.out;

  TestController late(ControllerOptions(15));
  ASSERT_TRUE(late.ok());
  late.DelayAnswerTo("ID\n", 3000);
  const Result timedOut = RunCli({"ids", "--port", late.path(), "--reply-timeout", "2"}, &late);
  EXPECT_EQ(timedOut.code, 1);
  EXPECT_EQ(timedOut.out, "");
  EXPECT_TRUE(Contains(timedOut.err, late.path() + ": the controller did not answer (no identifiers within 2 s)"))
      << timedOut.err;
}

TEST_F(CliDevice, IdsPrintsAndStoresTheControllersIdentifiers) {
  TestController controller(ControllerOptions(15));
  ASSERT_TRUE(controller.ok());
  auto& ids = controller.sim().identifiers();
  ids[0] = "0123456789ABCDEF";
  ids[2] = "00000000000000a1";  // lowercase: refused
  ids[3] = "FEDCBA9876543210";
  ids[15] = "00000000000000FF";

  Result r = RunCli({"ids", "--port", controller.path()}, &controller);
  ASSERT_EQ(r.code, 0) << r.err;
  std::string expected;
  for (int k = 1; k <= 16; ++k) {
    const std::string& id = ids[static_cast<std::size_t>(k - 1)];
    const bool shown = k == 1 || k == 4 || k == 16;
    expected += "ID" + std::to_string(k) + ":" + (shown ? " " + id : std::string()) + "\n";
  }
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, "vemtaro-cli: " + controller.path() + ": Значение неверно\n");

  // --into: the file's other settings stay, every position takes the reply.
  Bytes image = ImageOf(DesktopFile(15));
  const std::string old = "1111111111111111";
  std::copy(old.begin(), old.end(), image.begin() + static_cast<std::ptrdiff_t>(layout::IdentifierField(2)));
  image[295] = 'Z';
  WriteFile(Path("f.dat"), WithImage(DesktopFile(15), image));
  r = RunCli({"ids", "--into", Path("f.dat"), "--port", controller.path()}, &controller);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, expected);
  const Bytes stored = ImageOf(ReadFile(Path("f.dat")));
  ASSERT_EQ(stored.size(), image.size());
  for (std::size_t k = 1; k <= 16; ++k) {
    const std::size_t at = layout::IdentifierField(k);
    const std::string want = k == 1 || k == 4 || k == 16 ? ids[k - 1] : std::string(layout::kIdentifierLength, '*');
    EXPECT_EQ(Field(stored, at, layout::kIdentifierLength), want) << "ID" << k;
    std::copy(want.begin(), want.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
  }
  EXPECT_EQ(stored, image);
  EXPECT_EQ(Files(), std::vector<std::string>{"f.dat"});
}

TEST_F(CliDevice, StatusShowsTheControllersState) {
  TestController controller(ControllerOptions(15));
  ASSERT_TRUE(controller.ok());
  sim::StatusBlock& status = controller.sim().status();
  status.inputs = {true, false, true, false, false, false, false, true};
  status.analog = {"512", "1", "2", "3", "4", "5", "6", "1023"};
  status.sensors = {"21.5", "-3", "", "0", "0", "0", "0", "99"};
  status.key = "0123456789ABCDEF";

  Result r = RunCli({"status", "--port", controller.path()}, &controller);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Входы: 1 0 1 0 0 0 0 1\n"
            "АЦП 1: 512\nАЦП 2: 1\nАЦП 3: 2\nАЦП 4: 3\nАЦП 5: 4\nАЦП 6: 5\nАЦП 7: 6\nАЦП 8: 1023\n"
            "Датчик 1: 21.5\nДатчик 2: -3\nДатчик 3:\nДатчик 4: 0\nДатчик 5: 0\nДатчик 6: 0\nДатчик 7: 0\n"
            "Датчик 8: 99\n"
            "Ключ TouchMemory: 0123456789ABCDEF\n");
  EXPECT_EQ(r.err, "");

  r = RunCli({"status", "--port", controller.path(), "--json"}, &controller);
  ASSERT_EQ(r.code, 0) << r.err;
  std::string compact;
  for (char c : r.out) {
    if (c != ' ' && c != '\n') compact += c;
  }
  EXPECT_EQ(compact,
            "{\"analog\":[\"512\",\"1\",\"2\",\"3\",\"4\",\"5\",\"6\",\"1023\"],"
            "\"inputs\":[true,false,true,false,false,false,false,true],"
            "\"key\":\"0123456789ABCDEF\","
            "\"sensors\":[\"21.5\",\"-3\",\"\",\"0\",\"0\",\"0\",\"0\",\"99\"]}");
}

TEST_F(CliDevice, RelaysSendTheWholePatternInOneCommand) {
  TestController controller(ControllerOptions(15));
  ASSERT_TRUE(controller.ok());
  const Result r = RunCli({"relays", "10100001", "--port", controller.path()}, &controller);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string& sent = controller.received();
  // The handshake, the relay command, the end.
  ASSERT_NE(sent.find("PC_OK"), std::string::npos) << sent;
  EXPECT_EQ(sent.rfind("BYE", 0), 0u) << sent;
  EXPECT_EQ(sent.substr(sent.find("PC_OK")), "PC_OKRELESET\n10100001\nBYE");
  EXPECT_EQ(controller.sim().relays(), (std::array<bool, 8>{true, false, true, false, false, false, false, true}));
}

// ---- failures ---------------------------------------------------------------

// A fault of vemtaro-sim, the command it spoils and the program's message.
struct FaultCase {
  const char* name;
  std::vector<std::string> sim;
  std::vector<std::string> cli;  // the command and its arguments; "@" stands for the test's folder
  std::string message;           // on standard error
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c) { return out << c.name; }

class CliDeviceFault : public CliDevice, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CliDeviceFault, EndsWithExit1AndTheProgramsMessage) {
  const FaultCase& c = GetParam();
  WriteFile(Path("in.dat"), EditedFile(15));
  // A read that fails leaves an earlier file as it is.
  const std::string previous = "an earlier file that stays as it is";
  WriteFile(Path("out.dat"), previous);
  SimProcess sim(c.sim);
  ASSERT_FALSE(sim.path().empty());
  std::vector<std::string> args{c.cli.front(), "--port", sim.path()};
  for (std::size_t i = 1; i < c.cli.size(); ++i) {
    args.push_back(c.cli[i].rfind("@/", 0) == 0 ? Path(c.cli[i].substr(2)) : c.cli[i]);
  }
  const Result r = RunCli(args);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
  EXPECT_EQ(ReadFile(Path("out.dat")), previous);
  EXPECT_EQ(Files(), (std::vector<std::string>{"in.dat", "out.dat"}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Faults, CliDeviceFault,
    ::testing::Values(FaultCase{"NoLoadOk",
                                {"--no-load-ok"},
                                {"read", "-o", "@/out.dat"},
                                ": Ошибка соединения с устройством !\nКод ошибки: 93\n"},
                      FaultCase{"WrongChecksum",
                                {"--bad-checksum"},
                                {"read", "-o", "@/out.dat"},
                                ": Значения не установлены!\nНеверная контольная сумма\n"},
                      FaultCase{"ShortImage",
                                {"--short-image", "5000"},
                                {"read", "-o", "@/out.dat"},
                                ": Значения не установлены!\nНесоответствие длинн массивов\n"},
                      FaultCase{"Silence",
                                {"--silent"},
                                {"read", "-o", "@/out.dat", "--connect-timeout", "2"},
                                "the controller did not answer (no connection within 2 s)"},
                      FaultCase{"Garbage",
                                {"--garbage", "7"},
                                {"read", "-o", "@/out.dat", "--connect-timeout", "2"},
                                "the controller did not answer (no connection within 2 s)"},
                      FaultCase{"FirmwareTooOld",
                                {"--version-text", "GSM-ALARM 05"},
                                {"clock"},
                                ": Устаревшая версия прошивки контроллера\nКод ошибки: 91\n"},
                      FaultCase{"UnreadableVersion",
                                {"--version-text", "GSM-ALARMx5y"},
                                {"clock"},
                                ": 'x5y' is not a valid integer value\n"},
                      FaultCase{"VersionWithoutProfile",
                                {"--version-text", "GSM-ALARM 09"},
                                {"status"},
                                "reports firmware version 9 (\"GSM-ALARM 09\"), which this program does not support"},
                      FaultCase{"AckDroppedThreeTimes",
                                {"--drop-ack", "100", "--drop-count", "3"},
                                {"write", "@/in.dat"},
                                "Ошибка передачи данных!\n"},
                      FaultCase{"AckFarTooLate",
                                {"--late-ack", "100", "--late-ms", "2500"},
                                {"write", "@/in.dat"},
                                "Ошибка передачи данных!\n"},
                      FaultCase{
                          "NoFinalSaveOk", {"--no-final-save-ok"}, {"write", "@/in.dat"}, "Ошибка передачи данных!\n"},
                      FaultCase{"HangUpDuringAWrite",
                                {"--hang-up", "300"},
                                {"write", "@/in.dat", "--verify", "--no-backup"},
                                "Ошибка передачи данных!\n"},
                      FaultCase{"HangUpAtTheFirstByte",
                                {"--hang-up", "0"},
                                {"write", "@/in.dat", "--no-backup"},
                                "Ошибка передачи данных!\n"},
                      FaultCase{"HangUpAtTheLastByte",
                                {"--hang-up", "5483"},
                                {"write", "@/in.dat", "--no-backup"},
                                "Ошибка передачи данных!\n"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(CliDevice, AWriteOvercomesOneLostAndOneLateAcknowledgement) {
  const std::vector<std::vector<std::string>> faults = {
      {"--drop-ack", "100"},
      {"--late-ack", "100", "--late-ms", "500"},
  };
  const std::string file = EditedFile(13);
  WriteFile(Path("in.dat"), file);
  for (const auto& fault : faults) {
    SCOPED_TRACE(Joined(fault));
    std::vector<std::string> options{"--firmware", "13", "--save", Path("kept.dat")};
    options.insert(options.end(), fault.begin(), fault.end());
    SimProcess sim(options);
    ASSERT_FALSE(sim.path().empty());
    const Result r = RunCli({"write", Path("in.dat"), "--port", sim.path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(AfterBackupLine(r.err), WriteSummary(Path("in.dat"), sim.path(), 13, true));
    ASSERT_EQ(sim.Stop(), 0);
    EXPECT_EQ(ImageOf(ReadFile(Path("kept.dat"))), Checksummed(ImageOf(file)));
  }
}

TEST_F(CliDevice, ALineThatGoesAwayDuringAReadWritesNothing) {
  TestController controller(ControllerOptions(15));
  ASSERT_TRUE(controller.ok());
  controller.HangUpAfter(2000);  // past the handshake, inside the image
  WriteFile(Path("out.dat"), "an earlier file");
  const Result r = RunCli({"read", "--port", controller.path(), "-o", Path("out.dat")}, &controller);
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "Нет связи с портом " + controller.path())) << r.err;
  EXPECT_EQ(ReadFile(Path("out.dat")), "an earlier file");
  EXPECT_EQ(Files(), std::vector<std::string>{"out.dat"});
}

// A line that goes away while the image goes out leaves the controller with
// part of it: the command says so, as the desktop program does, whether the
// controller acknowledges each byte (15) or not (10).
TEST_F(CliDevice, ALineThatGoesAwayDuringAWriteSaysTheControllerMayHoldPartOfIt) {
  for (const int version : {10, 15}) {
    SCOPED_TRACE(version);
    TestController controller(ControllerOptions(version));
    ASSERT_TRUE(controller.ok());
    controller.HangUpAfterReceiving(1500);  // past the handshake and "SAVE\n", inside the image
    WriteFile(Path("in.dat"), EditedFile(version));
    const Result r = RunCli({"write", Path("in.dat"), "--port", controller.path()}, &controller);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Contains(r.err, "vemtaro-cli: " + controller.path() + ": Нет связи с портом " + controller.path()))
        << r.err;
    EXPECT_TRUE(Contains(r.err, "Контроллер может хранить неполную конфигурацию: повторите запись.\n")) << r.err;
    EXPECT_FALSE(Contains(r.err, "wrote ")) << r.err;
  }
}

// A port this user may not open (on Linux, not in the group "dialout") is
// not called busy without a word: the box says why and what helps. The user
// is played by "nobody" on a terminal only root may open.
TEST_F(CliDevice, APortTheUserMayNotOpenSaysWhyAndWhatHelps) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  TestController controller(ControllerOptions(15));
  ASSERT_TRUE(controller.ok());
  ASSERT_EQ(::chown(controller.path().c_str(), 0, 0), 0);
  ASSERT_EQ(::chmod(controller.path().c_str(), 0600), 0);
  int err[2];
  ASSERT_TRUE(Pipe(err));
  std::string program = VEMTARO_CLI_PATH;
  std::vector<std::string> args{program, "clock", "--port", controller.path(), "--connect-timeout", "2"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    constexpr uid_t kNobody = 65534;
    ::dup2(err[1], STDERR_FILENO);
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0) {
      ::_exit(99);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(98);
  }
  ::close(err[1]);
  std::string text;
  char buffer[4096];
  for (;;) {
    pollfd fd{err[0], POLLIN, 0};
    if (::poll(&fd, 1, kRunDeadlineMs) <= 0) break;
    const ssize_t n = ::read(err[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(err[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << text;
  EXPECT_TRUE(Contains(text, "vemtaro-cli: " + controller.path() +
                                 ": Порт занят\nНет доступа к порту: у пользователя нет прав на его открытие.\n"
                                 "В Linux добавьте пользователя в группу dialout (sudo usermod -aG dialout $USER) и "
                                 "войдите в систему заново.\n"))
      << text;
  EXPECT_EQ(controller.received(), "") << "nothing was sent";
}

TEST_F(CliDevice, APortThatIsNotThereIsReported) {
  const std::string missing = Path("no-such-tty");
  const Result r = RunCli({"clock", "--port", missing});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(Contains(r.err, "vemtaro-cli: " + missing + ": Порт не найден\n")) << r.err;
}

// ---- usage and files ---------------------------------------------------------

TEST_F(CliDevice, WrongUsageAndUnusableFilesSendNothing) {
  WriteFile(Path("good.dat"), DesktopFile(15));
  WriteFile(Path("bad.dat"), "not a settings file");
  std::string damaged = DesktopFile(15);
  damaged[damaged.size() - 5484 + 5005] = 'G';  // Rele3 is no hexadecimal pair
  WriteFile(Path("damaged.dat"), damaged);
  // The port exists nowhere: a case that got past its checks would exit with 1.
  const std::string port = Path("no-such-tty");
  struct Case {
    std::vector<std::string> args;
    int code;
  };
  const std::vector<Case> cases = {
      {{"read", "-o", Path("out.dat")}, 2},
      {{"read", "--port", port}, 2},
      {{"read", "--port", port, "-o", Path("out.dat"), "extra"}, 2},
      {{"read", "--port", port, "-o", Path("out.dat"), "--connect-timeout", "0"}, 2},
      {{"clock", "--port", port, "--connect-timeout", "x"}, 2},
      {{"clock", "--port", port, "--reply-timeout", "-1"}, 2},
      {{"write", "--port", port}, 2},
      {{"write", "--port", port, Path("good.dat"), Path("good.dat")}, 2},
      {{"relays", "--port", port}, 2},
      {{"relays", "1010", "--port", port}, 2},
      {{"relays", "10100002", "--port", port}, 2},
      {{"status", "--port", port, "--bogus"}, 2},
      {{"ports", "extra"}, 2},
      {{"write", Path("missing.dat"), "--port", port}, 3},
      {{"write", Path("bad.dat"), "--port", port}, 3},
      {{"write", Path("damaged.dat"), "--port", port}, 3},
      {{"ids", "--into", Path("bad.dat"), "--port", port}, 3},
  };
  for (const Case& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_EQ(r.code, c.code) << Joined(c.args) << "\n" << r.err;
    EXPECT_EQ(r.out, "") << Joined(c.args);
    EXPECT_NE(r.err, "") << Joined(c.args);
    EXPECT_FALSE(Contains(r.err, "Порт не найден")) << Joined(c.args);
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"bad.dat", "damaged.dat", "good.dat"}));
}

TEST_F(CliDevice, HelpOfTheCommands) {
  for (const std::string command : {"read", "write", "clock", "ids", "status", "relays"}) {
    const Result r = RunCli({command, "--help"});
    EXPECT_EQ(r.code, 0) << command;
    EXPECT_TRUE(Contains(r.out, "--port <DEV>")) << command;
    EXPECT_TRUE(Contains(r.out, "--connect-timeout <S>")) << command;
    EXPECT_TRUE(Contains(r.out, "Exit codes")) << command;
  }
  // The waits for a reply: the identifiers 110 s and the clock's reply 220 s
  // as in the desktop program, the status block a minute.
  for (const auto& [command, seconds] :
       std::vector<std::pair<std::string, std::string>>{{"ids", "110"}, {"clock", "220"}, {"status", "60"}}) {
    const Result r = RunCli({command, "--help"});
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("--reply-timeout <S> +Seconds to wait for the controller's reply\\s+\\(default\\s+" +
                          seconds + "\\)")))
        << r.out;
  }
  const Result ports = RunCli({"ports", "--help"});
  EXPECT_EQ(ports.code, 0);
  const Result all = RunCli({"--help"});
  for (const char* command : {"read", "write", "clock", "ids", "status", "relays", "ports"}) {
    EXPECT_TRUE(Contains(all.out, std::string("\n  ") + command + " ")) << command;
  }
  // Listing the ports works whatever the computer has.
  EXPECT_EQ(RunCli({"ports"}).code, 0);
}

// ---- the command blocks of the README and the user guide ---------------------

// Blocks that cannot run here, by a word they hold: the scripts (the test
// command itself), the build by hand and the package (run by the test command
// and scripts/package_check.sh), and changes to the system (sudo).
constexpr const char* kNotRunHere[] = {"./scripts/", "cmake ", "cpack", "sudo "};

// Ends what a block left running in the background (the simulator of an
// example) when the block's shell ends, keeping its exit code.
constexpr const char* kStopChildren =
    "trap 'status=$?; for child in $(ps -o pid= --ppid $$); do kill $child 2>/dev/null || true; done; exit $status' "
    "EXIT";

// The fenced "sh" blocks of a Markdown text.
std::vector<std::string> ShellBlocks(const std::string& markdown) {
  std::vector<std::string> blocks;
  std::optional<std::string> open;
  std::istringstream in(markdown);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("```", 0) == 0) {
      if (open) {
        blocks.push_back(*open);
        open.reset();
      } else if (line == "```sh") {
        open = std::string();
      }
    } else if (open) {
      *open += line + "\n";
    }
  }
  return blocks;
}

// Every command block of the README and of the user guide that can run here
// runs as written, in order, in a folder of its own: the controller commands
// against the strict simulator (in place of /dev/ttyUSB0), the simulator's
// own lines each as a simulator that starts and stops cleanly.
TEST_F(CliDevice, EveryCommandBlockOfTheReadmeAndTheGuideRuns) {
  const fs::path root = fs::path(__FILE__).parent_path().parent_path().parent_path();
  const std::string cli = VEMTARO_CLI_PATH;
  fs::create_directories(Path("bin"));
  fs::create_symlink(cli, Path("bin") + "/vemtaro-cli");
  fs::create_symlink(SimPath(), Path("bin") + "/vemtaro-sim");
  struct Doc {
    const char* path;
    std::size_t blocks;  // blocks that run here
  };
  for (const Doc& doc : {Doc{"README.md", 5}, Doc{"docs/guide.md", 5}}) {
    SCOPED_TRACE(doc.path);
    const fs::path folder = dir_ / fs::path(doc.path).stem();
    fs::create_directories(folder);
    for (const char* name : {"a.dat", "b.dat", "site.dat"}) WriteFile(folder / name, DesktopFile(15));
    SimProcess sim({"--firmware", "15"});
    ASSERT_FALSE(sim.path().empty());
    std::size_t ran = 0;
    for (std::string block : ShellBlocks(ReadFile(root / doc.path))) {
      if (std::any_of(std::begin(kNotRunHere), std::end(kNotRunHere),
                      [&](const char* word) { return Contains(block, word); })) {
        continue;
      }
      ++ran;
      SCOPED_TRACE(block);
      // The simulator's lines run until stopped: each is started and stopped.
      if (block.rfind("vemtaro-sim ", 0) == 0 && !Contains(block, "&")) {
        std::istringstream lines(block);
        for (std::string line; std::getline(lines, line);) {
          std::istringstream words(line.substr(0, line.find('#')));
          std::vector<std::string> args;
          for (std::string word; words >> word;) {
            if (word == "vemtaro-sim") continue;
            args.push_back(word.ends_with(".dat") ? (folder / word).string() : word);
          }
          SimProcess simulator(args);
          EXPECT_EQ(simulator.path().rfind("/dev/pts/", 0), 0u) << line;
          EXPECT_EQ(simulator.Stop(), 0) << line << ": " << simulator.Errors();
        }
        continue;
      }
      block = std::regex_replace(block, std::regex("/dev/ttyUSB0"), sim.path());
      block = std::regex_replace(block, std::regex("/tmp/sim\\.txt"), "sim.txt");
      const std::string script = "cd " + Sh(folder.string()) + " && PATH=" + Sh(Path("bin")) + ":\"$PATH\" && " +
                                 kStopChildren + " && set -e\n" + block;
      const std::string command =
          "sh -c " + Sh(script) + " >" + Sh(Path("out.txt")) + " 2>" + Sh(Path("err.txt")) + " </dev/null";
      const int status = std::system(command.c_str());
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(Path("err.txt"));
    }
    EXPECT_EQ(ran, doc.blocks);
    EXPECT_EQ(sim.Stop(), 0) << sim.Errors();
  }
}

}  // namespace
}  // namespace vemtaro

#else

TEST(CliDevice, NeedsPseudoTerminals) { GTEST_SKIP() << "vemtaro-sim runs on POSIX systems only"; }

#endif
