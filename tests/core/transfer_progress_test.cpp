// What a transfer shows while it runs and leaves when it ends or is stopped:
// the stage, one progress over a checked write's copy, write and read-back, the
// time left, "Отмена" in each stage with what it leaves, and the outcome that
// stays readable, on the virtual clock against the strict simulated controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "link_fixture.h"
#include "window/backups.h"
#include "window/transfer_progress.h"

namespace vemtaro::testing {
namespace {

namespace PT = progress_texts;
using Stage = TransferStage;

class MemoryBackups : public BackupStore {
 public:
  int kept = 0;
  bool Keep(const BackupCopy&, std::string& where, std::string&) override {
    where = "/home/user/.local/share/Vemtaro/backups/OBJECT/copy-" + std::to_string(++kept) + ".dat";
    return true;
  }
};

sim::ControllerOptions Paced(int version) {
  sim::ControllerOptions options = VersionOptions(version);
  options.paced = true;
  options.image = DefaultImage(version);
  return options;
}

TEST(TransferProgress, StagesShareOneBarByTheirTimeOnTheLine) {
  struct Case {
    const char* name;
    int version;
    std::vector<Stage> stages;
    std::vector<double> ends;  // the share done when each stage ends
  };
  // From version 12 a written byte takes its "o": twice a read byte's time;
  // below it "\n" and two pauses of 5 ms follow each byte.
  const double old = (2 + 10 / (10000.0 / 9600)) / (4 + 10 / (10000.0 / 9600));
  const std::vector<Case> cases = {
      {"read", 15, {Stage::Read}, {1.0}},
      {"checked write", 15, {Stage::Backup, Stage::Write, Stage::Verify}, {0.25, 0.75, 1.0}},
      {"write and read-back", 12, {Stage::Write, Stage::Verify}, {2.0 / 3, 1.0}},
      {"checked write below version 12",
       10,
       {Stage::Backup, Stage::Write, Stage::Verify},
       {(1 - old) / 2, (1 - old) / 2 + old, 1.0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TransferProgress p;
    const std::size_t length = c.version < 11 ? 5121 : 5484;
    p.Begin(c.stages, length, c.version);
    EXPECT_EQ(p.Fraction(0), 0.0) << "nothing before the first stage moves bytes";
    EXPECT_EQ(p.MsLeft(0, 0), std::nullopt);
    double before = 0;
    double total = 0;
    for (Stage s : c.stages) total += StageMs(s, length, c.version);
    for (std::size_t i = 0; i < c.stages.size(); ++i) {
      p.Enter(c.stages[i], 1000 * static_cast<Millis>(i));
      EXPECT_NEAR(p.Fraction(0), before, 1e-9) << i;
      EXPECT_NEAR(p.Fraction(length / 2), (before + c.ends[i]) / 2, 1e-3) << i;
      EXPECT_NEAR(p.Fraction(length), c.ends[i], 1e-9) << i;
      EXPECT_NEAR(p.Fraction(length + 11), c.ends[i], 1e-9) << "framing bytes do not pass the stage";
      // At the line's pace the time left is what the stages left take on it.
      const Millis left = *p.MsLeft(0, 1000 * static_cast<Millis>(i));
      EXPECT_NEAR(static_cast<double>(left), total * (1 - before), 1.0) << i;
      before = c.ends[i];
    }
  }
  // A stage that runs at half the line's pace is estimated at its own pace
  // once it has run for a while; the stages after it at the line's.
  TransferProgress p;
  p.Begin({Stage::Write, Stage::Verify}, 5484, 15);
  p.Enter(Stage::Write, 10000);
  const double byteWrite = StageMs(Stage::Write, 1, 15);
  const auto slowNow = [&](std::size_t done) { return 10000 + static_cast<Millis>(2 * byteWrite * done); };
  EXPECT_NEAR(static_cast<double>(*p.MsLeft(10, slowNow(10))), StageMs(Stage::Write, 5474, 15) + 5484 * 1.0417, 2)
      << "too early to trust its pace";
  EXPECT_NEAR(static_cast<double>(*p.MsLeft(2000, slowNow(2000))), 2 * StageMs(Stage::Write, 3484, 15) + 5484 * 1.0417,
              2);
}

TEST(TransferProgress, TimeLeftIsMinutesAndSeconds) {
  const std::vector<std::pair<Millis, std::string>> cases = {
      {0, "Осталось: 0:00"},     {1, "Осталось: 0:01"},       {42000, "Осталось: 0:42"},
      {64001, "Осталось: 1:05"}, {600000, "Осталось: 10:00"}, {-5, "Осталось: 0:00"},
  };
  for (const auto& [ms, text] : cases) EXPECT_EQ(TimeLeftText(ms), text) << ms;
}

// A checked write on the line's pace: the stages named in order, one progress
// that never goes back and ends full, and a time left that tells the real
// remaining time within a few seconds all along.
TEST(LinkProgress, CheckedWriteShowsOneProgressAndTheTimeLeft) {
  LinkBench b(Paced(15));
  MemoryBackups backups;
  b.link.backups = &backups;
  ASSERT_TRUE(b.Connect());
  b.model.pages.PasswordEdit.text = "4321";
  b.model.pages.PasswordEditExit();
  struct Sample {
    Millis at;
    std::string stage;
    double fraction;
    std::optional<Millis> left;
    int gauge;
  };
  std::vector<Sample> samples;
  // The gauge as the shell is told to show it at each change.
  std::vector<int> shown;
  const auto report = b.link.OnChanged;
  b.link.OnChanged = [&](bool pages) {
    report(pages);
    if (b.link.progressVisible) shown.push_back(b.link.gaugePosition);
  };
  b.link.N15Click();
  const auto sample = [&] {
    b.link.Timer3Timer();
    samples.push_back({b.Now(), b.link.StageText(), b.link.OverallFraction(), b.link.MsLeft(), b.link.gaugePosition});
  };
  for (Millis next = b.Now(); !b.link.saveResult.has_value() && b.Now() < 200000;) {
    b.Step();
    if (b.Now() < next) continue;
    next = b.Now() + 100;
    if (b.link.progressVisible) sample();
  }
  ASSERT_EQ(b.link.saveResult, true) << b.model.status;
  const Millis end = b.Now();
  std::vector<std::string> stages;
  for (const Sample& s : samples) {
    if (stages.empty() || stages.back() != s.stage) stages.push_back(s.stage);
  }
  EXPECT_EQ(stages, (std::vector<std::string>{"Резервная копия…", "Запись…", "Проверка…"}));
  for (std::size_t i = 1; i < samples.size(); ++i) {
    EXPECT_GE(samples[i].fraction, samples[i - 1].fraction) << "at " << samples[i].at;
    EXPECT_GE(samples[i].gauge, samples[i - 1].gauge) << "at " << samples[i].at;
  }
  const auto firstOf = [&](const std::string& stage) {
    for (const Sample& s : samples) {
      if (s.stage == stage) return s;
    }
    return Sample{};
  };
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << "the gauge never goes back between the stages";
  EXPECT_NEAR(firstOf("Запись…").fraction, 0.25, 0.03);
  EXPECT_NEAR(firstOf("Проверка…").fraction, 0.75, 0.03);
  EXPECT_LE(samples.back().gauge, b.model.gaugeMax);
  EXPECT_GT(samples.back().fraction, 0.97);
  const Millis total = end - samples.front().at;
  for (const Sample& s : samples) {
    if (!s.left) continue;
    EXPECT_NEAR(static_cast<double>(*s.left), static_cast<double>(end - s.at), 0.12 * static_cast<double>(total) + 1500)
        << s.stage << " at " << s.at;
  }
  // The outcome stays readable after the end, with the copy's file.
  EXPECT_FALSE(b.link.progressVisible);
  EXPECT_TRUE(b.link.outcomeVisible);
  EXPECT_EQ(b.link.Outcome().text,
            "Сохранение завершено и проверено. Резервная копия: "
            "/home/user/.local/share/Vemtaro/backups/OBJECT/copy-1.dat");
  EXPECT_EQ(b.model.status, "Сохранение завершено");
  b.link.CloseOutcome();
  EXPECT_FALSE(b.link.outcomeVisible);
  EXPECT_TRUE(b.ShellUpToDate());
}

// Every way a read or write ends leaves its outcome readable; a command that
// never showed the progress window leaves only its box.
TEST(LinkProgress, OutcomesOfReadsAndWrites) {
  struct Case {
    const char* name;
    bool write;
    bool verify;
    bool backup;
    std::function<void(LinkBench&)> fault;
    bool shown;
    ControllerLink::TransferOutcome::Kind kind;
    std::string text;
  };
  using Kind = ControllerLink::TransferOutcome::Kind;
  const std::vector<Case> cases = {
      {"read",
       false,
       false,
       false,
       {},
       true,
       Kind::Done,
       "Загрузка завершена: конфигурация прочитана из контроллера и показана в программе."},
      {"read of a wrong length", false, false, false, [](LinkBench& b) { b.faults().shortImage = 100; }, true,
       Kind::Failed, "Загрузка неудачна.\rЗначения не установлены!\rНесоответствие длинн массивов"},
      {"read not answered", false, false, false, [](LinkBench& b) { b.faults().noLoadOk = true; }, false, Kind::Failed,
       ""},
      {"write without the read-back or a copy",
       true,
       false,
       false,
       {},
       true,
       Kind::Warning,
       "Сохранение завершено, но не проверено: конфигурация не прочитана из контроллера для сравнения. Резервная "
       "копия не делалась."},
      {"write not acknowledged", true, true, true,
       [](LinkBench& b) {
         b.faults().dropAckAt = 700;
         b.faults().dropAckCount = 3;
       },
       true, Kind::Failed,
       "Сохранение неудачно.\rОшибка передачи данных!\rКонтроллер может хранить неполную конфигурацию: повторите "
       "запись.\rРезервная копия: /home/user/.local/share/Vemtaro/backups/OBJECT/copy-1.dat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ControllerOptions options = VersionOptions(15);
    options.image = DefaultImage(15);
    LinkBench b(options);
    b.checkProtocol = false;
    MemoryBackups backups;
    b.link.backups = c.backup ? &backups : nullptr;
    b.link.verifyAfterWrite = c.verify;
    ASSERT_TRUE(b.Connect());
    if (c.fault) c.fault(b);
    if (c.write) {
      b.link.N15Click();
    } else {
      b.link.N14Click();
    }
    std::optional<bool>& result = c.write ? b.link.saveResult : b.link.loadResult;
    ASSERT_TRUE(b.RunUntil([&] { return result.has_value() && !b.link.progressVisible; }, 200000));
    EXPECT_EQ(b.link.outcomeVisible, c.shown);
    if (!c.shown) continue;
    EXPECT_EQ(b.link.Outcome().kind, c.kind);
    EXPECT_EQ(b.link.Outcome().text, c.text);
    // The next transfer puts the last outcome away.
    b.link.N14Click();
    EXPECT_FALSE(b.link.outcomeVisible);
    b.RunUntil([&] { return b.link.loadResult.has_value(); }, 20000);
  }
}

// "Отмена" in each stage stops at a byte boundary: nothing goes out after it,
// the windows stay held while the line settles (a stopped write is left quiet
// until the controller has dropped it), then come back with what the stop
// leaves; the connection stays and the next read works. The command line's
// stop (Ctrl-C) decides the same.
TEST(LinkCancel, StopsInEachStageAndSaysWhatItLeaves) {
  struct Case {
    const char* name;
    int version;
    bool write;
    bool backup;
    Stage stopIn;
    StopOutcome outcome;
    std::string text;  // "%n" for the bytes sent
    std::string status;
  };
  const std::vector<Case> cases = {
      {"read", 15, false, false, Stage::Read, StopOutcome::ReadDiscarded,
       "Загрузка отменена: прочитанное отброшено, конфигурация в программе не изменилась.", "Загрузка неудачна"},
      {"copy before the write", 15, true, true, Stage::Backup, StopOutcome::NothingWritten,
       "Запись отменена: конфигурация в контроллер не передавалась, в нём осталась прежняя.", "Сохранение неудачно"},
      {"write", 15, true, false, Stage::Write, StopOutcome::MayBeIncomplete,
       "Запись прервана после %n из 5484 байт.\rКонтроллер может хранить неполную конфигурацию: повторите запись.",
       "Сохранение неудачно"},
      {"write below version 12", 10, true, false, Stage::Write, StopOutcome::MayBeIncomplete,
       "Запись прервана после %n из 5121 байт.\rКонтроллер может хранить неполную конфигурацию: повторите запись.",
       "Сохранение неудачно"},
      {"read-back", 15, true, false, Stage::Verify, StopOutcome::WrittenNotVerified,
       "Конфигурация передана в контроллер, но не проверена: чтение для проверки отменено.", "Сохранение неудачно"},
  };
  for (const bool commandLine : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (commandLine ? ", Ctrl-C" : ", Отмена"));
      LinkBench b(Paced(c.version));
      MemoryBackups backups;
      b.link.backups = c.backup ? &backups : nullptr;
      b.link.verifyAfterWrite = true;
      ASSERT_TRUE(b.Connect());
      b.model.pages.PasswordEdit.text = "4321";
      b.model.pages.PasswordEditExit();
      const Bytes working = b.model.ws.working.bytes();
      const Bytes held = b.sim().image();
      const std::size_t mark = b.Mark();
      c.write ? b.link.N15Click() : b.link.N14Click();
      ASSERT_TRUE(b.RunUntil([&] { return b.link.Phase() == c.stopIn && b.link.TransferCount >= 300; }, 200000));
      const std::size_t before = b.Sent(mark).size();
      const StoppedTransfer stopped = commandLine ? b.link.StopTransfer() : StoppedTransfer{};
      if (!commandLine) {
        b.link.CancelTransfer();
        EXPECT_TRUE(b.link.Stopping());
        EXPECT_TRUE(b.link.progressVisible);
        EXPECT_FALSE(b.link.mainEnabled);
        EXPECT_EQ(b.link.StageText(), "Отмена…");
        const Millis stoppedAt = b.Now();
        ASSERT_TRUE(b.RunUntil([&] { return !b.link.Stopping(); }, 30000));
        if (c.outcome == StopOutcome::MayBeIncomplete) {
          EXPECT_GE(b.Now() - stoppedAt, kAbandonedWriteMs) << "the line stays quiet until the write is dropped";
        } else {
          EXPECT_LE(b.Now() - stoppedAt, 8000) << "only the rest of the reply is let pass";
        }
      } else {
        EXPECT_EQ(stopped.outcome, c.outcome);
      }
      // (The command line ends the connection here; the rest of a reply
      // still on its way is let pass before the next read.)
      b.Run(commandLine ? 8000 : kAbandonedWriteMs);
      // Nothing went out after the stop.
      const std::string sent = b.Sent(mark);
      EXPECT_EQ(sent.size(), before);
      EXPECT_FALSE(b.link.progressVisible);
      EXPECT_TRUE(b.link.mainEnabled);
      EXPECT_TRUE(b.model.N13.enabled);
      EXPECT_FALSE(b.link.Transferring());
      EXPECT_FALSE(b.port.Held());
      EXPECT_EQ(b.model.status, c.status);
      std::string text = c.text;
      if (c.outcome == StopOutcome::MayBeIncomplete) {
        // "SAVE\n", then the bytes (each with "\n" below version 12).
        const std::size_t bytes = c.version < 12 ? (sent.size() - 5) / 2 : sent.size() - 5;
        if (commandLine) {
          EXPECT_EQ(stopped.sent, bytes);
        }
        text.replace(text.find("%n"), 2, std::to_string(bytes));
        EXPECT_EQ(b.link.LastWrite().sent->size(), working.size());
      }
      if (!commandLine) {
        EXPECT_TRUE(b.link.outcomeVisible);
        EXPECT_EQ(b.link.Outcome().text, text);
      }
      if (c.stopIn == Stage::Read || c.stopIn == Stage::Backup) {
        EXPECT_EQ(b.model.ws.working.bytes(), working) << "nothing applied";
        EXPECT_EQ(b.sim().image(), held) << "nothing written";
      }
      // The connection stays: a read works at once.
      b.link.N14Click();
      ASSERT_TRUE(b.RunUntil([&] { return b.link.loadResult.has_value(); }, 30000));
      EXPECT_EQ(b.link.loadResult, true) << b.model.status;
    }
  }
}

// A port that goes away while the line settles after "Отмена" ends the wait:
// the windows come back with the stop's outcome.
TEST(LinkCancel, APortLostWhileTheLineSettlesGivesTheWindowsBack) {
  LinkBench b(Paced(15));
  b.link.backups = nullptr;
  ASSERT_TRUE(b.Connect());
  b.link.N15Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.TransferCount >= 100; }, 20000));
  b.link.CancelTransfer();
  b.Run(200);
  ASSERT_TRUE(b.link.Stopping());
  b.LosePort();
  EXPECT_FALSE(b.link.Stopping());
  EXPECT_FALSE(b.link.progressVisible);
  EXPECT_TRUE(b.link.mainEnabled);
  EXPECT_TRUE(b.link.outcomeVisible);
  EXPECT_EQ(b.link.Outcome().kind, ControllerLink::TransferOutcome::Kind::Failed);
  EXPECT_TRUE(b.ShellUpToDate());
}

}  // namespace
}  // namespace vemtaro::testing
