// Benchmarks of the desktop program (not tests), offscreen: the main window from
// the end of the splash to shown and idle, a version switch with both trees
// built again and shown, opening a default settings file, and the window
// "Сравнение конфигураций" listing the differences with an installed
// configuration.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTreeWidget>

#include <memory>
#include <string>
#include <vector>

#include "compare_window.h"
#include "editor/comparison.h"
#include "editor/settings_edit.h"
#include "installed_configuration.h"
#include "main_window.h"
#include "model/dialogs.h"
#include "tree_view.h"

namespace {

using QuietDialogs = vemtaro::SilentDialogs;
using vemtaro::bench::InstalledSettingsFile;

class NoFiles : public vemtaro::FileStore {
 public:
  bool ReadAll(const std::string&, std::string&, std::string&) override { return false; }
  bool WriteAll(const std::string&, const std::string&, std::string&) override { return false; }
};

QuietDialogs dialogs;
NoFiles files;

void Idle() { QApplication::processEvents(); }

// Resident memory of this process in kB (Linux), 0 elsewhere.
double ResidentKb() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toDouble();
  }
  return 0;
}

void BM_MainWindowShown(benchmark::State& state) {
  for (auto _ : state) {
    auto window = std::make_unique<vemtaro::app::TForm1>(dialogs, files);
    window->show();
    window->FormShow();
    Idle();
    benchmark::DoNotOptimize(window->Tree1->topLevelItemCount());
    state.PauseTiming();
    window.reset();
    Idle();
    state.ResumeTiming();
  }
  state.counters["rss_kB"] = ResidentKb();
}
BENCHMARK(BM_MainWindowShown)->Unit(benchmark::kMillisecond);

void BM_VersionSwitchShown(benchmark::State& state) {
  vemtaro::app::TForm1 window(dialogs, files);
  window.show();
  window.FormShow();
  Idle();
  const auto item = static_cast<std::size_t>(state.range(0) - 10);
  for (auto _ : state) {
    window.versionItems[item]->trigger();
    Idle();
  }
}
BENCHMARK(BM_VersionSwitchShown)->DenseRange(10, 15)->Unit(benchmark::kMillisecond);

void BM_OpenSettingsShown(benchmark::State& state) {
  vemtaro::app::TForm1 window(dialogs, files);
  window.show();
  window.FormShow();
  Idle();
  const std::string bytes = *window.model().SettingsFileBytes();
  for (auto _ : state) {
    window.model().OpenSettingsBytes(bytes);
    window.RefreshAll();
    Idle();
  }
}
BENCHMARK(BM_OpenSettingsShown)->Unit(benchmark::kMillisecond);

// From the file read to every difference listed and shown: both
// configurations described and compared, the window filled and painted.
void BM_CompareWindowListing(benchmark::State& state) {
  vemtaro::app::TForm1 window(dialogs, files);
  window.show();
  window.FormShow();
  Idle();
  const auto parsed = vemtaro::ParseSettingsFile(InstalledSettingsFile());
  if (!parsed.data) {
    state.SkipWithError("no settings file");
    return;
  }
  vemtaro::app::CompareWindow compare([](const std::vector<std::size_t>&) {}, &window);
  std::unique_ptr<vemtaro::Comparison> comparison;
  std::size_t rows = 0;
  for (auto _ : state) {
    auto next = std::make_unique<vemtaro::Comparison>(*parsed.data, vemtaro::compare_texts::kFile);
    next->Refresh(window.model());
    compare.Show(*next, QStringLiteral("Сравнение рабочей конфигурации с файлом installed.dat"));
    comparison = std::move(next);
    if (!compare.isVisible()) compare.show();
    Idle();
    rows = comparison->rows().size();
  }
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_CompareWindowListing)->Unit(benchmark::kMillisecond);

void BM_IdleResidentMemory(benchmark::State& state) {
  vemtaro::app::TForm1 window(dialogs, files);
  window.show();
  window.FormShow();
  Idle();
  for (auto _ : state) Idle();
  state.counters["rss_kB"] = ResidentKb();
}
BENCHMARK(BM_IdleResidentMemory)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
