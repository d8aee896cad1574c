// Soak of the controller link: many write-then-read cycles between the main
// window's link side and the simulated controller on an in-memory line, with
// random faults of the controller, all in virtual time.
//
//   vemtaro_link_soak [--cycles N] [--seed S] [--version V] [--verbose]
//
// One program, one controller and one connection live through all cycles, as
// in a long session of a user. Each cycle edits the configuration on the
// pages, writes it (N15Click), edits it again and reads the controller's back
// (N14Click); before each exchange a fault or two of the controller may be set
// (missing or late acknowledgements, a garbled line, a short or badly summed
// image, a controller that hangs up; a hung-up controller is restarted and
// connected again). After every exchange it checks:
//   - the exchange ended within its time-outs, and the windows were given back;
//   - a successful write left exactly the program's working image in the
//     controller;
//   - a failed read left the working image as it was;
//   - a successful read left the controller's image as the working image.
// It prints the resident set size at the start, after 10 cycles and at the end,
// how often each outcome came, and exits with 1 on any violation. The same seed
// gives the same run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "link/com_port.h"
#include "link/ticks.h"
#include "model/dialogs.h"
#include "model/image.h"
#include "model/profiles.h"
#include "sim/controller_sim.h"
#include "sim/linked_controller.h"
#include "window/controller_link.h"
#include "window/main_model.h"

namespace {

using namespace vemtaro;

// Resident set size in kB, from /proc/self/status; -1 where there is none.
long ResidentKb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// The user: always a direct connection; every box is remembered.
class SoakDialogs : public SilentDialogs {
 public:
  std::vector<std::string> shown;
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  void ShowError(const std::string& text) override { shown.push_back(text); }
  void ShowInformation(const std::string& text) override { shown.push_back(text); }
  std::optional<int> ChooseConnectionType() override { return 0; }
};

// What the controller delivers on a read: its memory, the last byte made its
// checksum by a version that has one, then spoilt by the checksum fault.
Bytes Delivered(const sim::ControllerSim& sim, bool badChecksum) {
  Bytes out = sim.image();
  const VersionProfile* profile = FindProfile(sim.version());
  if (!out.empty() && profile != nullptr && profile->checksum) out.back() = ImageChecksum(out);
  if (!out.empty() && badChecksum) out.back() = static_cast<std::uint8_t>(ImageChecksum(out) + 1);
  return out;
}

// Where two images differ: their lengths, or the number of differing bytes and
// the first of them.
std::string Differences(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return std::to_string(a.size()) + " bytes against " + std::to_string(b.size());
  std::size_t count = 0;
  std::size_t first = 0;
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) {
      ++count;
      first = i;
    }
  }
  char text[128];
  std::snprintf(text, sizeof text, "%zu bytes differ, the first at %zu (0x%02X against 0x%02X)", count, first,
                count ? a[first] : 0, count ? b[first] : 0);
  return text;
}

class Soak {
 public:
  Soak(int version, std::uint32_t seed, bool verbose)
      : controller_(Options(version)),
        port_(controller_.host(), clock_),
        model_(dialogs_),
        host_(*this),
        link_(model_, port_, host_),
        random_(seed),
        verbose_(verbose) {
    model_.Startup();
    port_.hooks.idle = [this] { Tick(); };
  }

  // Runs the cycles; returns the number of violations.
  int Run(int cycles) {
    std::printf("cycles %d, firmware %d\n", cycles, controller_.controller().version());
    std::printf("VmRSS at start: %ld kB\n", ResidentKb());
    if (!Connect()) return violations_;
    for (int cycle = 0; cycle < cycles; ++cycle) {
      cycle_ = cycle;
      Cycle();
      if (cycle + 1 == 10) std::printf("VmRSS after 10 cycles: %ld kB\n", ResidentKb());
    }
    std::printf("VmRSS at the end: %ld kB\n", ResidentKb());
    std::printf("virtual time: %.1f s\n", static_cast<double>(clock_.NowMs()) / 1000.0);
    std::printf("longest write: %.1f s, longest read: %.1f s (virtual)\n", static_cast<double>(longestWrite_) / 1000.0,
                static_cast<double>(longestRead_) / 1000.0);
    std::printf("reconnections after a hang-up: %d\n", reconnections_);
    std::printf("outcomes:\n");
    for (const auto& [outcome, count] : outcomes_) std::printf("  %6d  %s\n", count, outcome.c_str());
    std::printf("violations: %d\n", violations_);
    return violations_;
  }

 private:
  // The link's host: the memory line's PC end, pauses in virtual time, the
  // write's hand-overs queued for Step().
  class Host : public LinkHost {
   public:
    explicit Host(Soak& soak) : soak_(soak) {}
    std::deque<std::function<void()>> posted;

    PortOpening OpenPort(const std::string&) override {
      soak_.controller_.line().host().SetOpen(true);
      soak_.port_.SetOpen(true);
      return {PortOpenResult::Opened, {}};
    }
    void ClosePort() override {
      soak_.controller_.line().host().SetOpen(false);
      soak_.port_.SetOpen(false);
    }
    void Pause(Millis ms) override {
      for (Millis i = 0; i < ms; ++i) soak_.Tick();
    }
    void Post(std::function<void()> step) override { posted.push_back(std::move(step)); }
    LocalDateTime LocalTime() override { return {2026, 1, 1, 12, 0, 0}; }

   private:
    Soak& soak_;
  };

  static sim::ControllerOptions Options(int version) {
    sim::ControllerOptions options;
    options.version = version;
    options.paced = true;  // 9600 bit/s
    return options;
  }

  // Upper bounds of an exchange in virtual time, from the program's time-outs:
  // a read waits at most 100 ticks for "LOAD_OK" and 1000 ticks for the image;
  // a write at most 100 ticks for "SAVE_OK", then per byte about two bytes' time
  // on the line (below version 12 the byte's fixed pauses) or, for a byte in
  // trouble, three waits of 5 ticks, and 40 ticks for the final "SAVE_OK".
  Millis ReadLimit() const { return (link_timing::kAckWaitTicks + link_timing::kLoadTicks + 2) * kTickMs + 100; }
  Millis WriteLimit() const {
    const auto bytes = static_cast<Millis>(model_.ws.working.size());
    // Below version 12 each byte is followed by "\n" and 5 ms after each.
    const bool acknowledged = versions::AcknowledgedBytes(model_.ws.FirmwareVersion);
    const Millis perByte = acknowledged ? 4 : 2 * link_timing::kOldByteGapMs + 2;
    return (link_timing::kAckWaitTicks + link_timing::kFinalSaveOkTicks + 2) * kTickMs + bytes * perByte +
           2 * link_timing::kByteAttempts * (link_timing::kByteAckTicks + 1) * kTickMs + 1000;
  }

  void Tick() {
    clock_.Advance(1);
    controller_.Pump(clock_.NowMs());
  }
  void Step() {
    Tick();
    port_.Service();
    if (!host_.posted.empty()) {
      std::function<void()> step = std::move(host_.posted.front());
      host_.posted.pop_front();
      step();
    }
  }
  bool RunUntil(const std::function<bool()>& done, Millis limitMs) {
    for (Millis i = 0; i < limitMs && !done(); ++i) Step();
    return done();
  }
  void RunFor(Millis ms) {
    for (Millis i = 0; i < ms; ++i) Step();
  }

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  void Violation(const std::string& what) {
    ++violations_;
    std::printf("VIOLATION in cycle %d (%s): %s\n", cycle_, faultText_.c_str(), what.c_str());
  }

  // The port menu item and the handshake.
  bool Connect() {
    link_.PopupMenuItemsClick("COM1");
    if (!RunUntil([this] { return model_.N13.enabled; }, 15000)) {
      Violation("no connection; ComStatus \"" + link_.comStatus + "\"");
      return false;
    }
    dialogs_.shown.clear();
    return true;
  }

  // A controller that hung up is switched off and on, and connected again.
  bool Recover() {
    sim::ControllerSim& sim = controller_.controller();
    sim.faults() = sim::Faults{};
    if (sim.state() != sim::ControllerSim::State::HungUp && link_.Connected() && model_.N13.enabled) return true;
    sim.Restart(clock_.NowMs());
    ++reconnections_;
    return Connect();
  }

  // One to four changes on the pages, as a user makes them.
  void Edit() {
    Pages& p = model_.pages;
    const int count = 1 + Below(4);
    for (int i = 0; i < count; ++i) {
      switch (Below(4)) {
        case 0: {
          std::string password;
          const int length = 4 + Below(5);
          for (int k = 0; k < length; ++k) password.push_back(static_cast<char>('0' + Below(10)));
          p.PasswordEdit.text = password;
          p.PasswordEditExit();
          break;
        }
        case 1: {
          static constexpr SpinRow kRows[] = {SpinRow::Input, SpinRow::UInput, SpinRow::AInput, SpinRow::UAInput};
          p.SetSpinValue({kRows[Below(4)], 1 + Below(8)}, Below(256));
          break;
        }
        case 2: p.SetSpinValue({SpinRow::Rele, 1 + Below(16)}, Below(256)); break;
        default:
          if (!p.Zones.checked.empty()) {
            const auto item = static_cast<std::size_t>(Below(static_cast<int>(p.Zones.checked.size())));
            p.SetItemChecked(p.Zones, item, !p.Zones.checked[item]);
          }
          break;
      }
    }
    dialogs_.shown.clear();
  }

  enum class Fault { LostAck, LateAck, NoFinalSaveOk, NoLoadOk, BadChecksum, ShortImage, Garbage, HangUp };

  // None (two times in five), one, or now and then two faults of those that
  // touch the exchange.
  void PickFaults(bool write) {
    static constexpr Fault kWrite[] = {Fault::LostAck, Fault::LateAck, Fault::NoFinalSaveOk, Fault::Garbage,
                                       Fault::HangUp};
    static constexpr Fault kRead[] = {Fault::NoLoadOk, Fault::BadChecksum, Fault::ShortImage, Fault::Garbage,
                                      Fault::HangUp};
    sim::Faults& f = controller_.controller().faults();
    f = sim::Faults{};
    faultText_ = "no fault";
    const int draw = Below(20);
    const int count = draw < 8 ? 0 : draw < 17 ? 1 : 2;
    if (count == 0) return;
    faultText_.clear();
    const auto length = static_cast<int>(controller_.controller().image().size());
    for (int i = 0; i < count; ++i) {
      const Fault fault = write ? kWrite[Below(5)] : kRead[Below(5)];
      char text[96];
      switch (fault) {
        case Fault::LostAck:
          f.dropAckAt = static_cast<std::size_t>(Below(length));
          f.dropAckCount = 1 + Below(3);
          std::snprintf(text, sizeof text, "dropAckAt=%zu x%d", *f.dropAckAt, f.dropAckCount);
          break;
        case Fault::LateAck:
          f.lateAckAt = static_cast<std::size_t>(Below(length));
          f.lateAckMs = 20 + Below(1200);
          std::snprintf(text, sizeof text, "lateAckAt=%zu by %lld ms", *f.lateAckAt,
                        static_cast<long long>(f.lateAckMs));
          break;
        case Fault::NoFinalSaveOk:
          f.noFinalSaveOk = true;
          std::snprintf(text, sizeof text, "noFinalSaveOk");
          break;
        case Fault::NoLoadOk:
          f.noLoadOk = true;
          std::snprintf(text, sizeof text, "noLoadOk");
          break;
        case Fault::BadChecksum:
          f.badChecksum = true;
          std::snprintf(text, sizeof text, "badChecksum");
          break;
        case Fault::ShortImage:
          f.shortImage = static_cast<std::size_t>(Below(length));
          std::snprintf(text, sizeof text, "shortImage=%zu", *f.shortImage);
          break;
        case Fault::Garbage:
          f.garbageSeed = static_cast<std::uint32_t>(random_());
          std::snprintf(text, sizeof text, "garbageSeed=%u", *f.garbageSeed);
          break;
        case Fault::HangUp:
          f.hangUpAt = static_cast<std::size_t>(Below(length));
          std::snprintf(text, sizeof text, "hangUpAt=%zu", *f.hangUpAt);
          break;
      }
      if (!faultText_.empty()) faultText_ += ", ";
      faultText_ += text;
    }
  }

  // The windows after an exchange has ended.
  void CheckWindowsBack(const char* exchange) {
    const std::string what = exchange;
    if (link_.progressVisible) Violation(what + ": the progress window stays open");
    if (!link_.mainEnabled) Violation(what + ": the main window stays disabled");
    if (!link_.pagesEnabled) Violation(what + ": the pages stay disabled");
    if (!link_.fileMenuEnabled) Violation(what + ": the file menu stays disabled");
    if (!link_.portMenuAttached) Violation(what + ": the port menu stays detached");
    if (link_.Transferring()) Violation(what + ": the transfer is still under way");
    if (port_.Held()) Violation(what + ": port events stay held");
    if (model_.N13.enabled != port_.line().IsOpen()) Violation(what + ": the exchange menu does not follow the port");
  }

  void Tally(const char* exchange, bool ok) {
    std::string outcome = std::string(exchange) + (ok ? " ok" : " failed");
    if (!dialogs_.shown.empty()) {
      std::string box = dialogs_.shown.back();
      std::replace(box.begin(), box.end(), '\r', ' ');
      outcome += ": " + box;
    }
    if (dialogs_.shown.size() > 1) outcome += " (+" + std::to_string(dialogs_.shown.size() - 1) + " more boxes)";
    ++outcomes_[outcome];
    if (verbose_) std::printf("cycle %d %s [%s]\n", cycle_, outcome.c_str(), faultText_.c_str());
  }

  void Cycle() {
    sim::ControllerSim& sim = controller_.controller();
    // The line's log of what the PC sent is the bench's, not the program's
    // memory: it is emptied so that the resident size shows the program.
    controller_.ClearReceived();

    // Write.
    if (!Recover()) return;
    Edit();
    PickFaults(/*write=*/true);
    dialogs_.shown.clear();
    Millis start = clock_.NowMs();
    link_.N15Click();
    if (!RunUntil([this] { return link_.saveResult.has_value(); }, WriteLimit())) {
      Violation("the write has not ended after " + std::to_string(clock_.NowMs() - start) + " ms");
      return;
    }
    longestWrite_ = std::max(longestWrite_, clock_.NowMs() - start);
    if (!host_.posted.empty()) Violation("write: steps are left after its end");
    CheckWindowsBack("write");
    const bool saved = *link_.saveResult;
    if (saved && sim.image() != model_.ws.working.bytes()) {
      Violation("a successful write left another image in the controller: " +
                Differences(sim.image(), model_.ws.working.bytes()));
    }
    Tally("write", saved);
    // The user reads the box, then goes on.
    RunFor(Below(3000));
    sim.faults() = sim::Faults{};

    // Read.
    if (!Recover()) return;
    Edit();
    PickFaults(/*write=*/false);
    dialogs_.shown.clear();
    const Bytes before = model_.ws.working.bytes();
    const bool badChecksum = sim.faults().badChecksum;
    start = clock_.NowMs();
    link_.N14Click();
    if (!RunUntil([this] { return link_.loadResult.has_value(); }, ReadLimit() - (clock_.NowMs() - start))) {
      Violation("the read has not ended after " + std::to_string(clock_.NowMs() - start) + " ms");
      return;
    }
    longestRead_ = std::max(longestRead_, clock_.NowMs() - start);
    CheckWindowsBack("read");
    const bool loaded = *link_.loadResult;
    if (loaded && model_.ws.working.bytes() != Delivered(sim, badChecksum)) {
      Violation("a successful read left an image other than the controller's: " +
                Differences(model_.ws.working.bytes(), Delivered(sim, badChecksum)));
    }
    if (!loaded && model_.ws.working.bytes() != before) {
      Violation("a failed read changed the working image: " + Differences(model_.ws.working.bytes(), before));
    }
    Tally("read", loaded);
    RunFor(Below(3000));
    sim.faults() = sim::Faults{};
  }

  VirtualClock clock_;
  sim::LinkedController controller_;
  ComPort port_;
  SoakDialogs dialogs_;
  MainModel model_;
  Host host_;
  ControllerLink link_;
  std::mt19937 random_;
  bool verbose_;

  int cycle_ = -1;
  std::string faultText_ = "before the first cycle";
  int violations_ = 0;
  int reconnections_ = 0;
  Millis longestWrite_ = 0;
  Millis longestRead_ = 0;
  std::map<std::string, int> outcomes_;
};

void Usage() {
  std::fprintf(stderr, "usage: vemtaro_link_soak [--cycles N] [--seed S] [--version 10..15] [--verbose]\n");
}

}  // namespace

int main(int argc, char** argv) {
  int cycles = 1000;
  std::uint32_t seed = 1;
  int version = 15;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--cycles" && hasValue) {
      cycles = std::atoi(argv[++i]);
    } else if (arg == "--seed" && hasValue) {
      seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--version" && hasValue) {
      version = std::atoi(argv[++i]);
    } else if (arg == "--verbose") {
      verbose = true;
    } else {
      Usage();
      return 2;
    }
  }
  if (cycles < 0 || FindProfile(version) == nullptr) {
    Usage();
    return 2;
  }
  std::printf("seed %u\n", seed);
  Soak soak(version, seed, verbose);
  const int violations = soak.Run(cycles);
  return violations == 0 ? 0 : 1;
}
