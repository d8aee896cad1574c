// Time of the operations that handle the whole configuration at once: the
// start-up sequence, a version switch with its tree rebuild, showing an image in
// every page, and writing and opening a settings file.
#include <benchmark/benchmark.h>

#include <fstream>
#include <optional>
#include <string>

#include "files/settings_file.h"
#include "model/dialogs.h"
#include "window/main_model.h"

namespace {

using vemtaro::MainModel;

using NoDialogs = vemtaro::SilentDialogs;

// The window's creation and its start-up sequence, up to the version-15 state.
void BM_Startup(benchmark::State& state) {
  NoDialogs dialogs;
  for (auto _ : state) {
    MainModel m(dialogs);
    m.Startup();
    benchmark::DoNotOptimize(m.ws.working.bytes().data());
  }
}
BENCHMARK(BM_Startup)->Unit(benchmark::kMicrosecond);

// Choosing version N from another version: resize, ResetImage, both trees anew.
// The switch back is not timed.
void BM_VersionSwitch(benchmark::State& state) {
  const int version = static_cast<int>(state.range(0));
  const int other = version == 15 ? 10 : 15;
  NoDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  for (auto _ : state) {
    m.ApplyProfile(version);
    benchmark::DoNotOptimize(m.Tree2.size());
    state.PauseTiming();
    m.ApplyProfile(other);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_VersionSwitch)->DenseRange(10, 15)->Unit(benchmark::kMicrosecond);

// Showing a default image in every page and adopting it (a controller read).
void BM_ApplyIncomingImage(benchmark::State& state) {
  NoDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  m.ws.incoming = m.ws.working;
  for (auto _ : state) {
    const bool applied = m.pages.ApplyIncomingImage(false);
    benchmark::DoNotOptimize(applied);
  }
}
BENCHMARK(BM_ApplyIncomingImage)->Unit(benchmark::kMicrosecond);

// The bytes of a default settings file (both tree texts and the image).
void BM_SettingsFileBytes(benchmark::State& state) {
  NoDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  for (auto _ : state) {
    auto bytes = m.SettingsFileBytes();
    benchmark::DoNotOptimize(bytes->data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(m.SettingsFileBytes()->size()));
}
BENCHMARK(BM_SettingsFileBytes)->Unit(benchmark::kMicrosecond);

// Reading the fields of a default settings file, without opening it.
void BM_ParseSettingsFile(benchmark::State& state) {
  NoDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  const std::string file = *m.SettingsFileBytes();
  for (auto _ : state) {
    auto parsed = vemtaro::ParseSettingsFile(file);
    benchmark::DoNotOptimize(parsed.data->tree1.data());
  }
}
BENCHMARK(BM_ParseSettingsFile)->Unit(benchmark::kMicrosecond);

// Opening a default settings file in a started window: parse, check, both
// trees from their texts, the profile, icons and ApplyIncomingImage.
void BM_OpenSettingsBytes(benchmark::State& state) {
  NoDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  const std::string file = *m.SettingsFileBytes();
  for (auto _ : state) {
    const bool opened = m.OpenSettingsBytes(file);
    benchmark::DoNotOptimize(opened);
  }
}
BENCHMARK(BM_OpenSettingsBytes)->Unit(benchmark::kMicrosecond);

}  // namespace
