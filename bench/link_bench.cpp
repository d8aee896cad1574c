// Benchmarks of the controller link over a pseudo-terminal against vemtaro-sim,
// each reported as a ratio to a baseline measured or computed in the same run:
//
//   Read/v15_paced        a 5484-byte read from a controller paced at 9600 bit/s,
//                         against the wire time of the bytes it sends;
//   Write/v15_instant     a version 15 write against instant acknowledgements,
//                         against a minimal loop doing the same byte/"o" round
//                         trips over the same terminal;
//   Write/v10             a version 10 write, against 5121 x 10 ms;
//   CheckedWrite/v15_paced  a version 15 write and its read-back, from a
//                         controller paced at 9600 bit/s, against the wire time
//                         of the bytes the controller sends in both transfers;
//   BackupWriteCheck/v15_paced  the same with the backup read before it: three
//                         transfers against their wire time.
//   Wait/no_reply         the 5.5 s wait for "LOAD_OK" from a controller that
//                         never answers: processor time over wall time.
//   Compare/v15_paced     "Сравнить с контроллером": a 5484-byte read from a
//                         paced controller holding an installed configuration,
//                         into the comparison, and its differences with the
//                         working configuration listed, against the wire time
//                         of the read.
//
//   build/release/bench/vemtaro_link_bench [--benchmark_filter=Read]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "editor/comparison.h"
#include "editor/settings_edit.h"
#include "installed_configuration.h"
#include "model/dialogs.h"
#include "port/link_host.h"
#include "port/serial_adapter.h"
#include "sim/controller_sim.h"
#include "window/controller_link.h"
#include "window/main_model.h"

namespace {

using namespace vemtaro;
using vemtaro::bench::InstalledSettingsFile;

constexpr int kDeadlineMs = 120000;

class Dialogs : public SilentDialogs {
 public:
  std::optional<int> ChooseConnectionType() override { return 0; }
  void ShowError(const std::string& text) override { last = text; }
  void ShowMessage(const std::string& text) override { last = text; }
  std::string last;
};

// vemtaro-sim in its own process; the slave path is its first line of output.
class SimProcess {
 public:
  explicit SimProcess(const QStringList& args) {
    process_.setProgram(QStringLiteral(VEMTARO_SIM_PATH));
    process_.setArguments(QStringList{"--probe-interval", "100"} + args);
    process_.start();
    if (!process_.waitForStarted(5000)) return;
    QElapsedTimer t;
    t.start();
    while (!process_.canReadLine() && t.elapsed() < 5000) process_.waitForReadyRead(100);
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
  }
  ~SimProcess() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) process_.kill();
  }
  const QString& path() const { return path_; }

 private:
  QProcess process_;
  QString path_;
};

// The program's side: the main window's model and link on the serial adapter.
struct Program {
  Dialogs dialogs;
  MainModel model{dialogs};
  port::SerialAdapter adapter;
  port::AdapterLinkHost host{adapter};
  ControllerLink link{model, adapter.comPort(), host};

  Program() { model.Startup(); }

  // Runs the event loop until the condition holds (checked whenever the link
  // reports a change, and every 100 ms).
  template <class Condition>
  bool RunUntil(Condition done, int limitMs = kDeadlineMs) {
    if (done()) return true;
    QEventLoop loop;
    link.OnChanged = [&](bool) {
      if (done()) loop.quit();
    };
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
      if (done()) loop.quit();
    });
    check.start(100);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    link.OnChanged = nullptr;
    return done();
  }

  bool Connect(const QString& path) {
    link.PopupMenuItemsClick(path.toStdString());
    return RunUntil([&] { return link.Connected(); }, 10000);
  }
};

// A minimal client in plain system calls: the baseline of the write.
class RawClient {
 public:
  explicit RawClient(const QString& path) {
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) return;
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, B9600);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~RawClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  void Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  // Reads until the text has arrived (true) or 5 s pass without it.
  bool ReadUntil(std::string_view text) {
    std::string seen;
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) return false;
      char c = 0;
      if (::read(fd_, &c, 1) != 1) return false;
      seen += c;
      if (seen.size() >= text.size() && seen.compare(seen.size() - text.size(), text.size(), text) == 0) {
        return true;
      }
    }
  }
  bool Handshake() {
    if (!ReadUntil("ATI")) return false;
    Write("PC\r\n");
    if (!ReadUntil("Ver.") || !ReadUntil("\r\n")) return false;
    Write("PC_OK");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return true;
  }

 private:
  int fd_ = -1;
};

double CpuSeconds() {
  rusage r{};
  ::getrusage(RUSAGE_SELF, &r);
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

void Fail(benchmark::State& state, const std::string& why) { state.SkipWithError(why.c_str()); }

// What a paced controller sends in a read: "LOAD_OK", "\r\n", the image and
// "LOAD_OK\r\n"; in a write: "SAVE_OK\r\n", an "o" for each image byte and the
// final "SAVE_OK\r\n". The program's own bytes reach it at once over the
// terminal, so these are the transfers' wire time here.
constexpr double kReadWireBytes = 7 + 2 + 5484 + 9;
constexpr double kWriteWireBytes = 9 + 5484 + 9;
double WireSeconds(double bytes) { return bytes * 10.0 / 9600.0; }

void BM_Read_v15_paced(benchmark::State& state) {
  for (auto _ : state) {
    SimProcess sim({"--paced"});
    Program program;
    if (!program.Connect(sim.path())) return Fail(state, "no connection");
    QElapsedTimer t;
    t.start();
    program.link.N14Click();
    if (!program.RunUntil([&] { return program.link.loadResult.has_value(); }) || !*program.link.loadResult) {
      return Fail(state, "read failed: " + program.dialogs.last);
    }
    const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
    // "LOAD_OK", "\r\n", the image, "LOAD_OK\r\n": ten bits a byte at 9600 bit/s.
    const double wire = WireSeconds(kReadWireBytes);
    state.SetIterationTime(seconds);
    state.counters["wire_s"] = wire;
    state.counters["ratio"] = seconds / wire;
    program.link.EndConnection();
  }
}

void BM_Write_v15_instant(benchmark::State& state) {
  for (auto _ : state) {
    SimProcess sim({});
    double programSeconds = 0;
    {
      Program program;
      program.link.verifyAfterWrite = false;  // the write alone
      if (!program.Connect(sim.path())) return Fail(state, "no connection");
      QElapsedTimer t;
      t.start();
      program.link.N15Click();
      if (!program.RunUntil([&] { return program.link.saveResult.has_value(); }) || !*program.link.saveResult) {
        return Fail(state, "write failed: " + program.dialogs.last);
      }
      programSeconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
      program.link.EndConnection();
    }
    // The baseline: the same exchange in plain system calls.
    RawClient raw(sim.path());
    if (!raw.ok() || !raw.Handshake()) return Fail(state, "baseline: no connection");
    const auto start = std::chrono::steady_clock::now();
    raw.Write("SAVE\n");
    if (!raw.ReadUntil("SAVE_OK\r\n")) return Fail(state, "baseline: no SAVE_OK");
    for (int i = 0; i < 5484; ++i) {
      const char byte = static_cast<char>(i & 0x7F);
      raw.Write(std::string_view(&byte, 1));
      if (!raw.ReadUntil("o")) return Fail(state, "baseline: no acknowledgement");
    }
    if (!raw.ReadUntil("SAVE_OK\r\n")) return Fail(state, "baseline: no final SAVE_OK");
    const double rawSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    raw.Write("BYE");
    state.SetIterationTime(programSeconds);
    state.counters["us_per_byte"] = programSeconds / 5484 * 1e6;
    state.counters["baseline_us_per_byte"] = rawSeconds / 5484 * 1e6;
    state.counters["ratio"] = programSeconds / rawSeconds;
  }
}

void BM_Write_v10(benchmark::State& state) {
  for (auto _ : state) {
    SimProcess sim({"--firmware", "10"});
    Program program;
    program.link.verifyAfterWrite = false;  // the write alone
    if (!program.Connect(sim.path())) return Fail(state, "no connection");
    QElapsedTimer t;
    t.start();
    program.link.N15Click();
    if (!program.RunUntil([&] { return program.link.saveResult.has_value(); }) || !*program.link.saveResult) {
      return Fail(state, "write failed: " + program.dialogs.last);
    }
    const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
    const double baseline = 5121 * 0.010;
    state.SetIterationTime(seconds);
    state.counters["baseline_s"] = baseline;
    state.counters["ratio"] = seconds / baseline;
    program.link.EndConnection();
  }
}

// A copy kept in memory, as the desktop's store would keep it on disk.
class KeptCopy : public BackupStore {
 public:
  bool Keep(const BackupCopy& copy, std::string& where, std::string&) override {
    bytes = copy.fileBytes;
    where = "memory";
    return true;
  }
  std::string bytes;
};

void CheckedWrite(benchmark::State& state, bool backup) {
  for (auto _ : state) {
    SimProcess sim({"--paced"});
    Program program;
    KeptCopy copy;
    if (backup) program.link.backups = &copy;
    if (!program.Connect(sim.path())) return Fail(state, "no connection");
    QElapsedTimer t;
    t.start();
    program.link.N15Click();
    if (!program.RunUntil([&] { return program.link.saveResult.has_value(); }) || !*program.link.saveResult) {
      return Fail(state, "write failed: " + program.dialogs.last);
    }
    if (!program.link.LastWrite().readBack) return Fail(state, "no read-back");
    const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
    const double wire = WireSeconds((backup ? 2 : 1) * kReadWireBytes + kWriteWireBytes);
    state.SetIterationTime(seconds);
    state.counters["wire_s"] = wire;
    state.counters["ratio"] = seconds / wire;
    program.link.EndConnection();
  }
}

void BM_CheckedWrite_v15_paced(benchmark::State& state) { CheckedWrite(state, false); }
void BM_BackupWriteCheck_v15_paced(benchmark::State& state) { CheckedWrite(state, true); }

void BM_Wait_no_reply(benchmark::State& state) {
  for (auto _ : state) {
    SimProcess sim({"--no-load-ok"});
    Program program;
    if (!program.Connect(sim.path())) return Fail(state, "no connection");
    const double cpu0 = CpuSeconds();
    QElapsedTimer t;
    t.start();
    program.link.N14Click();  // waits 100 ticks for "LOAD_OK", then code 93
    const double wall = static_cast<double>(t.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    if (program.link.loadResult != std::optional<bool>(false)) return Fail(state, "the wait did not fail");
    state.SetIterationTime(wall);
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_share"] = cpu / wall;
    program.link.EndConnection();
  }
}

void BM_Compare_v15_paced(benchmark::State& state) {
  QTemporaryDir folder;
  const QString path = folder.filePath("installed.dat");
  QFile file(path);
  const std::string bytes = InstalledSettingsFile();
  if (bytes.empty() || !file.open(QIODevice::WriteOnly) ||
      file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
    return Fail(state, "no settings file for the controller");
  }
  file.close();
  for (auto _ : state) {
    SimProcess sim({"--paced", "--image", path});
    Program program;
    if (!program.Connect(sim.path())) return Fail(state, "no connection");
    std::size_t rows = 0;
    QElapsedTimer t;
    t.start();
    program.link.CompareClick();
    if (!program.RunUntil([&] { return program.link.compareResult.has_value(); }) || !*program.link.compareResult) {
      return Fail(state, "read failed: " + program.dialogs.last);
    }
    Comparison comparison(
        ControllerSettingsFile(program.model, program.link.compareVersion, *program.link.compareImage), "Контроллер");
    comparison.Refresh(program.model);
    rows = comparison.rows().size();
    const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
    const double wire = WireSeconds(kReadWireBytes);
    state.SetIterationTime(seconds);
    state.counters["wire_s"] = wire;
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["ratio"] = seconds / wire;
    program.link.EndConnection();
  }
}

BENCHMARK(BM_Read_v15_paced)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
// A write of 0.2 s is at the mercy of single scheduling delays: five runs,
// reported by their median.
BENCHMARK(BM_Write_v15_instant)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_v10)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckedWrite_v15_paced)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackupWriteCheck_v15_paced)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Wait_no_reply)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compare_v15_paced)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
