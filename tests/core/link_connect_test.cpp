// Choosing a port and the handshake with the controller: the port menu click,
// the connection-type dialog, the probe, the version reply, its failures, and
// ending or losing the connection.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace vemtaro::testing {
namespace {

namespace T = link_texts;

// A controller of version 13 and later one of version 15: the object
// identifier typed under version 15 is stored cut to 4 characters while the
// version 13 controller is connected and whole again under version 15.
TEST(LinkConnect, AnotherControllersVersionKeepsTheTypedObjectIdentifier) {
  LinkBench b(13);
  b.model.pages.ObjectID.text = "ABCDEFGHIJ";
  b.model.pages.ObjectIDExit();
  ASSERT_TRUE(b.Connect());
  ASSERT_EQ(b.model.ws.FirmwareVersion, 13);
  EXPECT_EQ(b.model.pages.ObjectID.text, "ABCDEFGHIJ");
  EXPECT_EQ(b.model.pages.ObjectID.maxLength, 4);
  EXPECT_EQ(b.model.ws.working.Raw(4732, 4), "ABCD");
  // The next controller reports version 15.
  b.link.ApdDataPacket3Packet(sim::DefaultVersionText(15));
  ASSERT_EQ(b.model.ws.FirmwareVersion, 15);
  EXPECT_EQ(b.model.pages.ObjectID.text, "ABCDEFGHIJ");
  EXPECT_EQ(b.model.pages.ObjectID.maxLength, 10);
  EXPECT_EQ(b.model.ws.working.Raw(5171, 10), "ABCDEFGHIJ");
  b.checkProtocol = false;  // the second reply came without a second handshake
}

// A controller of another version than the configuration's is told once the
// handshake is made, with what its profile reset and what it kept; a
// controller of the configuration's version changes nothing and tells nothing.
TEST(LinkConnect, AnotherVersionIsToldWithWhatItResets) {
  struct Case {
    int version;
    bool told;
  };
  for (const Case& c : std::vector<Case>{{12, true}, {14, true}, {15, false}}) {
    SCOPED_TRACE(c.version);
    LinkBench b(c.version);
    Pages& p = b.model.pages;
    p.ObjectID.text = "OB17";
    p.ObjectIDExit();
    p.AbonentNo[1].text = "+79161234567";
    p.AbonentNoExit(2);
    p.Rele[0].value = 9;
    p.TimeReleChange(1);
    p.PasswordEdit.text = "1234";
    p.PasswordEditExit();
    p.CenterPhone.text = "+79160000001";
    p.CenterPhoneExit();
    const std::optional<std::uint8_t> reaction = b.model.ws.working.Byte(layout::SourceBlock(2, 1));
    b.model.ws.working.SetByte(layout::SourceBlock(2, 1), 'Z');
    ASSERT_TRUE(b.Connect());
    ASSERT_EQ(b.model.ws.FirmwareVersion, c.version);

    const std::string v = std::to_string(c.version);
    const std::vector<std::string> box{"Контроллер сообщил версию прошивки " + v +
                                       ", а конфигурация была для версии 15.\rКонфигурация приведена к версии " + v +
                                       ": реакции обоих деревьев, пароль доступа, ID датчиков, мастер ключ, статусные "
                                       "сообщения, будильники, режим охраны, снятие/постановка по SMS, количество "
                                       "попыток отправки и телефон SMS центра сброшены к значениям по умолчанию.\r"
                                       "Идентификатор объекта, номера абонентов, задержки входов, длительности реле, "
                                       "зоны и задержка постановки сохранены в пределах полей этой версии."};
    EXPECT_EQ(b.dialogs.information, c.told ? box : std::vector<std::string>{});
    EXPECT_TRUE(b.dialogs.shown.empty());
    EXPECT_EQ(b.model.status,
              "Версия прошивки: " + sim::DefaultVersionText(c.version) +
                  (c.told ? " — конфигурация приведена к версии " + v + ", часть настроек сброшена" : ""));
    // Told once the controller has its "PC_OK", after the pause that follows.
    EXPECT_EQ(b.Sent(), "BYEPC\r\nPC_OK");
    // What the box says is what happened.
    const ConfigImage& w = b.model.ws.working;
    EXPECT_EQ(w.Raw(c.version < 14 ? layout::kObjectIdShort : layout::kObjectIdLong, 4), "OB17");
    EXPECT_EQ(p.AbonentNo[1].text, "+79161234567");
    EXPECT_EQ(w.Raw(layout::kReleDurations, 2), "09");
    EXPECT_EQ(w.Raw(layout::kPassword, 4), c.told ? "****" : "1234");
    EXPECT_EQ(p.CenterPhone.text, c.told ? page_texts::kDefaultCenterPhone : "+79160000001");
    EXPECT_EQ(w.Byte(layout::SourceBlock(2, 1)), c.told ? reaction : std::optional<std::uint8_t>{std::uint8_t{'Z'}});

    // A later controller of the same version tells nothing.
    b.dialogs.information.clear();
    b.link.ApdDataPacket3Packet(sim::DefaultVersionText(c.version));
    EXPECT_TRUE(b.dialogs.information.empty());
    EXPECT_EQ(b.model.status, "Версия прошивки: " + sim::DefaultVersionText(c.version));
    b.checkProtocol = false;  // the second reply came without a second handshake
  }
}

TEST(LinkConnect, DirectConnectionMakesTheHandshake) {
  LinkBench b(15);
  b.ClickPort(0);
  EXPECT_EQ(b.dialogs.connectionTypeAsked, 1);
  EXPECT_EQ(b.host.opened, std::vector<std::string>{"COM1"});
  EXPECT_EQ(b.host.pauses, std::vector<Millis>{100}) << "100 ms after opening";
  EXPECT_EQ(b.link.comStatus, "Поиск устройства: порт COM1");
  EXPECT_TRUE(b.link.NotConnected());
  EXPECT_FALSE(b.model.N13.enabled);

  ASSERT_TRUE(b.RunUntil([&] { return b.model.N13.enabled; }, 10000));
  EXPECT_EQ(b.Sent(),
            "BYE"
            "PC\r\n"
            "PC_OK");
  EXPECT_EQ(b.host.pauses, (std::vector<Millis>{100, 100, 1000})) << "after opening, before PC, after PC_OK";
  EXPECT_EQ(b.link.comStatus, "Устройство подключено к: COM1");
  EXPECT_EQ(b.model.status, "Версия прошивки: GSM-ALARM 15");
  EXPECT_EQ(b.link.VersionText(), "GSM-ALARM 15");
  EXPECT_EQ(b.link.ReportedVersion(), 15);
  EXPECT_FALSE(b.link.NotConnected());
  EXPECT_TRUE(b.link.Connected());
  EXPECT_FALSE(b.matchers().ApdDataPacket3.Enabled());
  EXPECT_FALSE(b.matchers().STARTPACK.settings.AutoEnable) << "the first handshake ends re-arming";
  EXPECT_EQ(b.sim().state(), sim::ControllerSim::State::Connected);
  EXPECT_TRUE(b.dialogs.shown.empty());
  EXPECT_TRUE(b.ShellUpToDate());
}

TEST(LinkConnect, ProbeIsAnswered100msLaterAndTheVersionMatcherArmed) {
  LinkBench b(15);
  b.faults().silent = true;
  b.ClickPort(0);
  b.Run(50);
  const std::size_t mark = b.Mark();
  const Millis probeAt = b.Now() + 10;
  b.InjectAt(probeAt, "ATI");
  b.Run(200);
  EXPECT_EQ(b.Sent(mark), "") << "\"ATI\" alone does not fire the probe matcher";
  b.InjectAt(b.Now() + 1, "\r");
  const Millis fired = b.Now() + 1;
  b.Run(200);
  ASSERT_EQ(b.Sent(mark), "PC\r\n");
  const Millis at = b.SentAt(0, mark);
  EXPECT_GE(at - fired, 100);
  EXPECT_LE(at - fired, 102);
  EXPECT_TRUE(b.matchers().ApdDataPacket3.Enabled());
  EXPECT_TRUE(b.link.NotConnected()) << "the first search re-arms the probe matcher";
}

// The version reported by the controller selects its profile; KeepImage says
// whether the pages and trees stay as they are.
TEST(LinkConnect, ReportedVersionSelectsItsProfile) {
  struct Case {
    int version;
    bool keepImage;
    std::size_t length;
    bool checksum;
  };
  for (const Case& c : std::vector<Case>{
           {15, true, 5484, true}, {14, false, 5484, true}, {12, false, 5121, true}, {10, false, 5121, false}}) {
    SCOPED_TRACE(c.version);
    LinkBench b(c.version);
    b.model.pages.PasswordEdit.text = "1234";
    b.model.pages.PasswordEditExit();
    ASSERT_EQ(b.model.ws.working.Raw(layout::kPassword, 8), "1234****");
    ASSERT_TRUE(b.Connect());
    EXPECT_EQ(b.model.ws.KeepImage, c.keepImage);
    EXPECT_EQ(b.model.ws.FirmwareVersion, c.version);
    EXPECT_EQ(b.model.ws.working.size(), c.length);
    EXPECT_EQ(b.model.ws.ChecksumEnabled, c.checksum);
    const bool kept = b.model.ws.working.Raw(layout::kPassword, 8) == "1234****";
    EXPECT_EQ(kept, c.keepImage) << "a new version resets the image";
    EXPECT_EQ(b.model.pages.PasswordEdit.text == "1234", c.keepImage);
    EXPECT_GT(b.pageChanges, 0);
  }
}

TEST(LinkConnect, VersionCharactersTenToTwelveAreRead) {
  struct Case {
    int firmware;
    std::string text;
  };
  for (const Case& c : std::vector<Case>{
           {15, "GSM-ALARM 15"}, {15, "GSM-ALARM015"}, {13, "ABCDEFGHI 13 build 7"}, {11, "         011"}}) {
    SCOPED_TRACE(c.text);
    sim::ControllerOptions options = VersionOptions(c.firmware);
    options.versionText = c.text;
    LinkBench b(options);
    ASSERT_TRUE(b.Connect());
    EXPECT_EQ(b.model.ws.FirmwareVersion, c.firmware);
    // The whole version text; a version other than 15 is followed by the
    // note that the configuration follows it.
    EXPECT_EQ(b.model.status.rfind("Версия прошивки: " + c.text + (c.firmware == 15 ? "" : " — "), 0), 0u)
        << b.model.status;
    EXPECT_EQ(b.Sent(),
              "BYE"
              "PC\r\n"
              "PC_OK");
  }
}

// An unreadable version and a version of 5 or less keep searching: no "PC_OK",
// the probe matcher stays armed, the next probe starts the exchange again and
// the box is shown again.
TEST(LinkConnect, UnreadableOrTooOldVersionKeepsSearching) {
  struct Case {
    int firmware;
    std::string text;
    std::string box;
  };
  const std::string old = "Устаревшая версия прошивки контроллера\rКод ошибки: 91";
  for (const Case& c : std::vector<Case>{
           {15, "GSM-ALARM15x", "'15x' is not a valid integer value"},
           {15, "GSM-ALARM1x5", "'1x5' is not a valid integer value"},
           {15, "GSM-ALARM 1 5", "' 1 ' is not a valid integer value"},
           {15, "GSM-ALARM1", "'1' is not a valid integer value"},
           {15, "GSM", "'' is not a valid integer value"},
           {15, "GSM-ALARM  5", old},
           {15, "GSM-ALARM  0", old},
           {15, "GSM-ALARM -3", old},
       }) {
    SCOPED_TRACE(c.text);
    sim::ControllerOptions options = VersionOptions(c.firmware);
    options.versionText = c.text;
    LinkBench b(options);
    b.ClickPort(0);
    ASSERT_TRUE(b.RunUntil([&] { return b.dialogs.shown.size() >= 2; }, 20000));
    for (const auto& shown : b.dialogs.shown) {
      EXPECT_TRUE(shown.error);
      EXPECT_EQ(shown.text, c.box);
    }
    EXPECT_EQ(b.Sent(),
              "BYE"
              "PC\r\n"
              "PC\r\n")
        << "each probe answered, no PC_OK";
    EXPECT_TRUE(b.link.NotConnected());
    EXPECT_FALSE(b.model.N13.enabled);
    EXPECT_FALSE(b.matchers().ApdDataPacket3.Enabled());
    EXPECT_EQ(b.link.comStatus, "Поиск устройства: порт COM1");
    EXPECT_EQ(b.model.ws.FirmwareVersion, 15);
    EXPECT_EQ(b.model.status, "Ожидание ответа контроллера на порту COM1 ...") << "still searching";
  }
}

// A version of 6 to 9 or above 15 ends the search with "PC_OK" but selects no
// profile: the exchange menu stays disabled.
TEST(LinkConnect, VersionWithoutProfileEndsTheSearch) {
  for (int version : {6, 9, 16, 99}) {
    SCOPED_TRACE(version);
    LinkBench b(version);
    b.ClickPort(0);
    ASSERT_TRUE(b.RunUntil([&] { return b.link.ReportedVersion().has_value(); }, 10000));
    b.Run(2000);
    EXPECT_EQ(b.Sent(),
              "BYE"
              "PC\r\n"
              "PC_OK");
    EXPECT_EQ(b.host.pauses.back(), 1000);
    EXPECT_EQ(b.link.ReportedVersion(), version);
    EXPECT_FALSE(b.model.N13.enabled);
    EXPECT_FALSE(b.link.NotConnected()) << "the probe matcher is disarmed";
    EXPECT_FALSE(b.link.Connected());
    EXPECT_EQ(b.link.comStatus, "Поиск устройства: порт COM1");
    EXPECT_EQ(b.model.ws.FirmwareVersion, 15);
    EXPECT_FALSE(b.model.ws.KeepImage);
    EXPECT_EQ(b.model.status, "");
    EXPECT_TRUE(b.dialogs.shown.empty());
    EXPECT_EQ(b.sim().state(), sim::ControllerSim::State::Connected);
  }
}

TEST(LinkConnect, LowerCaseVersionAndProbeAreAccepted) {
  LinkBench b(15);
  b.faults().silent = true;
  b.ClickPort(0);
  b.InjectAt(b.Now() + 5, "ati\r");
  ASSERT_TRUE(b.RunUntil([&] { return b.Sent().find("PC\r\n") != std::string::npos; }, 1000));
  b.Inject("ver.GSM-ALARM 15\r\n");
  ASSERT_TRUE(b.RunUntil([&] { return b.model.N13.enabled; }, 1000));
  EXPECT_EQ(b.model.status, "Версия прошивки: GSM-ALARM 15");
  EXPECT_EQ(b.Sent(),
            "BYE"
            "PC\r\n"
            "PC_OK");
}

TEST(LinkConnect, FirstSearchAnswersEveryProbeLaterSearchesOnlyTheFirst) {
  // First search of the program run: every probe is answered. The test plays
  // the controller's probes itself, so the controller does not know of them.
  LinkBench b(15);
  b.checkProtocol = false;
  b.faults().silent = true;
  b.ClickPort(0);
  for (int i = 1; i <= 3; ++i) b.InjectAt(b.Now() + 200 * i, "ATI\r");
  b.Run(1000);
  EXPECT_EQ(b.Sent(),
            "BYE"
            "PC\r\n"
            "PC\r\n"
            "PC\r\n");
  EXPECT_TRUE(b.link.NotConnected());

  // After a handshake has been made: only the first probe of a new search.
  LinkBench c(15);
  c.checkProtocol = false;
  ASSERT_TRUE(c.Connect());
  c.faults().silent = true;
  const std::size_t mark = c.Mark();
  c.ClickPort(0);
  EXPECT_EQ(c.link.comStatus, "Поиск устройства: порт COM1");
  EXPECT_FALSE(c.model.N13.enabled);
  EXPECT_TRUE(c.link.NotConnected());
  for (int i = 1; i <= 3; ++i) c.InjectAt(c.Now() + 200 * i, "ATI\r");
  c.Run(1000);
  EXPECT_EQ(c.Sent(mark),
            "BYE"
            "PC\r\n");
  EXPECT_FALSE(c.link.NotConnected()) << "the probe matcher stays disarmed";
  EXPECT_FALSE(c.model.N13.enabled);
}

// Connects, then starts a search of its own in which the controller is
// silent and the test plays the controller's probes itself: the first "ATI"
// is answered. `mark` is where the search's sending starts.
void StartALaterSearch(LinkBench& b, std::size_t& mark) {
  b.checkProtocol = false;
  ASSERT_TRUE(b.Connect());
  b.faults().silent = true;
  b.ClickPort(0);
  mark = b.Mark();
  b.Inject("ATI\r");
  b.Run(200);
  ASSERT_EQ(b.Sent(mark), "PC\r\n");
}

TEST(LinkConnect, VersionReplyTimeOutArmsTheProbeMatcherAgain) {
  // A later search, so that only the time-out can arm the probe matcher again.
  LinkBench b(15);
  std::size_t mark = 0;
  ASSERT_NO_FATAL_FAILURE(StartALaterSearch(b, mark));
  ASSERT_FALSE(b.link.NotConnected());

  const Millis start = (b.Now() / kTickMs + 1) * kTickMs;  // the first millisecond of a tick
  b.InjectAt(start, "Ver.GSM-AL");
  b.Run(start - b.Now() + 100 * kTickMs);
  EXPECT_TRUE(b.matchers().ApdDataPacket3.Enabled()) << "100 ticks have not yet passed";
  b.Run(kTickMs);
  EXPECT_FALSE(b.matchers().ApdDataPacket3.Enabled());
  EXPECT_TRUE(b.link.NotConnected());
  EXPECT_TRUE(b.dialogs.shown.empty()) << "no message";

  // The rest of the reply is dropped; the next probe is answered.
  b.Inject("ARM 15\r\n");
  b.Run(100);
  EXPECT_FALSE(b.model.N13.enabled);
  b.Inject("ATI\r");
  b.Run(200);
  EXPECT_EQ(b.Sent(mark),
            "PC\r\n"
            "PC\r\n");
}

// A version reply that floods the line ("Ver." and 300 digits, no line end)
// is dropped as the other replies that pass their bound are, with the same
// message; the search goes on and the next probe is answered.
TEST(LinkConnect, AFloodedVersionReplyIsReportedAndTheSearchGoesOn) {
  // A later search, so that only the end of the reply can arm the probe
  // matcher again.
  LinkBench b(15);
  std::size_t mark = 0;
  ASSERT_NO_FATAL_FAILURE(StartALaterSearch(b, mark));
  b.Inject("Ver." + std::string(300, '1'));
  b.Run(100);
  EXPECT_EQ(b.Shown(), std::vector<std::string>{"Ошибка передачи данных!\rОтвет контроллера длиннее допустимого."});
  EXPECT_FALSE(b.dialogs.shown.at(0).error) << "a message, as for the other replies";
  EXPECT_FALSE(b.matchers().ApdDataPacket3.Enabled());
  EXPECT_TRUE(b.link.NotConnected()) << "the search goes on";
  EXPECT_FALSE(b.model.N13.enabled);
  EXPECT_EQ(b.Sent(mark), "PC\r\n") << "nothing is answered to the flood";
  // The next probe is answered and a proper reply connects.
  b.Inject("ATI\r");
  b.Run(200);
  EXPECT_EQ(b.Sent(mark), "PC\r\nPC\r\n");
  b.Inject("Ver.GSM-ALARM 15\r\n");
  b.Run(1200);
  EXPECT_TRUE(b.model.N13.enabled);
  EXPECT_EQ(b.Sent(mark), "PC\r\nPC\r\nPC_OK");
  EXPECT_EQ(b.Shown().size(), 1u);
}

TEST(LinkConnect, SilentControllerIsSearchedForWithoutLimit) {
  LinkBench b(15);
  b.faults().silent = true;
  b.ClickPort(0);
  b.Run(60000);
  EXPECT_EQ(b.Sent(), "BYE");
  EXPECT_EQ(b.link.comStatus, "Поиск устройства: порт COM1");
  EXPECT_TRUE(b.link.NotConnected());
  EXPECT_FALSE(b.model.N13.enabled);
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(LinkConnect, PortThatCannotBeOpened) {
  struct Case {
    PortOpenResult outcome;
    std::string name;
    std::string reason;
    std::string comStatus;
    std::string box;
  };
  for (const Case& c : std::vector<Case>{
           {PortOpenResult::AccessDenied, "COM3", "Permission denied", "Порт COM3 занят", "Порт занят"},
           {PortOpenResult::AccessDenied, "/dev/ttyUSB0", "", "Порт /dev/ttyUSB0 занят", "Порт занят"},
           {PortOpenResult::NoPermission, "/dev/ttyUSB0", "Permission denied", "Порт /dev/ttyUSB0: нет доступа",
            "Порт занят\rНет доступа к порту: у пользователя нет прав на его открытие.\rВ Linux добавьте "
            "пользователя в группу dialout (sudo usermod -aG dialout $USER) и войдите в систему заново."},
           {PortOpenResult::Failed, "COM7", "", "Порт COM7 не найден", "Порт не найден"},
           {PortOpenResult::Failed, "COM7", "No such file or directory", "Порт COM7 не найден",
            "Порт не найден\rNo such file or directory"},
       }) {
    SCOPED_TRACE(c.comStatus);
    LinkBench b(15);
    b.host.openOutcome = c.outcome;
    b.host.openFailure = c.reason;
    b.ClickPort(0, c.name);
    EXPECT_EQ(b.host.opened, std::vector<std::string>{c.name});
    EXPECT_EQ(b.link.comStatus, c.comStatus);
    ASSERT_EQ(b.dialogs.shown.size(), 1u);
    EXPECT_TRUE(b.dialogs.shown[0].error);
    EXPECT_EQ(b.dialogs.shown[0].text, c.box);
    EXPECT_FALSE(b.controller.line().host().IsOpen());
    EXPECT_FALSE(b.port.matchers().PortOpen());
    EXPECT_FALSE(b.matchers().STARTPACK.Enabled());
    EXPECT_FALSE(b.model.N13.enabled);
    EXPECT_TRUE(b.host.pauses.empty());
    b.Run(3000);
    EXPECT_EQ(b.Sent(), "") << "nothing is sent on a port that did not open";
  }
}

TEST(LinkConnect, CancellingTheDialogLeavesThePortClosed) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  const std::size_t mark = b.Mark();
  b.ClickPort(std::nullopt);
  EXPECT_FALSE(b.controller.line().host().IsOpen());
  EXPECT_FALSE(b.model.N13.enabled);
  EXPECT_FALSE(b.link.Connected());
  EXPECT_FALSE(b.matchers().STARTPACK.Enabled());
  EXPECT_EQ(b.link.comStatus, "Устройство подключено к: COM1") << "ComStatus keeps its text";
  EXPECT_TRUE(b.host.opened.size() == 1u) << "the port is not opened again";
  b.Run(5000);
  EXPECT_EQ(b.Sent(mark), "");
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(LinkConnect, ModemConnectionOpensThePortAndSendsNothing) {
  LinkBench b(15);
  b.ClickPort(1);
  EXPECT_TRUE(b.controller.line().host().IsOpen());
  EXPECT_EQ(b.link.comStatus, "Поиск модема: порт COM1");
  EXPECT_FALSE(b.matchers().STARTPACK.Enabled());
  b.Run(5000);  // the controller probes meanwhile
  EXPECT_EQ(b.Sent(), "");
  EXPECT_FALSE(b.model.N13.enabled);
  EXPECT_FALSE(b.link.NotConnected());
  EXPECT_EQ(b.link.comStatus, "Поиск модема: порт COM1");
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(LinkConnect, EndingTheConnection) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.link.timer3Running = true;
  b.matchers().Zagruzka.SetEnabled(true, b.Now());
  const std::size_t mark = b.Mark();
  b.InjectAt(b.Now() + 100, "late bytes");
  b.link.EndConnection();
  EXPECT_EQ(b.Sent(mark), "BYE");
  EXPECT_EQ(b.host.pauses.back(), 300);
  EXPECT_FALSE(b.link.timer3Running);
  EXPECT_FALSE(b.matchers().Zagruzka.Enabled());
  EXPECT_EQ(b.port.line().Available(), 0u) << "input flushed";
  EXPECT_EQ(b.sim().state(), sim::ControllerSim::State::Probing);

  // With the port closed nothing is sent.
  b.ClickPort(std::nullopt);
  const std::size_t closedMark = b.Mark();
  const std::size_t pauses = b.host.pauses.size();
  b.link.EndConnection();
  b.Run(10);
  EXPECT_EQ(b.Sent(closedMark), "");
  EXPECT_EQ(b.host.pauses.size(), pauses);
}

TEST(LinkConnect, LostPortEndsTheConnection) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.LosePort();
  EXPECT_EQ(b.link.comStatus, "Нет связи с портом COM1");
  EXPECT_FALSE(b.model.N13.enabled);
  EXPECT_FALSE(b.link.Connected());
  EXPECT_TRUE(b.link.mainEnabled);
  EXPECT_TRUE(b.dialogs.shown.empty());
  EXPECT_TRUE(b.ShellUpToDate());

  // A new port choice connects again.
  b.sim().Restart(b.Now());
  ASSERT_TRUE(b.Connect());
  EXPECT_EQ(b.link.comStatus, "Устройство подключено к: COM1");
}

}  // namespace
}  // namespace vemtaro::testing

namespace vemtaro::testing {
namespace {

// Bytes that arrive during a pause of the program go to the matchers armed
// while they arrived: a probe during the 100 ms after opening, when nothing is
// armed yet, is dropped, and only a later probe is answered.
TEST(LinkConnect, ProbeDuringThePauseAfterOpeningIsNotAnswered) {
  LinkBench b(15);
  b.faults().silent = true;
  b.InjectAt(b.Now() + 20, "ATI\r");
  b.ClickPort(0);
  const std::size_t mark = b.Mark();
  b.Run(300);
  EXPECT_EQ(b.Sent(mark), "") << "the probe came before the probe matcher was armed";
  b.Inject("ATI\r");
  b.Run(300);
  EXPECT_EQ(b.Sent(mark), "PC\r\n");
}

}  // namespace
}  // namespace vemtaro::testing

namespace vemtaro::testing {
namespace {

// A controller that probes every 30 ms until "PC_OK": the probes that come
// during the 100 ms before "PC\r\n" arrive while the probe matcher waits for
// its handler to end, so one probe is answered and the handshake ends 100 ms
// after it.
TEST(LinkConnect, ProbesDuringThePauseBeforePcAreNotAnsweredAgain) {
  sim::ControllerOptions options = VersionOptions(15);
  options.probeIntervalMs = 30;
  options.keepProbing = true;
  LinkBench b(options);
  b.ClickPort(0);
  const Millis armedAt = b.Now();
  const std::size_t mark = b.Mark();
  ASSERT_TRUE(b.RunUntil([&] { return b.model.N13.enabled; }, 5000));
  b.Run(2000);
  EXPECT_EQ(b.Sent(mark),
            "PC\r\n"
            "PC_OK");
  // The first probe after arming comes within 30 ms; "PC\r\n" 100 ms after
  // it, "PC_OK" as soon as the version reply is in.
  EXPECT_LE(b.SentAt(0, mark) - armedAt, 30 + 100 + 2);
  EXPECT_LE(b.SentAt(4, mark) - b.SentAt(0, mark), 3);
  EXPECT_TRUE(b.dialogs.shown.empty());
}

// Nothing is answered after "BYE": a probe that arrives during the pause after
// it, while the program is still searching, finds no matcher.
TEST(LinkConnect, ProbeAfterByeIsNotAnswered) {
  for (const bool connected : {false, true}) {
    SCOPED_TRACE(connected ? "connected" : "searching");
    LinkBench b(15);
    if (connected) {
      ASSERT_TRUE(b.Connect());
    } else {
      b.faults().silent = true;
      b.ClickPort(0);
      b.Run(50);
      ASSERT_TRUE(b.link.NotConnected());
    }
    b.faults().silent = true;
    const std::size_t mark = b.Mark();
    b.InjectAt(b.Now() + 50, "ATI\r");
    b.InjectAt(b.Now() + 250, "ATI\r");
    b.link.EndConnection();
    b.Run(1000);
    EXPECT_EQ(b.Sent(mark), "BYE");
    EXPECT_TRUE(b.dialogs.shown.empty());
  }
}

}  // namespace
}  // namespace vemtaro::testing
