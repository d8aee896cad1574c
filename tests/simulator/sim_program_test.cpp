// Runs the built vemtaro-sim and talks to it through its pseudo-terminal as
// the PC's program does.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include <filesystem>

#include "files/settings_file.h"
#include "model/dialogs.h"
#include "model/image.h"
#include "model/profiles.h"
#include "program_testing.h"
#include "sim/controller_sim.h"
#include "window/main_model.h"

extern char** environ;

namespace {

using vemtaro::Bytes;
using vemtaro::program_testing::Contains;
using vemtaro::program_testing::ReadFile;
using vemtaro::program_testing::WriteFile;
using Clock = std::chrono::steady_clock;

// Guard against a dead program: no wait below ever expects to need this long.
constexpr int kWaitMs = 5000;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The program started with its output on a pipe and its error output in
// errorPath (or nowhere); killed if a test fails early.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& options, const std::string& errorPath = "") {
    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    if (errorPath.empty()) {
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    } else {
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    std::vector<std::string> args{VEMTARO_SIM_PATH};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, VEMTARO_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    output_ = fds[0];
  }
  ~SimProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool started() const { return pid_ > 0 && output_ >= 0; }

  // Standard output up to its end (or up to the first line with firstLine).
  std::string ReadOutput(bool firstLine) {
    std::string text;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
    for (;;) {
      if (firstLine && text.find('\n') != std::string::npos) return text.substr(0, text.find('\n'));
      pollfd fd{output_, POLLIN, 0};
      if (::poll(&fd, 1, RemainingMs(deadline)) <= 0) return text;
      char buffer[256];
      const ssize_t n = ::read(output_, buffer, sizeof buffer);
      if (n <= 0) return text;
      text.append(buffer, static_cast<std::size_t>(n));
    }
  }

  // Waits for the program to end by itself, at most kWaitMs: its exit code,
  // or -1 when it did not exit normally or had to be killed.
  int Ended() {
    if (pid_ <= 0) return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
      pollfd none{-1, 0, 0};
      ::poll(&none, 0, 10);
    }
    if (done == 0) return -1;  // still running: killed by the destructor
    pid_ = -1;
    if (done < 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  // Sends the signal (none: only waits) and returns the exit code, or -1 when
  // the program did not exit normally.
  int Stop(int signal) {
    if (pid_ <= 0) return -1;
    if (signal != 0) ::kill(pid_, signal);
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, 0);
    pid_ = -1;
    if (done <= 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

// The PC's end: the slave side of the terminal, raw.
class Port {
 public:
  explicit Port(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) return;
    termios mode{};
    ::tcgetattr(fd_, &mode);
    ::cfmakeraw(&mode);
    ::tcsetattr(fd_, TCSANOW, &mode);
  }
  ~Port() {
    if (fd_ >= 0) ::close(fd_);
  }
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  bool open() const { return fd_ >= 0; }
  std::string& received() { return received_; }

  void Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Reads until done(received) holds or waitMs pass; whether it holds.
  bool WaitFor(const std::function<bool(const std::string&)>& done, int waitMs = kWaitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (!done(received_)) {
      pollfd fd{fd_, POLLIN, 0};
      if (::poll(&fd, 1, RemainingMs(deadline)) <= 0) return false;
      char buffer[8192];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return false;
      received_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }
  bool WaitForText(std::string_view text) {
    return WaitFor([text](const std::string& got) { return got.find(text) != std::string::npos; });
  }
  bool WaitForBytes(std::size_t count) {
    return WaitFor([count](const std::string& got) { return got.size() >= count; });
  }

 private:
  int fd_ = -1;
  std::string received_;
};

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The image a freshly started tool holds for a version, with the tree texts.
struct Defaults {
  Bytes image;
  std::string tree1;
  std::string tree2;
};
Defaults DefaultsOf(int version) {
  vemtaro::SilentDialogs dialogs;
  vemtaro::MainModel model(dialogs);
  model.Startup();
  model.ApplyProfile(version);
  Defaults defaults{model.ws.working.bytes(), "", ""};
  const auto file = model.SettingsFileBytes();
  if (file) {
    const auto parse = vemtaro::ParseSettingsFile(*file);
    if (parse.data) {
      defaults.tree1 = parse.data->tree1;
      defaults.tree2 = parse.data->tree2;
    }
  }
  return defaults;
}

// The image as the controller delivers it: a version with a checksum sends a
// matching last byte.
Bytes AsDelivered(Bytes image, int version) {
  const auto* profile = vemtaro::FindProfile(version);
  if (profile != nullptr && profile->checksum) image.back() = vemtaro::ImageChecksum(image);
  return image;
}

// Waits for a probe, answers it and takes the version; returns the "Ver." line.
std::string Connect(Port& port) {
  if (!port.WaitForText("ATI\r")) return "no probe";
  port.Send("PC\r\n");
  const bool versionCame = port.WaitFor([](const std::string& got) {
    const auto at = got.find("Ver.");
    return at != std::string::npos && got.find("\r\n", at) != std::string::npos;
  });
  if (!versionCame) return "no version";
  const std::string& got = port.received();
  const auto at = got.find("Ver.");
  const std::string line = got.substr(at, got.find("\r\n", at) + 2 - at);
  port.received().clear();
  port.Send("PC_OK");
  return line;
}

// "LOAD\n" and the whole answer; the image, or what came instead.
std::string Load(Port& port, std::size_t imageLength) {
  port.received().clear();
  port.Send("LOAD\n");
  const std::string frame = "LOAD_OK\r\n";
  if (!port.WaitForBytes(frame.size() * 2 + imageLength)) return "short answer: " + port.received();
  const std::string& got = port.received();
  if (got.size() != frame.size() * 2 + imageLength || got.compare(0, frame.size(), frame) != 0 ||
      got.compare(got.size() - frame.size(), frame.size(), frame) != 0) {
    return "bad framing";
  }
  return got.substr(frame.size(), imageLength);
}

// "SAVE\n" and the image as the PC writes it; whether the final "SAVE_OK" came.
bool Save(Port& port, const Bytes& image, int version) {
  port.received().clear();
  port.Send("SAVE\n");
  if (!port.WaitForText("SAVE_OK\r\n")) return false;
  port.received().clear();
  if (vemtaro::versions::AcknowledgedBytes(version)) {
    for (std::uint8_t byte : image) {
      port.Send(std::string(1, static_cast<char>(byte)));
      if (!port.WaitForBytes(1) || port.received()[0] != 'o') return false;
      port.received().erase(0, 1);
    }
  } else {
    std::string bytes;
    for (std::uint8_t byte : image) {
      bytes.push_back(static_cast<char>(byte));
      bytes.push_back('\n');
    }
    port.Send(bytes);
  }
  return port.WaitForText("SAVE_OK\r\n") && port.received() == "SAVE_OK\r\n";
}

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "vemtaro_sim_" + std::to_string(::getpid()) + "_" + name;
}

// "ID\n" and its whole answer: once it has come, everything sent before it
// has been taken by the controller.
bool RoundTrip(Port& port) {
  port.received().clear();
  port.Send("ID\n");
  return port.WaitForBytes(258) && port.received().size() == 258;
}

// A changed copy: a few bytes spread over the image take new values.
Bytes Modified(Bytes image) {
  for (std::size_t i = 0; i < image.size(); i += 397) image[i] = static_cast<std::uint8_t>(image[i] ^ 0xA5);
  image[1] = 0;
  image[2] = '\n';
  image[3] = 0xFF;
  return image;
}

struct SessionCase {
  const char* name;
  std::vector<std::string> options;
  int version;              // the version the controller behaves as
  std::string versionLine;  // its answer to "PC\r\n"
};

void PrintTo(const SessionCase& c, std::ostream* os) { *os << c.name; }

class SimSession : public ::testing::TestWithParam<SessionCase> {};

// Probing, the version, reading the default image, writing a changed image and
// reading it back, and a clean stop.
TEST_P(SimSession, KeepsWhatItIsSent) {
  const SessionCase& c = GetParam();
  std::vector<std::string> options = c.options;
  options.insert(options.end(), {"--probe-interval", "20"});
  SimProcess sim(options);
  ASSERT_TRUE(sim.started());
  const std::string path = sim.ReadOutput(true);
  ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
  Port port(path);
  ASSERT_TRUE(port.open()) << path;

  const std::string line = Connect(port);
  EXPECT_EQ(line, c.versionLine);
  // The PC reads the version from characters 10..12 of the text after "Ver.".
  ASSERT_GE(line.size(), 4u + 12u);
  EXPECT_EQ(std::stoi(line.substr(4 + 9, 3)), c.version);

  const std::size_t length = vemtaro::sim::ImageLengthOf(c.version);
  const Bytes expected = AsDelivered(DefaultsOf(c.version).image, c.version);
  ASSERT_EQ(expected.size(), length);
  EXPECT_EQ(Load(port, length), AsText(expected));

  const Bytes changed = AsDelivered(Modified(expected), c.version);
  ASSERT_TRUE(Save(port, changed, c.version)) << port.received().size();
  EXPECT_EQ(Load(port, length), AsText(changed));

  EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, SimSession,
    ::testing::Values(SessionCase{"v15", {}, 15, "Ver.GSM-ALARM 15\r\n"},
                      SessionCase{"v12", {"--firmware", "12"}, 12, "Ver.GSM-ALARM 12\r\n"},
                      SessionCase{"v11", {"--firmware", "11"}, 11, "Ver.GSM-ALARM 11\r\n"},
                      SessionCase{"text", {"--version-text", "MY-DEVICE 13 rev.B"}, 13, "Ver.MY-DEVICE 13 rev.B\r\n"}),
    [](const ::testing::TestParamInfo<SessionCase>& info) { return std::string(info.param.name); });

struct LoadFaultCase {
  const char* name;
  std::vector<std::string> options;
  std::function<std::string(const Bytes&)> expected;  // answer to "LOAD\n" from the delivered image
};

TEST(SimProgram, LoadFaultsShapeTheAnswer) {
  const Bytes image = AsDelivered(DefaultsOf(15).image, 15);
  const std::string frame = "LOAD_OK\r\n";
  const std::vector<LoadFaultCase> cases = {
      {"short image",
       {"--short-image", "100"},
       [&](const Bytes& b) { return frame + AsText(b).substr(0, 100) + frame; }},
      {"bad checksum",
       {"--bad-checksum"},
       [&](const Bytes& b) {
         Bytes wrong = b;
         if (!wrong.empty()) wrong.back() = static_cast<std::uint8_t>(vemtaro::ImageChecksum(b) + 1);
         return frame + AsText(wrong) + frame;
       }},
      {"hang-up", {"--hang-up", "50"}, [&](const Bytes& b) { return frame + AsText(b).substr(0, 50); }},
  };
  for (const LoadFaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"--probe-interval", "20"});
    SimProcess sim(options);
    ASSERT_TRUE(sim.started());
    Port port(sim.ReadOutput(true));
    ASSERT_TRUE(port.open());
    ASSERT_EQ(Connect(port), "Ver.GSM-ALARM 15\r\n");
    const std::string expected = c.expected(image);
    port.Send("LOAD\n");
    ASSERT_TRUE(port.WaitForBytes(expected.size()));
    EXPECT_EQ(port.received(), expected);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
  }
}

TEST(SimProgram, SilentSendsNothing) {
  SimProcess sim({"--silent", "--probe-interval", "5"});
  ASSERT_TRUE(sim.started());
  Port port(sim.ReadOutput(true));
  ASSERT_TRUE(port.open());
  EXPECT_FALSE(port.WaitFor([](const std::string& got) { return !got.empty(); }, 300)) << port.received();
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// The port may be opened and closed again and again; the program goes on
// probing and ends cleanly on either stop signal.
TEST(SimProgram, ServesReopenedPortAndStopsOnSignal) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    SimProcess sim({"--probe-interval", "10"});
    ASSERT_TRUE(sim.started());
    const std::string path = sim.ReadOutput(true);
    for (int round = 0; round < 3; ++round) {
      Port port(path);
      ASSERT_TRUE(port.open());
      ASSERT_TRUE(port.WaitForText("ATI\r"));
    }
    EXPECT_EQ(sim.Stop(signal), 0);
  }
}

// The image comes from a settings file and goes back into one at exit, with
// what was written to the controller in between.
TEST(SimProgram, ImageFromFileAndSavedAtExit) {
  const Defaults defaults = DefaultsOf(14);
  const Bytes custom = AsDelivered(Modified(defaults.image), 14);
  const std::string input = TempPath("in.dat");
  const std::string output = TempPath("out.dat");
  {
    const auto bytes = vemtaro::WriteSettingsFile(14, defaults.tree1, defaults.tree2, custom);
    ASSERT_TRUE(bytes.has_value());
    WriteFile(input, *bytes);
  }
  SimProcess sim({"--image", input, "--save", output, "--probe-interval", "20"});
  ASSERT_TRUE(sim.started());
  Port port(sim.ReadOutput(true));
  ASSERT_TRUE(port.open());
  // Without --firmware the controller takes the file's version.
  EXPECT_EQ(Connect(port), "Ver.GSM-ALARM 14\r\n");
  const std::size_t length = vemtaro::sim::ImageLengthOf(14);
  EXPECT_EQ(Load(port, length), AsText(custom));
  const Bytes written = AsDelivered(defaults.image, 14);
  ASSERT_TRUE(Save(port, written, 14));
  EXPECT_EQ(sim.Stop(SIGTERM), 0);

  const auto parse = vemtaro::ParseSettingsFile(ReadFile(output));
  ASSERT_TRUE(parse.data.has_value()) << parse.error.message;
  EXPECT_EQ(parse.data->version, 14);
  EXPECT_EQ(parse.data->tree1, defaults.tree1);
  EXPECT_EQ(parse.data->tree2, defaults.tree2);
  ASSERT_TRUE(parse.data->image.has_value());
  EXPECT_EQ(*parse.data->image, written);
  std::remove(input.c_str());
  std::remove(output.c_str());
}

// A PC that keeps the protocol: every exchange, no violation, exit 0.
TEST(SimProgram, StrictSessionWithoutViolation) {
  const std::string errors = TempPath("strict_clean.txt");
  SimProcess sim({"--strict", "--probe-interval", "20"}, errors);
  ASSERT_TRUE(sim.started());
  Port port(sim.ReadOutput(true));
  ASSERT_TRUE(port.open());
  port.Send("BYE");  // as the PC does right after opening its port
  ASSERT_EQ(Connect(port), "Ver.GSM-ALARM 15\r\n");

  const std::size_t length = vemtaro::sim::ImageLengthOf(15);
  const Bytes held = AsDelivered(DefaultsOf(15).image, 15);
  EXPECT_EQ(Load(port, length), AsText(held)) << "the image held at start has its checksum";
  const Bytes changed = AsDelivered(Modified(held), 15);
  ASSERT_TRUE(Save(port, changed, 15));
  EXPECT_EQ(Load(port, length), AsText(changed));

  port.received().clear();
  port.Send("TIME\n");
  ASSERT_TRUE(port.WaitForText("TIME_OK\r\n"));
  port.received().clear();
  port.Send("09:05:07\n08-12-26\n");
  ASSERT_TRUE(port.WaitForText("\r\n"));
  EXPECT_EQ(port.received().substr(0, 17), "09:05:07*08-12-26");
  port.received().clear();
  port.Send("STAT\n");
  ASSERT_TRUE(port.WaitForText("ENDSTATUS\r\n"));
  port.Send("RELESET\n");
  port.Send("10100001\n");
  ASSERT_TRUE(RoundTrip(port));
  port.Send("BYE");

  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_EQ(ReadFile(errors), "vemtaro-sim: 0 protocol violations\n");
  std::remove(errors.c_str());
}

struct StrictCase {
  const char* name;
  std::function<void(Port&)> breakRule;  // connected; ends with the controller having taken it all
  std::string violation;
};

// Each violation is printed at once; at the stop their number, and exit 3.
TEST(SimProgram, StrictViolationEndsWithExitThree) {
  Bytes wrongSum = AsDelivered(DefaultsOf(15).image, 15);
  wrongSum.back() = static_cast<std::uint8_t>(wrongSum.back() + 1);
  char sums[64];
  std::snprintf(sums, sizeof sums, "is 0x%02x, the image sums to 0x%02x", static_cast<unsigned>(wrongSum.back()),
                static_cast<unsigned>(vemtaro::ImageChecksum(wrongSum)));
  const std::vector<StrictCase> cases = {
      {"probe answered while connected",
       [](Port& port) {
         port.Send("PC\r\n");
         ASSERT_TRUE(RoundTrip(port));
       },
       "connected: unexpected \"PC\\r\\n\" (50 43 0d 0a) where a command should begin"},
      {"wrong checksum byte", [&](Port& port) { ASSERT_TRUE(Save(port, wrongSum, 15)); },
       std::string("write: checksum byte at 5483 ") + sums},
      {"bad relay line",
       [](Port& port) {
         port.Send("RELESET\n1\n");
         ASSERT_TRUE(RoundTrip(port));
       },
       "relays: relay line \"1\" is not eight '0'/'1' characters"},
  };
  for (const StrictCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string errors = TempPath("strict_violation.txt");
    SimProcess sim({"--strict", "--probe-interval", "20"}, errors);
    ASSERT_TRUE(sim.started());
    Port port(sim.ReadOutput(true));
    ASSERT_TRUE(port.open());
    ASSERT_EQ(Connect(port), "Ver.GSM-ALARM 15\r\n");
    c.breakRule(port);
    EXPECT_EQ(sim.Stop(SIGTERM), 3);
    EXPECT_EQ(ReadFile(errors), "vemtaro-sim: violation: " + c.violation + "\nvemtaro-sim: 1 protocol violation\n");
    std::remove(errors.c_str());
  }
}

// Below version 12 the controller measures the PC's 5 ms pauses around each
// "\n" with the times the bytes reach the terminal, give or take 1 ms. The
// first image bytes of a write, then silence: the controller gives the write
// up after 2 s and takes commands again.
TEST(SimProgram, StrictPausesBelowVersion12) {
  for (bool keepsPauses : {true, false}) {
    SCOPED_TRACE(keepsPauses ? "5 ms pauses" : "bytes 7 to 9 with their separators at once");
    const std::string errors = TempPath("strict_pauses.txt");
    SimProcess sim({"--strict", "--firmware", "11", "--probe-interval", "20"}, errors);
    ASSERT_TRUE(sim.started());
    Port port(sim.ReadOutput(true));
    ASSERT_TRUE(port.open());
    ASSERT_EQ(Connect(port), "Ver.GSM-ALARM 11\r\n");
    port.received().clear();
    port.Send("SAVE\n");
    ASSERT_TRUE(port.WaitForText("SAVE_OK\r\n"));
    for (int i = 0; i < 30; ++i) {
      const std::string byte(1, static_cast<char>('A' + i));
      if (!keepsPauses && i >= 7 && i <= 9) {
        // A program that forgets its pauses: five of them, 25 ms, well beyond
        // what a busy machine's late readings could account for.
        port.Send(byte + "\n");
        continue;
      }
      port.Send(byte);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      port.Send("\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    ASSERT_TRUE(RoundTrip(port));
    if (keepsPauses) {
      EXPECT_EQ(sim.Stop(SIGTERM), 0);
      EXPECT_EQ(ReadFile(errors), "vemtaro-sim: 0 protocol violations\n");
    } else {
      EXPECT_EQ(sim.Stop(SIGTERM), 3);
      // Over a real terminal the arrival times are measured to the ms.
      const std::string text = ReadFile(errors);
      // The first byte found early is one of those sent without their pauses;
      // which one depends on how the controller's host happened to read them
      // (a reading can hold several bytes, and a late one moves the schedule).
      const std::vector<std::string> early = {"separator after image byte 7", "image byte 8",
                                              "separator after image byte 8", "image byte 9",
                                              "separator after image byte 9", "image byte 10"};
      EXPECT_TRUE(std::any_of(early.begin(), early.end(), [&](const std::string& what) {
        return text.rfind("vemtaro-sim: violation: write: " + what + " came ", 0) == 0;
      })) << text;
      EXPECT_NE(text.find(" ms ahead of the 5 ms pauses before it (more than the tolerance of 2 ms)\n"),
                std::string::npos)
          << text;
    }
    std::remove(errors.c_str());
  }
}

TEST(SimProgram, KeepProbingUntilPcOk) {
  SimProcess sim({"--keep-probing", "--probe-interval", "20"});
  ASSERT_TRUE(sim.started());
  Port port(sim.ReadOutput(true));
  ASSERT_TRUE(port.open());
  ASSERT_TRUE(port.WaitForText("ATI\r"));
  port.Send("PC\r\n");
  ASSERT_TRUE(port.WaitForText("Ver.GSM-ALARM 15\r\n"));
  port.received().clear();
  // More probes come while the controller waits for "PC_OK".
  EXPECT_TRUE(port.WaitFor([](const std::string& got) { return got.size() >= 3 * 4; }));
  for (std::size_t at = 0; at + 4 <= port.received().size(); at += 4) {
    EXPECT_EQ(port.received().substr(at, 4), "ATI\r") << at;
  }
  port.Send("PC_OK");
  EXPECT_TRUE(RoundTrip(port));
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// The final "SAVE_OK" comes no sooner than the delay after the last byte.
TEST(SimProgram, SaveOkDelay) {
  SimProcess sim({"--save-ok-delay", "300", "--probe-interval", "20"});
  ASSERT_TRUE(sim.started());
  Port port(sim.ReadOutput(true));
  ASSERT_TRUE(port.open());
  ASSERT_EQ(Connect(port), "Ver.GSM-ALARM 15\r\n");
  const Bytes image = AsDelivered(DefaultsOf(15).image, 15);
  port.received().clear();
  port.Send("SAVE\n");
  ASSERT_TRUE(port.WaitForText("SAVE_OK\r\n"));
  port.received().clear();
  Clock::time_point lastSent;
  for (std::uint8_t byte : image) {
    lastSent = Clock::now();
    port.Send(std::string(1, static_cast<char>(byte)));
    ASSERT_TRUE(port.WaitForBytes(1));
    ASSERT_EQ(port.received(), "o");
    port.received().clear();
  }
  ASSERT_TRUE(port.WaitForText("SAVE_OK\r\n"));
  // The controller's clock counts whole ms: at worst 1 ms of the delay is lost.
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastSent).count(), 299);
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// An image is read only from a regular file no larger than a settings file
// may be: a device, a FIFO or a folder is refused before anything is read
// from it (/dev/zero never fills the memory, a FIFO never blocks), a larger
// file once a byte past the limit has been read; exit code 2, no terminal.
TEST(SimProgram, ReadsTheImageOnlyFromASettingsFileSizedRegularFile) {
  namespace fs = std::filesystem;
  const fs::path dir = vemtaro::program_testing::MakeTestFolder("vemtaro-sim-");
  const std::string fifo = (dir / "fifo.dat").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string large = (dir / "large.dat").string();
  WriteFile(large, "V15*" + std::string(vemtaro::kMaxSettingsFileBytes, '0'));
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {"/dev/zero", "not a regular file"},
      {fifo, "not a regular file"},
      {dir.string(), "is a directory"},
      {large, "the file is too large"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string errors = (dir / "errors.txt").string();
    SimProcess sim({"--image", c.path}, errors);
    ASSERT_TRUE(sim.started());
    EXPECT_EQ(sim.ReadOutput(false), "");
    EXPECT_EQ(sim.Ended(), 2);
    const std::string text = ReadFile(errors);
    EXPECT_EQ(text.rfind("vemtaro-sim: cannot read " + c.path + ": ", 0), 0u) << text;
    EXPECT_TRUE(Contains(text, c.reason)) << text;
  }
  vemtaro::program_testing::RemoveTestFolder(dir);
}

// The image saved at exit goes into a new file of the program's own, made
// beside the target, renamed over it when whole: a link planted under the
// name a save once wrote through ("FILE.part") leads nowhere, the file
// replaced keeps its permissions, nothing is left behind; a save that cannot
// be made says why and ends with 1.
TEST(SimProgram, SaveWritesNoFileButItsOwn) {
  namespace fs = std::filesystem;
  const fs::path dir = vemtaro::program_testing::MakeTestFolder("vemtaro-sim-");
  const fs::path target = dir / "out.dat";
  const fs::path victim = dir / "victim";
  WriteFile(victim, "not to be written");
  WriteFile(target, "the old file");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  fs::create_symlink(victim, dir / "out.dat.part");
  {
    SimProcess sim({"--firmware", "12", "--save", target.string()});
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(sim.ReadOutput(true).rfind("/dev/", 0), 0u);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
  }
  EXPECT_EQ(ReadFile(victim), "not to be written");
  EXPECT_TRUE(fs::is_symlink(dir / "out.dat.part"));
  const auto parse = vemtaro::ParseSettingsFile(ReadFile(target));
  ASSERT_TRUE(parse.data.has_value()) << parse.error.message;
  EXPECT_EQ(parse.data->version, 12);
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"out.dat", "out.dat.part", "victim"}));

  const std::string errors = (dir / "errors.txt").string();
  const std::string nowhere = (dir / "no-such-folder" / "out.dat").string();
  SimProcess sim({"--save", nowhere}, errors);
  ASSERT_TRUE(sim.started());
  ASSERT_EQ(sim.ReadOutput(true).rfind("/dev/", 0), 0u);
  EXPECT_EQ(sim.Stop(SIGTERM), 1);
  const std::string text = ReadFile(errors);
  EXPECT_EQ(text.rfind("vemtaro-sim: cannot write " + nowhere + ": ", 0), 0u) << text;
  vemtaro::program_testing::RemoveTestFolder(dir);
}

// File names are bytes: an image and a save named in Windows-1251 (not UTF-8)
// are read and written under exactly those names.
TEST(SimProgram, NamesItsFilesByteForByte) {
  namespace fs = std::filesystem;
  const fs::path dir = vemtaro::program_testing::MakeTestFolder("vemtaro-sim-");
  const std::string input = dir.string() + "/\xCF\xF0\xE8\xEC\xE5\xF0.dat";  // "Пример.dat"
  const std::string output = dir.string() + "/\xCA\xEE\xEF\xE8\xFF.dat";     // "Копия.dat"
  const Defaults defaults = DefaultsOf(13);
  const Bytes custom = AsDelivered(Modified(defaults.image), 13);
  WriteFile(input, vemtaro::WriteSettingsFile(13, defaults.tree1, defaults.tree2, custom).value_or(""));
  SimProcess sim({"--image", input, "--save", output, "--probe-interval", "20"});
  ASSERT_TRUE(sim.started());
  Port port(sim.ReadOutput(true));
  ASSERT_TRUE(port.open());
  EXPECT_EQ(Connect(port), "Ver.GSM-ALARM 13\r\n");
  EXPECT_EQ(Load(port, vemtaro::sim::ImageLengthOf(13)), AsText(custom));
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  const auto parse = vemtaro::ParseSettingsFile(ReadFile(output));
  ASSERT_TRUE(parse.data.has_value()) << parse.error.message;
  ASSERT_TRUE(parse.data->image.has_value());
  EXPECT_EQ(*parse.data->image, custom);
  vemtaro::program_testing::RemoveTestFolder(dir);
}

TEST(SimProgram, RefusesBadArguments) {
  const std::vector<std::vector<std::string>> cases = {
      {"--firmware", "9"},
      {"--firmware", "16"},
      {"--firmware", "x"},
      {"--probe-interval", "0"},
      {"--late-ms", "5"},
      {"--image", TempPath("missing.dat")},
      {"--no-such-option"},
      {"extra"},
      {"--gap-tolerance", "1"},  // without --strict
      {"--strict", "--gap-tolerance", "6"},
      {"--strict", "--gap-tolerance", "-1"},
      {"--strict", "--gap-tolerance", "x"},
      {"--save-ok-delay", "-1"},
      {"--save-ok-delay", "soon"},
  };
  for (const auto& options : cases) {
    SCOPED_TRACE(options.front() + " " + options.back());
    SimProcess sim(options);
    ASSERT_TRUE(sim.started());
    EXPECT_EQ(sim.ReadOutput(false), "");
    EXPECT_EQ(sim.Stop(0), 2);
  }
}

}  // namespace
