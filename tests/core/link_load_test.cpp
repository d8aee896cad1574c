// Reading the configuration from the controller: the exchange on the wire, the
// progress window, the checks of length and checksum, and every way it fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace vemtaro::testing {
namespace {

namespace L = layout;

// An image that differs from the defaults a started window holds.
Bytes EditedImage(int version, const std::function<void(ConfigImage&)>& more = {}) {
  return DefaultImage(version, [&](ConfigImage& image) {
    image.WriteHexPair(L::kInputDelays, 42);
    image.WriteText(L::kPassword, L::kPasswordLength, "4321");
    if (more) more(image);
  });
}

sim::ControllerOptions WithImage(int version, Bytes image, bool paced = false) {
  sim::ControllerOptions options = VersionOptions(version);
  options.image = std::move(image);
  options.paced = paced;
  return options;
}

// The window elements a finished load gives back.
void ExpectWindowsBack(LinkBench& b) {
  EXPECT_FALSE(b.link.progressVisible);
  EXPECT_TRUE(b.link.mainEnabled);
  EXPECT_TRUE(b.link.pagesEnabled);
  EXPECT_TRUE(b.link.fileMenuEnabled);
  EXPECT_TRUE(b.link.portMenuAttached);
  EXPECT_FALSE(b.link.Transferring());
  EXPECT_TRUE(b.ShellUpToDate());
  EXPECT_FALSE(b.port.Held()) << "port events are delivered again";
}

TEST(LinkLoad, ReadsTheImageAndShowsIt) {
  const Bytes image = EditedImage(15);
  LinkBench b(WithImage(15, image, /*paced=*/true));
  ASSERT_TRUE(b.Connect());
  const std::size_t mark = b.Mark();
  b.link.N14Click();

  // "LOAD_OK" has been taken; the image is on its way.
  EXPECT_EQ(b.Sent(mark), "LOAD\n");
  EXPECT_TRUE(b.link.progressVisible);
  EXPECT_FALSE(b.link.mainEnabled);
  EXPECT_FALSE(b.link.pagesEnabled);
  EXPECT_FALSE(b.link.fileMenuEnabled);
  EXPECT_FALSE(b.model.N13.enabled);
  EXPECT_FALSE(b.link.portMenuAttached);
  EXPECT_TRUE(b.link.timer3Running);
  EXPECT_EQ(b.model.gaugeMax, 5484);
  EXPECT_EQ(b.model.status, "Загрузка из контроллера ...");
  EXPECT_FALSE(b.link.loadResult.has_value());

  // Progress: Timer3 copies the bytes received so far into the gauge.
  b.Run(2000);
  b.link.Timer3Timer();
  EXPECT_GT(b.link.gaugePosition, 1000);
  EXPECT_LT(b.link.gaugePosition, 5484);
  EXPECT_EQ(b.link.gaugePosition, static_cast<int>(b.link.TransferCount));

  ASSERT_TRUE(b.RunUntil([&] { return b.link.loadResult.has_value(); }, 10000));
  EXPECT_EQ(b.link.loadResult, true);
  EXPECT_EQ(b.model.ws.working.bytes(), image);
  EXPECT_EQ(b.model.pages.Input[0].value, 42);
  EXPECT_EQ(b.model.pages.PasswordEdit.text, "4321");
  EXPECT_EQ(b.model.status, "Загрузка завершена");
  ExpectWindowsBack(b);
  EXPECT_TRUE(b.model.N13.enabled);
  EXPECT_TRUE(b.link.timer3Running) << "Timer3 runs until the program ends";
  EXPECT_EQ(b.link.TransferCount, 0u);
  EXPECT_FALSE(b.matchers().Zagruzka.Enabled());
  EXPECT_TRUE(b.dialogs.shown.empty());
  EXPECT_GT(b.pageChanges, 0);
  EXPECT_EQ(b.Sent(mark), "LOAD\n") << "nothing else is sent";
}

TEST(LinkLoad, GaugeStopsAtItsMaximum) {
  LinkBench b(15);
  b.link.TransferCount = 5484 + 11;  // the framing is counted too
  b.link.Timer3Timer();
  EXPECT_EQ(b.link.gaugePosition, 5484);
}

// The reply as the controller frames it: "LOAD_OK", bytes to skip, "\r\n", an
// image holding line ends and a "LOAD_OK" that does not end it, "LOAD_OK\r\n".
TEST(LinkLoad, FramingOfTheReply) {
  const Bytes image = EditedImage(15, [](ConfigImage& i) { i.SetRaw(30, "\r\n\r\nLOAD_OK\rload_ok\n"); });
  LinkBench b(WithImage(15, image));
  ASSERT_TRUE(b.Connect());
  b.faults().silent = true;
  b.Inject(
      "LOAD_OK"
      "skipped\r"
      "\r\n" +
      Str(image) +
      "load_ok\r\n"
      "after");
  b.link.N14Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.loadResult.has_value(); }, 1000));
  EXPECT_EQ(b.link.loadResult, true);
  EXPECT_EQ(b.model.ws.working.bytes(), image);
  EXPECT_EQ(b.port.line().Available(), 0u) << "bytes after the image are flushed";
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(LinkLoad, AcknowledgementIsTakenInExactLetterCase) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.faults().silent = true;
  b.Inject("load_ok\r\n");
  b.link.N14Click();
  EXPECT_EQ(b.Shown(), std::vector<std::string>{"Ошибка соединения с устройством !\rКод ошибки: 93"});
  EXPECT_EQ(b.link.loadResult, false);
}

// Every failure leaves the image and the pages as they were and gives the
// windows back.
TEST(LinkLoad, Failures) {
  struct Case {
    const char* name;
    std::function<void(LinkBench&)> setup;  // up to the moment of the command
    std::string box;
    bool errorBox;
    std::string statusDuringBox;
    std::string statusAfter;
    bool timedOut;      // the box comes only after the 1000-tick time-out
    bool incomingKept;  // a checked image stays in the incoming image
  };
  const auto connected = [](std::function<void(LinkBench&)> more) {
    return [more](LinkBench& b) {
      ASSERT_TRUE(b.Connect());
      if (more) more(b);
    };
  };
  const std::string timeout = "Превышен таймаут ожидания!";
  const std::vector<Case> cases = {
      {"not connected",
       [](LinkBench& b) {
         b.faults().silent = true;
         b.ClickPort(0);
       },
       "Устройство не подключено !\rКод ошибки: 92", true, "Ожидание ответа контроллера на порту COM1 ...",
       "Загрузка неудачна !!!", false, true},
      {"no LOAD_OK", connected([](LinkBench& b) { b.faults().noLoadOk = true; }),
       "Ошибка соединения с устройством !\rКод ошибки: 93", true, "Загрузка неудачна !!!", "Загрузка неудачна !!!",
       false, true},
      {"short image", connected([](LinkBench& b) { b.faults().shortImage = 100; }),
       "Значения не установлены!\rНесоответствие длинн массивов", true, "Загрузка из контроллера ...",
       "Загрузка неудачна", false, true},
      {"bad checksum", connected([](LinkBench& b) { b.faults().badChecksum = true; }),
       "Значения не установлены!\rНеверная контольная сумма", true, "Загрузка из контроллера ...", "Загрузка неудачна",
       false, false},
      {"unreadable field", connected([](LinkBench& b) {
         b.sim().SetImage(EditedImage(15, [](ConfigImage& i) { i.SetRaw(L::kInputDelays + 2, "Z1"); }));
       }),
       "Значения не установлены!\rОшибка данных\rКод ошибки: 94", true, "Загрузка из контроллера ...",
       "Загрузка неудачна", false, false},
      {"no end of image", connected([](LinkBench& b) { b.faults().hangUpAt = 1000; }), timeout, false,
       "Загрузка неудачна", "Ошибка передачи данных!", true, true},
      {"no line end after LOAD_OK", connected([](LinkBench& b) {
         b.faults().silent = true;
         b.Inject("LOAD_OK");
       }),
       timeout, false, "Загрузка неудачна", "Ошибка передачи данных!", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bench = std::make_unique<LinkBench>(WithImage(15, EditedImage(15)));
    LinkBench& b = *bench;
    c.setup(b);
    b.dialogs.Clear();
    const ConfigImage working = b.model.ws.working;
    const ConfigImage incoming = b.model.ws.incoming;
    const int input1 = b.model.pages.Input[0].value;
    const bool n13 = b.model.N13.enabled;
    std::string statusDuringBox;
    Millis boxAt = -1;
    b.dialogs.onShow = [&](const std::string&) {
      statusDuringBox = b.model.status;
      boxAt = b.Now();
    };
    const std::size_t mark = b.Mark();
    const Millis start = b.Now();
    b.link.N14Click();
    ASSERT_TRUE(b.RunUntil([&] { return b.link.loadResult.has_value(); }, 60000));
    b.Run(100);

    EXPECT_EQ(b.link.loadResult, false);
    ASSERT_EQ(b.dialogs.shown.size(), 1u);
    EXPECT_EQ(b.dialogs.shown[0].text, c.box);
    EXPECT_EQ(b.dialogs.shown[0].error, c.errorBox);
    EXPECT_EQ(statusDuringBox, c.statusDuringBox);
    EXPECT_EQ(b.model.status, c.statusAfter);
    if (c.timedOut) {
      EXPECT_GT(boxAt - start, 1000 * kTickMs) << "the load's 1000-tick time-out";
      EXPECT_LE(boxAt - start, 1002 * kTickMs + 100);
    }
    EXPECT_EQ(b.model.ws.working.bytes(), working.bytes());
    EXPECT_EQ(b.model.pages.Input[0].value, input1);
    if (c.incomingKept) {
      EXPECT_EQ(b.model.ws.incoming.bytes(), incoming.bytes());
    }
    ExpectWindowsBack(b);
    EXPECT_EQ(b.model.N13.enabled, n13);
    EXPECT_EQ(b.Sent(mark), n13 ? "LOAD\n" : "");
    EXPECT_FALSE(b.link.progressVisible);
  }
}

TEST(LinkLoad, NoAcknowledgementWaitsOneHundredTicks) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.faults().noLoadOk = true;
  const Millis start = b.Now();
  b.link.N14Click();
  EXPECT_GT(b.Now() - start, 100 * kTickMs);
  EXPECT_LE(b.Now() - start, 101 * kTickMs);
  EXPECT_TRUE(b.matchers().Zagruzka.Enabled()) << "the load matcher stays armed";
  EXPECT_FALSE(b.link.progressVisible);
  EXPECT_TRUE(b.link.mainEnabled);
}

TEST(LinkLoad, LoadAfterAMissedAcknowledgementWorks) {
  const Bytes image = EditedImage(15);
  LinkBench b(WithImage(15, image));
  ASSERT_TRUE(b.Connect());
  b.faults().noLoadOk = true;
  b.link.N14Click();
  ASSERT_EQ(b.link.loadResult, false);
  ASSERT_TRUE(b.matchers().Zagruzka.Enabled());
  b.dialogs.Clear();

  b.faults().noLoadOk = false;
  const std::size_t mark = b.Mark();
  b.link.N14Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.loadResult.has_value(); }, 10000));
  EXPECT_EQ(b.link.loadResult, true);
  EXPECT_EQ(b.model.ws.working.bytes(), image);
  EXPECT_EQ(b.model.status, "Загрузка завершена");
  EXPECT_EQ(b.Sent(mark), "LOAD\n");
  EXPECT_TRUE(b.dialogs.shown.empty());
}

// After a missed acknowledgement the load matcher is still armed: an image that
// comes later is taken and applied.
TEST(LinkLoad, ImageAfterAMissedAcknowledgementIsTaken) {
  const Bytes image = EditedImage(15);
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.faults().silent = true;
  b.link.N14Click();
  ASSERT_EQ(b.link.loadResult, false);
  b.dialogs.Clear();
  b.Inject("\r\n" + Str(image) + "LOAD_OK\r\n");
  b.Run(100);
  EXPECT_EQ(b.link.loadResult, true);
  EXPECT_EQ(b.model.ws.working.bytes(), image);
  EXPECT_EQ(b.model.status, "Загрузка завершена");
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(LinkLoad, ShortImageWhileTheLongOneIsSelectedIsRejected) {
  LinkBench b(WithImage(12, EditedImage(12)));
  ASSERT_TRUE(b.Connect());
  b.model.v151Click();  // the user selects version 15 by hand
  ASSERT_EQ(b.model.ws.working.size(), 5484u);
  const ConfigImage working = b.model.ws.working;
  const ConfigImage incoming = b.model.ws.incoming;
  b.link.N14Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.loadResult.has_value(); }, 10000));
  EXPECT_EQ(b.link.loadResult, false);
  EXPECT_EQ(b.Shown(), std::vector<std::string>{"Значения не установлены!\rНесоответствие длинн массивов"});
  EXPECT_EQ(b.model.ws.working.bytes(), working.bytes());
  EXPECT_EQ(b.model.ws.incoming.bytes(), incoming.bytes());
  EXPECT_EQ(b.model.status, "Загрузка неудачна");
}

TEST(LinkLoad, ChecksumOnlyWhenEnabled) {
  struct Case {
    int version;
    bool accepted;
  };
  for (const Case& c : std::vector<Case>{{10, true}, {12, false}, {15, false}}) {
    SCOPED_TRACE(c.version);
    LinkBench b(WithImage(c.version, EditedImage(c.version)));
    ASSERT_TRUE(b.Connect());
    b.faults().badChecksum = true;  // the last byte is the sum of the others plus one
    b.link.N14Click();
    ASSERT_TRUE(b.RunUntil([&] { return b.link.loadResult.has_value(); }, 10000));
    EXPECT_EQ(b.link.loadResult, c.accepted);
    const std::size_t last = b.model.ws.working.size() - 1;
    const bool taken =
        b.model.ws.working.Byte(last) == static_cast<std::uint8_t>(ImageChecksum(b.model.ws.working) + 1);
    EXPECT_EQ(taken, c.accepted);
    EXPECT_EQ(b.dialogs.shown.empty(), c.accepted);
  }
}

TEST(LinkLoad, LostPortEndsTheLoadAsFailed) {
  LinkBench b(WithImage(15, EditedImage(15), /*paced=*/true));
  ASSERT_TRUE(b.Connect());
  const ConfigImage working = b.model.ws.working;
  b.link.N14Click();
  b.Run(1000);
  ASSERT_TRUE(b.link.progressVisible);
  b.LosePort();
  EXPECT_EQ(b.link.loadResult, false);
  EXPECT_EQ(b.model.status, "Загрузка неудачна");
  EXPECT_EQ(b.link.comStatus, "Нет связи с портом COM1");
  ExpectWindowsBack(b);
  EXPECT_FALSE(b.model.N13.enabled);
  EXPECT_FALSE(b.matchers().Zagruzka.Enabled());
  b.Run(70000);
  EXPECT_EQ(b.model.ws.working.bytes(), working.bytes());
  EXPECT_TRUE(b.dialogs.shown.empty()) << "no time-out follows";
  EXPECT_EQ(b.model.status, "Загрузка неудачна");
}

}  // namespace
}  // namespace vemtaro::testing
