// A write that is proven or refused: the firmware version of the configuration
// against the controller's, the copy of the controller's configuration read
// before the write, the read-back after it, and replies that flood the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "link_fixture.h"
#include "window/backups.h"

namespace vemtaro::testing {
namespace {

namespace L = layout;
namespace T = link_texts;

// A store that keeps the copies in memory, or refuses them.
class MemoryBackups : public BackupStore {
 public:
  std::vector<BackupCopy> copies;
  std::optional<std::string> refusal;  // the reason a copy is refused with
  bool Keep(const BackupCopy& copy, std::string& where, std::string& error) override {
    if (refusal) {
      error = *refusal;
      return false;
    }
    copies.push_back(copy);
    where = "/backups/" + BackupFolderName(copy.objectId) + "/" + std::to_string(copies.size()) + ".dat";
    return true;
  }
};

// What goes over the line for a write of the image.
std::string WriteWire(const Bytes& image, int version) {
  std::string wire = "SAVE\n";
  for (std::uint8_t byte : image) {
    wire.push_back(static_cast<char>(byte));
    if (version < 12) wire.push_back('\n');
  }
  return wire;
}

// A controller of the version holding its default image with a distinct
// password, so that a write of the PC's configuration changes it.
sim::ControllerOptions Holding(int version, const std::string& password = "9999") {
  sim::ControllerOptions options = VersionOptions(version);
  options.image =
      DefaultImage(version, [&](ConfigImage& i) { i.WriteText(L::kPassword, L::kPasswordLength, password); });
  return options;
}

void EditPassword(LinkBench& b, const std::string& password) {
  b.model.pages.PasswordEdit.text = password;
  b.model.pages.PasswordEditExit();
}

::testing::AssertionResult WindowsBack(LinkBench& b) {
  if (b.link.progressVisible || !b.link.mainEnabled || !b.link.pagesEnabled || !b.link.fileMenuEnabled ||
      !b.link.portMenuAttached || b.link.Transferring() || b.port.Held()) {
    return ::testing::AssertionFailure() << "the windows are still held";
  }
  return b.ShellUpToDate();
}

// Runs the write until it has ended.
::testing::AssertionResult Write(LinkBench& b, Millis limitMs = 200000) {
  b.link.N15Click();
  if (!b.RunUntil([&] { return b.link.saveResult.has_value(); }, limitMs)) {
    return ::testing::AssertionFailure() << "the write did not end; status \"" << b.model.status << "\"";
  }
  b.Run(50);
  return ::testing::AssertionSuccess();
}

// Every version: the write, then "LOAD\n" and the comparison; success only
// after the image read back equals the one sent.
TEST(LinkWriteCheck, WriteIsReadBackBeforeItEndsWell) {
  for (int version = 10; version <= 15; ++version) {
    SCOPED_TRACE(version);
    LinkBench b(Holding(version));
    ASSERT_TRUE(b.Connect());
    EditPassword(b, "5678");
    std::string statusWhileChecking;
    const std::size_t mark = b.Mark();
    b.link.N15Click();
    ASSERT_TRUE(b.RunUntil(
        [&] {
          if (b.model.status == T::kVerifying) statusWhileChecking = b.model.status;
          return b.link.saveResult.has_value();
        },
        200000));
    EXPECT_EQ(b.link.saveResult, true);
    EXPECT_EQ(statusWhileChecking, "Проверка записанной конфигурации ...");
    const Bytes sent = b.model.ws.working.bytes();
    EXPECT_EQ(b.Sent(mark), WriteWire(sent, version) + "LOAD\n");
    EXPECT_EQ(b.sim().image(), sent);
    EXPECT_EQ(b.link.LastWrite().sent, sent);
    EXPECT_EQ(b.link.LastWrite().readBack, sent);
    EXPECT_FALSE(b.link.LastWrite().firstDifference);
    EXPECT_EQ(b.model.status, "Сохранение завершено");
    EXPECT_TRUE(WindowsBack(b));
    EXPECT_TRUE(b.model.N13.enabled);
    EXPECT_FALSE(b.link.loadResult.has_value()) << "the check is no read of the command";
    EXPECT_TRUE(b.dialogs.shown.empty());
  }
}

// The final "SAVE_OK\r\n" at once (below version 12 inside the program's last
// 5 ms pause) or late but within the final wait of 40 ticks: the write ends
// well; later than that it fails.
TEST(LinkWriteCheck, FinalSaveOkAtOnceOrLate) {
  struct Case {
    std::int64_t delayMs;
    bool ok;
  };
  for (int version = 10; version <= 15; ++version) {
    for (const Case& c : std::vector<Case>{{0, true}, {1500, true}, {2300, false}}) {
      SCOPED_TRACE(std::to_string(version) + ", SAVE_OK after " + std::to_string(c.delayMs) + " ms");
      sim::ControllerOptions options = Holding(version);
      options.saveOkDelayMs = c.delayMs;
      LinkBench b(options);
      ASSERT_TRUE(b.Connect());
      EditPassword(b, "5678");
      ASSERT_TRUE(Write(b));
      EXPECT_EQ(b.link.saveResult, c.ok);
      EXPECT_EQ(b.sim().image(), b.model.ws.working.bytes()) << "the controller holds the image either way";
      EXPECT_EQ(b.model.status, c.ok ? "Сохранение завершено" : "Сохранение неудачно");
      EXPECT_TRUE(WindowsBack(b));
    }
  }
}

// The controller holds something else than what was sent: a failure that says
// where, and tells the user to write again.
TEST(LinkWriteCheck, ImageThatDiffersIsAFailure) {
  struct Case {
    const char* name;
    int version;
    // Changes what the controller holds (or delivers) once it has taken `at`
    // bytes of the write.
    std::size_t at;
    std::function<void(LinkBench&)> change;
    std::size_t first;  // the first offset that differs
    std::string box;
  };
  const auto holding = [](std::function<void(Bytes&)> change) {
    return [change](LinkBench& b) {
      Bytes held = b.sim().image();
      change(held);
      b.sim().SetImage(held);
    };
  };
  const auto message = [](const std::string& where) {
    return std::string("Конфигурация в контроллере не совпадает с переданной!\r") + where +
           "\rПередайте конфигурацию в контроллер ещё раз.";
  };
  const std::vector<Case> cases = {
      {"a relay of a reaction", 15, 1000, holding([](Bytes& i) { i[297] = 'Z'; }), 297,
       message("Первое расхождение: байт 297 (Вход 3/Размыкание/relays).")},
      {"shifted by a byte from the password on", 12, 5000, holding([](Bytes& i) {
         i.insert(i.begin() + L::kPassword + 2, i[L::kPassword + 1]);
         i.pop_back();
       }),
       4738, message("Первое расхождение: байт 4738 (PasswordEdit).")},
      {"the checksum byte", 13, 5400, [](LinkBench& b) { b.faults().badChecksum = true; }, 5483,
       message("Первое расхождение: байт 5483 (checksum).")},
      {"a byte of no setting", 10, 3000, holding([](Bytes& i) { i[L::SourceBlock(0, 0) + L::kBlockEnd] = '#'; }), 58,
       message("Первое расхождение: байт 58.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkBench b(Holding(c.version));
    b.checkProtocol = false;  // the test changes the controller's memory behind the PC's back
    ASSERT_TRUE(b.Connect());
    EditPassword(b, "5678");
    bool changed = false;
    b.link.N15Click();
    ASSERT_TRUE(b.RunUntil(
        [&] {
          if (!changed && b.link.TransferCount > c.at) {
            c.change(b);
            changed = true;
          }
          return b.link.saveResult.has_value();
        },
        200000));
    b.Run(50);
    EXPECT_EQ(b.link.saveResult, false);
    ASSERT_EQ(b.Shown(), std::vector<std::string>{c.box});
    EXPECT_TRUE(b.dialogs.shown[0].error);
    EXPECT_EQ(b.model.status, "Сохранение неудачно");
    EXPECT_EQ(b.link.LastWrite().firstDifference, c.first);
    ASSERT_TRUE(b.link.LastWrite().readBack.has_value());
    EXPECT_NE(b.link.LastWrite().readBack->at(c.first), b.link.LastWrite().sent->at(c.first));
    EXPECT_EQ(b.model.ws.working.bytes(), *b.link.LastWrite().sent) << "the configuration stays as it was";
    EXPECT_TRUE(WindowsBack(b));
    EXPECT_TRUE(b.model.N13.enabled);
  }
}

// A read-back that cannot be made is no proof: the write fails.
TEST(LinkWriteCheck, ReadBackThatFailsFailsTheWrite) {
  struct Case {
    const char* name;
    std::function<void(LinkBench&)> fault;  // applied once the controller has the whole image
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"no LOAD_OK", [](LinkBench& b) { b.faults().noLoadOk = true; },
       "Ошибка соединения с устройством !\rКод ошибки: 93"},
      {"the image stops", [](LinkBench& b) { b.faults().shortImage = 100; }, ""},
      {"the line hangs up during the read", [](LinkBench& b) { b.faults().hangUpAt = 2000; },
       "Превышен таймаут ожидания!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkBench b(Holding(15));
    ASSERT_TRUE(b.Connect());
    bool applied = false;
    b.link.N15Click();
    ASSERT_TRUE(b.RunUntil(
        [&] {
          if (!applied && b.sim().state() == sim::ControllerSim::State::Connected) {
            c.fault(b);
            applied = true;
          }
          return b.link.saveResult.has_value();
        },
        200000));
    b.Run(50);
    EXPECT_EQ(b.link.saveResult, false);
    ASSERT_EQ(b.dialogs.shown.size(), 1u);
    const std::string& box = b.dialogs.shown[0].text;
    if (std::string(c.name) == "the image stops") {
      // Shorter than the image: what came is compared, and the length differs.
      EXPECT_EQ(box,
                "Конфигурация в контроллере не совпадает с переданной!\r"
                "Длина конфигурации в контроллере: 100 байт, передано 5484.\r"
                "Передайте конфигурацию в контроллер ещё раз.");
    } else {
      EXPECT_EQ(box, "Запись не проверена: конфигурация не прочитана из контроллера.\r" + c.reason +
                         "\rПередайте конфигурацию в контроллер ещё раз.");
    }
    EXPECT_EQ(b.model.status, "Сохранение неудачно");
    EXPECT_TRUE(WindowsBack(b));
  }
}

TEST(LinkWriteCheck, LostPortDuringTheReadBackFailsTheWrite) {
  sim::ControllerOptions options = Holding(15);
  options.paced = true;  // the image takes 5.7 s to come back
  LinkBench b(options);
  ASSERT_TRUE(b.Connect());
  b.link.N15Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.model.status == T::kVerifying; }, 200000));
  b.Run(1000);
  b.LosePort();
  b.Run(100);
  EXPECT_EQ(b.link.saveResult, false);
  EXPECT_EQ(b.Shown(), std::vector<std::string>{"Запись не проверена: конфигурация не прочитана из контроллера.\r"
                                                "Нет связи с портом COM1\r"
                                                "Передайте конфигурацию в контроллер ещё раз."});
  EXPECT_TRUE(WindowsBack(b));
  EXPECT_FALSE(b.model.N13.enabled);
}

TEST(LinkWriteCheck, WithoutTheCheckTheWriteEndsAtItsLastSaveOk) {
  LinkBench b(Holding(12));
  b.link.verifyAfterWrite = false;
  ASSERT_TRUE(b.Connect());
  const std::size_t mark = b.Mark();
  ASSERT_TRUE(Write(b));
  EXPECT_EQ(b.link.saveResult, true);
  EXPECT_EQ(b.Sent(mark), WriteWire(b.model.ws.working.bytes(), 12));
  EXPECT_FALSE(b.link.LastWrite().readBack);
}

// A configuration of one firmware version is never written into a controller
// of another: the message names both, and nothing is sent.
TEST(LinkWriteCheck, ConfigurationOfAnotherVersionIsRefused) {
  struct Case {
    int controller;
    int configuration;
  };
  for (const Case& c : std::vector<Case>{{12, 15}, {15, 12}, {10, 11}, {14, 13}}) {
    SCOPED_TRACE(std::to_string(c.controller) + " <- " + std::to_string(c.configuration));
    LinkBench b(Holding(c.controller));
    MemoryBackups backups;
    b.link.backups = &backups;
    ASSERT_TRUE(b.Connect());
    b.model.ApplyProfile(c.configuration);  // as opening a file of that version does
    const Bytes held = b.sim().image();
    const std::size_t mark = b.Mark();
    ASSERT_TRUE(Write(b, 1000));
    EXPECT_EQ(b.link.saveResult, false);
    EXPECT_EQ(b.Shown(), std::vector<std::string>{"Конфигурация подготовлена для версии прошивки " +
                                                  std::to_string(c.configuration) + ", а контроллер сообщил версию " +
                                                  std::to_string(c.controller) + ".\rКонфигурация не передана."});
    EXPECT_TRUE(b.dialogs.shown[0].error);
    EXPECT_EQ(b.Sent(mark), "") << "nothing is sent, not even the read of the copy";
    EXPECT_TRUE(backups.copies.empty());
    EXPECT_EQ(b.sim().image(), held);
    EXPECT_EQ(b.model.status, "Сохранение неудачно!!!");
    EXPECT_TRUE(WindowsBack(b));
    EXPECT_TRUE(b.model.N13.enabled);
  }
}

// Before the write the controller's configuration is read and kept.
TEST(LinkWriteCheck, BackupIsReadAndKeptBeforeTheWrite) {
  for (int version = 10; version <= 15; ++version) {
    SCOPED_TRACE(version);
    LinkBench b(Holding(version));
    MemoryBackups backups;
    b.link.backups = &backups;
    ASSERT_TRUE(b.Connect());
    const Bytes held = b.sim().image();
    b.model.pages.ObjectID.text = "ОБ-7";
    b.model.pages.ObjectIDExit();
    EditPassword(b, "5678");
    std::vector<std::string> statuses;
    const std::size_t mark = b.Mark();
    b.link.N15Click();
    ASSERT_TRUE(b.RunUntil(
        [&] {
          if (statuses.empty() || statuses.back() != b.model.status) statuses.push_back(b.model.status);
          return b.link.saveResult.has_value();
        },
        200000));
    EXPECT_EQ(b.link.saveResult, true);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Резервное копирование конфигурации контроллера ...",
                                                  "Сохранение в контроллер ...", "Проверка записанной конфигурации ...",
                                                  "Сохранение завершено"}));
    const Bytes sent = b.model.ws.working.bytes();
    EXPECT_EQ(b.Sent(mark), "LOAD\n" + WriteWire(sent, version) + "LOAD\n");

    ASSERT_EQ(backups.copies.size(), 1u);
    const BackupCopy& copy = backups.copies[0];
    EXPECT_EQ(copy.version, version);
    EXPECT_EQ(copy.objectId, "") << "the controller's identifier, not the one being written";
    const SettingsFileParse file = ParseSettingsFile(copy.fileBytes);
    ASSERT_TRUE(file.data && file.data->image);
    EXPECT_EQ(file.data->version, version);
    EXPECT_EQ(*file.data->image, held) << "the copy holds what the controller held";
    EXPECT_EQ(b.link.LastWrite().backupPath, "/backups/без идентификатора/1.dat");

    // The copy opens as any settings file and shows the old configuration.
    ScriptedDialogs dialogs;
    MainModel opened(dialogs);
    opened.Startup();
    ASSERT_TRUE(opened.OpenSettingsBytes(copy.fileBytes));
    EXPECT_EQ(opened.pages.PasswordEdit.text, "9999");
    EXPECT_TRUE(dialogs.shown.empty());
  }
}

TEST(LinkWriteCheck, BackupNamesTheControllersObject) {
  sim::ControllerOptions options = Holding(15);
  options.image =
      DefaultImage(15, [](ConfigImage& i) { i.WriteText(L::kObjectIdLong, L::kObjectIdLongLength, "../СКЛАД"); });
  LinkBench b(options);
  MemoryBackups backups;
  b.link.backups = &backups;
  ASSERT_TRUE(b.Connect());
  ASSERT_TRUE(Write(b));
  ASSERT_EQ(backups.copies.size(), 1u);
  EXPECT_EQ(backups.copies[0].objectId, "../СКЛАД");
  EXPECT_EQ(b.link.LastWrite().backupPath, "/backups/_СКЛАД/1.dat");
}

// A controller whose configuration has a wrong checksum (a broken write) is
// still backed up as it is and can be written again.
TEST(LinkWriteCheck, BackupKeepsAConfigurationWithAWrongChecksum) {
  LinkBench b(Holding(15));
  MemoryBackups backups;
  b.link.backups = &backups;
  ASSERT_TRUE(b.Connect());
  b.faults().badChecksum = true;
  const Bytes held = b.sim().image();
  b.link.N15Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.model.status == T::kSaving; }, 20000));
  b.faults().badChecksum = false;
  ASSERT_TRUE(b.RunUntil([&] { return b.link.saveResult.has_value(); }, 200000));
  EXPECT_EQ(b.link.saveResult, true);
  ASSERT_EQ(backups.copies.size(), 1u);
  const SettingsFileParse file = ParseSettingsFile(backups.copies[0].fileBytes);
  ASSERT_TRUE(file.data && file.data->image);
  EXPECT_EQ(file.data->image->back(), static_cast<std::uint8_t>(ImageChecksum(held) + 1));
}

// Without the copy the write does not start: only the read went out.
TEST(LinkWriteCheck, BackupThatFailsStopsTheWrite) {
  struct Case {
    const char* name;
    std::function<void(LinkBench&, MemoryBackups&)> fault;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"no LOAD_OK", [](LinkBench& b, MemoryBackups&) { b.faults().noLoadOk = true; },
       "Ошибка соединения с устройством !\rКод ошибки: 93"},
      {"image of another length", [](LinkBench& b, MemoryBackups&) { b.faults().shortImage = 5121; },
       "Значения не установлены!\rНесоответствие длинн массивов"},
      {"the image stops", [](LinkBench& b, MemoryBackups&) { b.faults().hangUpAt = 300; },
       "Превышен таймаут ожидания!"},
      {"the copy cannot be kept", [](LinkBench&, MemoryBackups& s) { s.refusal = "No space left on device"; },
       "Не удалось сохранить резервную копию:\rNo space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkBench b(Holding(15));
    MemoryBackups backups;
    b.link.backups = &backups;
    ASSERT_TRUE(b.Connect());
    c.fault(b, backups);
    const Bytes held = b.sim().image();
    const std::size_t mark = b.Mark();
    ASSERT_TRUE(Write(b));
    EXPECT_EQ(b.link.saveResult, false);
    EXPECT_EQ(b.Sent(mark), "LOAD\n") << "nothing of the configuration went out";
    EXPECT_EQ(b.sim().image(), held);
    EXPECT_TRUE(backups.copies.empty());
    EXPECT_EQ(
        b.Shown(),
        std::vector<std::string>{
            c.reason + "\rРезервная копия не сделана, запись отменена: конфигурация в контроллер не передавалась."});
    EXPECT_EQ(b.model.status, "Сохранение неудачно!!!");
    EXPECT_TRUE(WindowsBack(b));
  }
}

// A line that floods bytes ends the exchange as a transfer error; what was
// collected is dropped.
TEST(LinkFlood, ReplyLongerThanAnyLegalOneEndsTheExchange) {
  struct Case {
    const char* name;
    std::function<void(LinkBench&)> start;
    std::function<std::optional<bool>(LinkBench&)> result;
    std::string reply;  // then the flood
  };
  const std::vector<Case> cases = {
      {"read", [](LinkBench& b) { b.link.N14Click(); }, [](LinkBench& b) { return b.link.loadResult; }, "LOAD_OK\r\n"},
      {"identifiers", [](LinkBench& b) { b.link.ID17Click(); }, [](LinkBench& b) { return b.link.idsResult; }, ""},
      {"status", [](LinkBench& b) { b.link.Button1Click(); }, [](LinkBench& b) { return b.link.statusResult; },
       "STATUS\r\n"},
      {"clock", [](LinkBench& b) { b.link.N16Click(); }, [](LinkBench& b) { return b.link.timeResult; }, "TIME_OK\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkBench b(15);
    ASSERT_TRUE(b.Connect());
    b.faults().silent = true;
    b.InjectAt(b.Now() + 1, c.reply);
    for (int i = 2; i < 12; ++i) b.InjectAt(b.Now() + i, std::string(2000, 'x'));
    c.start(b);
    ASSERT_TRUE(b.RunUntil([&] { return c.result(b).has_value(); }, 5000));
    b.Run(100);
    EXPECT_EQ(c.result(b), false);
    ASSERT_FALSE(b.dialogs.shown.empty());
    EXPECT_EQ(b.dialogs.shown.back().text, "Ошибка передачи данных!\rОтвет контроллера длиннее допустимого.");
    for (std::size_t i = 0; i < b.port.matchers().size(); ++i) {
      EXPECT_NE(b.port.matchers().at(i).state(), TApdDataPacket::State::Collecting) << b.port.matchers().at(i).Name();
    }
    EXPECT_TRUE(WindowsBack(b));
    if (std::string(c.name) == "read") {
      EXPECT_EQ(b.model.status, "Ошибка передачи данных!");
    }
  }
}

}  // namespace
}  // namespace vemtaro::testing

namespace vemtaro::testing {
namespace {

// What was last read from or written to the controller counts as saved: the
// question about unsaved changes is asked only when the configuration differs
// from it.
TEST(LinkUnsaved, ReadsAndProvenWritesLeaveNothingUnsaved) {
  LinkBench b(Holding(15));
  ASSERT_TRUE(b.Connect());
  EXPECT_FALSE(b.model.Modified()) << "the same version keeps the configuration as it was";
  EditPassword(b, "5678");
  ASSERT_TRUE(b.model.Modified());

  // A write the controller does not give back unchanged leaves the changes unsaved.
  b.faults().badChecksum = true;
  ASSERT_TRUE(Write(b));
  ASSERT_EQ(b.link.saveResult, false);
  EXPECT_TRUE(b.model.Modified());
  b.faults().badChecksum = false;
  b.dialogs.Clear();
  ASSERT_TRUE(Write(b));
  ASSERT_EQ(b.link.saveResult, true);
  EXPECT_FALSE(b.model.Modified());

  EditPassword(b, "1111");
  b.link.N14Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.loadResult.has_value(); }, 20000));
  EXPECT_EQ(b.link.loadResult, true);
  EXPECT_EQ(b.model.pages.PasswordEdit.text, "5678");
  EXPECT_FALSE(b.model.Modified());
}

TEST(LinkUnsaved, AnotherVersionsProfileStartsUnchanged) {
  LinkBench b(Holding(12));
  EditPassword(b, "5678");
  ASSERT_TRUE(b.model.Modified());
  ASSERT_TRUE(b.Connect());
  EXPECT_EQ(b.model.ws.FirmwareVersion, 12);
  EXPECT_FALSE(b.model.Modified()) << "the defaults of version 12, which nobody has changed";
}

}  // namespace
}  // namespace vemtaro::testing
