// The main window over the controller link, driven offscreen end to end: the
// port menu and the connection-type dialog, reading and writing the
// configuration against the in-process simulated controller with the progress
// window, the status window, the identifiers, the clock, the end of the
// connection, and a port that goes away in the middle of a transfer (a
// pseudo-terminal whose controller end is closed).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dial_window.h"
#include "main_window.h"
#include "marquee_label.h"
#include "model/layout.h"
#include "progress_window.h"
#include "qt_dialogs.h"
#include "scripted_dialogs.h"
#include "sim/controller_sim.h"
#include "status_window.h"

namespace vemtaro::app {
namespace {

// Generous bounds: these run whole exchanges at 9600 bit/s, also under the
// sanitizers. Nothing waits for them unless something is broken.
constexpr int kConnectMs = 30000;
constexpr int kTransferMs = 180000;
constexpr int kReplyMs = 20000;

const QString kSimulator = QString::fromUtf8(link_texts::kSimulatorPort);

// Runs the event loop, as the program's own loop runs it, until `done` holds or
// the deadline passes.
bool WaitFor(const std::function<bool()>& done, int timeoutMs) { return port::RunEventsUntil(done, timeoutMs, 5); }

using LinkDialogs = testing::ScriptedDialogs;

// Records the gauge each time the event loop turns while the progress window
// is up, under the status text of the transfer it belongs to (a write reads
// the controller's configuration before it and reads it back after it).
class GaugeWatch {
 public:
  explicit GaugeWatch(TForm1& window) {
    QObject::connect(&timer_, &QTimer::timeout, [this, &window] {
      if (!window.Form2->isVisible() || window.Form2->ShowsOutcome()) return;
      const QString status = window.RzMarqueeStatus1->text();
      if (phases.empty() || phases.back().first != status) phases.push_back({status, {}});
      phases.back().second.push_back(window.Form2->Gauge1->value());
    });
    timer_.start(20);
  }
  std::vector<std::pair<QString, std::vector<int>>> phases;

  // The transfers seen, in order.
  std::vector<QString> Statuses() const {
    std::vector<QString> out;
    for (const auto& p : phases) out.push_back(p.first);
    return out;
  }
  // In every transfer the gauge went up while the window was shown and never
  // went back.
  bool Advanced() const {
    if (phases.empty()) return false;
    for (const auto& [status, values] : phases) {
      if (values.size() < 2 || !std::is_sorted(values.begin(), values.end()) || values.back() <= values.front()) {
        return false;
      }
    }
    return true;
  }

 private:
  QTimer timer_;
};

class LinkWindowTest : public ::testing::Test {
 protected:
  LinkDialogs dialogs;
  testing::MemoryFiles files;
  TForm1 window{dialogs, files};

  void SetUp() override { window.FormShow(); }

  QAction* PortItem(const QString& name) {
    for (QAction* a : window.PopupMenu1->actions()) {
      if (!a->isSeparator() && a->text() == name) return a;
    }
    return nullptr;
  }

  sim::LinkedController& Sim() { return *window.adapter().simulator(); }
  QString Status() const { return window.RzMarqueeStatus1->text(); }

  QLineEdit* Edit(const char* name) {
    auto* edit = window.findChild<QLineEdit*>(name);
    EXPECT_NE(edit, nullptr) << name;
    return edit;
  }

  // Chooses "Симулятор контроллера" and "Прямое" and waits for the handshake.
  void ConnectToSimulator() {
    QAction* item = PortItem(kSimulator);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(window.PopupMenu1->actions().back(), item);
    dialogs.connectionTypes.push_back(0);
    item->trigger();
    ASSERT_TRUE(WaitFor([&] { return window.N13->isEnabled(); }, kConnectMs)) << window.ComStatus->text().toStdString();
    EXPECT_EQ(window.ComStatus->text(), "Устройство подключено к: Симулятор контроллера");
    EXPECT_EQ(Status(), "Версия прошивки: GSM-ALARM 15");
  }

  void ExpectIdle() {
    // The progress window is down, or shows how the transfer ended.
    EXPECT_TRUE(!window.Form2->isVisible() || window.Form2->ShowsOutcome());
    EXPECT_TRUE(window.InputEnabled());
    EXPECT_TRUE(window.N5->menuAction()->isEnabled());
    EXPECT_TRUE(window.PopupMenu1->actions().back()->isEnabled());
    EXPECT_EQ(window.ComStatus->contextMenuPolicy(), Qt::CustomContextMenu);
  }
};

// ---------------------------------------------------------------- connecting

TEST_F(LinkWindowTest, ChoosingAPortOpensItAsTheConnectionTypeSays) {
  struct Case {
    const char* name;
    QString port;
    std::optional<int> answer;
    QString comStatus;
    bool open;
    const char* error;  // start of the error box's text, or none
  };
  const QString missing = "/dev/vemtaro-no-such-port";
  const std::vector<Case> cases = {
      {"direct", kSimulator, 0, "Поиск устройства: порт Симулятор контроллера", true, nullptr},
      {"modem", kSimulator, 1, "Поиск модема: порт Симулятор контроллера", true, nullptr},
      {"cancelled", kSimulator, std::nullopt, "Порт не выбран", false, nullptr},
      {"missing port", missing, 0, "Порт /dev/vemtaro-no-such-port не найден", false, "Порт не найден"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkDialogs d;
    TForm1 w(d, files);
    w.FormShow();
    EXPECT_EQ(w.PopupMenu1->actions().back()->text(), kSimulator);
    d.connectionTypes.push_back(c.answer);
    w.PopupMenuItemsClick(c.port);
    EXPECT_EQ(d.connectionTypeAsked, 1);
    EXPECT_EQ(w.ComStatus->text(), c.comStatus);
    EXPECT_EQ(w.adapter().IsOpen(), c.open);
    EXPECT_FALSE(w.N13->isEnabled());
    EXPECT_TRUE(w.InputEnabled());
    if (c.error != nullptr) {
      ASSERT_EQ(d.shown.size(), 1u);
      EXPECT_TRUE(d.shown[0].error);
      EXPECT_EQ(d.shown[0].text.rfind(c.error, 0), 0u) << d.shown[0].text;
    } else {
      EXPECT_TRUE(d.shown.empty());
    }
  }
}

// The connection pane says when no port is chosen and how to choose one; a
// click of either button opens the port menu, which lists the ports present
// at that moment with their devices' descriptions, the simulated controller
// last.
TEST_F(LinkWindowTest, ThePortPaneOpensAMenuOfThePortsPresentNow) {
  window.show();
  QApplication::setActiveWindow(&window);
  EXPECT_EQ(window.ComStatus->text(), "Порт не выбран");
  EXPECT_EQ(window.ComStatus->toolTip(), "Щёлкните, чтобы выбрать порт");
  QList<port::PortEntry> present = {{"/dev/ttyS0", "", "", ""}};
  window.portSource = [&present] { return present; };
  window.SetExtraPorts({"/dev/pts/7"});
  const auto captions = [this] {
    QStringList texts;
    for (QAction* a : window.PopupMenu1->actions()) texts << (a->isSeparator() ? "-" : a->text());
    return texts;
  };
  const auto click = [this](Qt::MouseButton button) {
    const QPoint at = window.ComStatus->mapTo(&window, window.ComStatus->rect().center());
    QTest::mouseClick(window.windowHandle(), button, {}, at);
  };
  struct Case {
    Qt::MouseButton button;
    QList<port::PortEntry> present;  // when the menu opens
    QStringList captions;
  };
  const std::vector<Case> cases = {
      {Qt::LeftButton, {{"/dev/ttyS0", "", "", ""}}, {"/dev/ttyS0", "/dev/pts/7", "-", kSimulator}},
      // An adapter plugged in after the start is there the next time.
      {Qt::RightButton,
       {{"/dev/ttyS0", "", "", ""}, {"/dev/ttyUSB0", "USB-Serial CH340", "", ""}},
       {"/dev/ttyS0", "/dev/ttyUSB0 — USB-Serial CH340", "/dev/pts/7", "-", kSimulator}},
      // Adapters of one kind are told apart by their serial numbers; a
      // manufacturer the description names is not repeated.
      {Qt::LeftButton,
       {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI"},
        {"/dev/ttyUSB1", "FT232R USB UART", "FTDI", "A50285BJ"},
        {"/dev/ttyUSB2", "QinHeng CH340", "QinHeng", ""}},
       {"/dev/ttyUSB0 — FT232R USB UART, FTDI, S/N A50285BI", "/dev/ttyUSB1 — FT232R USB UART, FTDI, S/N A50285BJ",
        "/dev/ttyUSB2 — QinHeng CH340", "/dev/pts/7", "-", kSimulator}},
      {Qt::LeftButton, {}, {"/dev/pts/7", "-", kSimulator}},
  };
  for (const Case& c : cases) {
    present = c.present;
    click(c.button);
    ASSERT_TRUE(window.PopupMenu1->isVisible());
    EXPECT_EQ(captions(), c.captions);
    QTest::keyClick(window.PopupMenu1, Qt::Key_Escape);
    EXPECT_FALSE(window.PopupMenu1->isVisible());
  }
  // The item of a port stands for the port's name alone.
  present = {{"/dev/ttyUSB0", "USB-Serial CH340", "", ""}};
  click(Qt::LeftButton);
  EXPECT_EQ(window.PopupMenu1->actions().first()->data().toString(), "/dev/ttyUSB0");
  // Choosing the simulated controller connects to it.
  dialogs.connectionTypes.push_back(0);
  QAction* simulator = window.PopupMenu1->actions().back();
  QTest::mouseClick(window.PopupMenu1, Qt::LeftButton, {}, window.PopupMenu1->actionGeometry(simulator).center());
  ASSERT_TRUE(WaitFor([&] { return window.N13->isEnabled(); }, kConnectMs));
  EXPECT_EQ(window.ComStatus->text(), "Устройство подключено к: Симулятор контроллера");
}

TEST(ConnectionTypeDialog, OffersDirectOrModemAndCanBeCancelled) {
  struct Case {
    const char* name;
    std::function<void(QDialog&)> answer;
    std::optional<int> result;
  };
  auto press = [](QDialog& d, QDialogButtonBox::StandardButton which) {
    d.findChild<QDialogButtonBox*>()->button(which)->click();
  };
  const std::vector<Case> cases = {
      {"OK as it opens", [&](QDialog& d) { press(d, QDialogButtonBox::Ok); }, 0},
      {"modem, then OK",
       [&](QDialog& d) {
         d.findChild<QRadioButton*>("Modem")->click();
         press(d, QDialogButtonBox::Ok);
       },
       1},
      {"modem, then cancel",
       [&](QDialog& d) {
         d.findChild<QRadioButton*>("Modem")->click();
         press(d, QDialogButtonBox::Cancel);
       },
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QtDialogs dialogs;
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      seen = true;
      EXPECT_EQ(d->objectName(), "LMDCheckListDlg1");
      EXPECT_EQ(d->windowTitle(), "Тип соединения");
      EXPECT_EQ(d->findChild<QLabel*>("Prompt")->text(), "Тип соединения");
      auto* direct = d->findChild<QRadioButton*>("Direct");
      auto* modem = d->findChild<QRadioButton*>("Modem");
      ASSERT_TRUE(direct != nullptr && modem != nullptr);
      EXPECT_EQ(direct->text(), "Прямое");
      EXPECT_EQ(modem->text(), "Через модем");
      EXPECT_TRUE(direct->isChecked());
      EXPECT_FALSE(modem->isChecked());
      c.answer(*d);
    });
    EXPECT_EQ(dialogs.ChooseConnectionType(), c.result);
    EXPECT_TRUE(seen);
  }
}

// ---------------------------------------------------------------- read and write

TEST_F(LinkWindowTest, ReadsEditsAndWritesTheConfigurationWithTheProgressWindow) {
  ConnectToSimulator();
  EXPECT_TRUE(window.N13->isEnabled());
  EXPECT_TRUE(dialogs.shown.empty());

  // The controller holds a configuration of its own.
  ConfigImage held(window.model().ws.working.bytes());
  held.WriteText(layout::kObjectIdLong, layout::kObjectIdLongLength, "SIM-7");
  Sim().controller().SetImage(held.bytes());

  {
    SCOPED_TRACE("read");
    GaugeWatch gauge(window);
    window.N14->trigger();
    EXPECT_TRUE(window.Form2->isVisible());
    EXPECT_EQ(window.Form2->Gauge1->maximum(), 5484);
    EXPECT_FALSE(window.InputEnabled());
    EXPECT_FALSE(window.PopupMenu1->actions().back()->isEnabled());
    EXPECT_EQ(window.ComStatus->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_EQ(Status(), "Загрузка из контроллера ...");
    ASSERT_TRUE(WaitFor([&] { return Status() == "Загрузка завершена"; }, kTransferMs)) << Status().toStdString();
    ExpectIdle();
    EXPECT_TRUE(window.N13->isEnabled());
    EXPECT_TRUE(gauge.Advanced());
    EXPECT_EQ(Edit("ObjectID")->text(), "SIM-7");
    EXPECT_TRUE(window.Timer3->isActive());  // from the first read on
  }

  // An edit as the user makes it: clicked into, typed, then confirmed.
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(window.isActiveWindow());
  QLineEdit* objectId = Edit("ObjectID");
  QTest::mouseClick(objectId, Qt::LeftButton, {}, objectId->rect().center());
  objectId->selectAll();
  QTest::keyClicks(objectId, "OBJ-9");
  QTest::keyClick(objectId, Qt::Key_Return);
  EXPECT_EQ(window.model().ws.working.ReadText(layout::kObjectIdLong, layout::kObjectIdLongLength), "OBJ-9");

  {
    SCOPED_TRACE("write");
    GaugeWatch gauge(window);
    window.N15->trigger();
    EXPECT_TRUE(window.Form2->isVisible());
    EXPECT_FALSE(window.InputEnabled());
    // First the controller's configuration is read and kept, then the write,
    // then the read-back.
    EXPECT_EQ(Status(), "Резервное копирование конфигурации контроллера ...");
    ASSERT_TRUE(WaitFor([&] { return Status() == "Сохранение завершено"; }, kTransferMs)) << Status().toStdString();
    ExpectIdle();
    EXPECT_TRUE(window.N13->isEnabled());
    EXPECT_EQ(gauge.Statuses(),
              (std::vector<QString>{"Резервное копирование конфигурации контроллера ...", "Сохранение в контроллер ...",
                                    "Проверка записанной конфигурации ..."}));
    EXPECT_TRUE(gauge.Advanced());
    // The controller holds the working image, its checksum in the last byte.
    const Bytes& stored = Sim().controller().image();
    EXPECT_EQ(stored, window.model().ws.working.bytes());
    EXPECT_EQ(ConfigImage(stored).ReadText(layout::kObjectIdLong, layout::kObjectIdLongLength), "OBJ-9");
    EXPECT_EQ(stored.back(), ImageChecksum(ConfigImage(stored)));
    // The copy kept before holds what the controller held: "SIM-7".
    EXPECT_NE(window.link().LastWrite().backupPath.find("/SIM-7/"), std::string::npos)
        << window.link().LastWrite().backupPath;
    EXPECT_FALSE(window.model().Modified()) << "what the controller holds counts as saved";
  }
  EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
}

// ---------------------------------------------------------------- services

TEST_F(LinkWindowTest, StatusWindowRelaysIdentifiersAndClock) {
  ConnectToSimulator();
  const std::string key = "01A2B3C4D5E6F708";
  sim::StatusBlock& status = Sim().controller().status();
  status.inputs = {true, false, false, true, false, false, false, true};
  status.analog[0] = "512";
  status.analog[7] = "1023";
  status.sensors[2] = "+21.5";
  status.key = key;

  {
    SCOPED_TRACE("status request");
    window.Form5->Button1->click();
    ASSERT_TRUE(WaitFor([&] { return window.Form5->TM->text() == QString::fromStdString(key); }, kReplyMs));
    EXPECT_EQ(window.Form5->ACP[0]->text(), "512");
    EXPECT_EQ(window.Form5->ACP[7]->text(), "1023");
    EXPECT_EQ(window.Form5->ACP[1]->text(), "0");
    EXPECT_EQ(window.Form5->Dat[2]->text(), "+21.5");
    const std::array<bool, 8> inputs = {true, false, false, true, false, false, false, true};
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(window.Form5->InputItems[i]->isChecked(), inputs[i]) << i;
  }
  {
    SCOPED_TRACE("relay");
    Sim().ClearReceived();
    window.Form5->ReleyItems[1]->click();
    ASSERT_TRUE(WaitFor([&] { return Sim().controller().relays()[1]; }, kReplyMs));
    EXPECT_EQ(Sim().ReceivedText(), "RELESET\n01000000\n");
    window.Form5->ReleyItems[7]->click();
    ASSERT_TRUE(WaitFor([&] { return Sim().controller().relays()[7]; }, kReplyMs));
    EXPECT_EQ(Sim().ReceivedText(), "RELESET\n01000000\nRELESET\n01000001\n");
    EXPECT_TRUE(window.Form5->ReleyItems[1]->isChecked());
  }
  {
    SCOPED_TRACE("key code: copied, then taken as the master key");
    window.Form5->TM->selectAll();
    window.Form5->Copy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(key));
    window.Form5->N1->trigger();
    EXPECT_EQ(Edit("MasterKey")->text(), QString::fromStdString(key));
    EXPECT_EQ(window.model().ws.working.Raw(layout::kMasterKey, 16), key);
  }
  {
    SCOPED_TRACE("identifiers");
    auto& ids = Sim().controller().identifiers();
    ids[0] = "0123456789ABCDEF";
    ids[3] = "0000000000000000";
    ids[15] = "FEDCBA9876543210";
    window.ID17->trigger();
    ASSERT_TRUE(WaitFor([&] { return Edit("ID1")->text() == "0123456789ABCDEF"; }, kReplyMs));
    EXPECT_EQ(Edit("ID4")->text(), "");
    EXPECT_EQ(Edit("ID16")->text(), "FEDCBA9876543210");
    EXPECT_EQ(window.model().ws.working.Raw(layout::IdentifierField(1), 16), "0123456789ABCDEF");
    EXPECT_EQ(window.model().ws.working.Raw(layout::IdentifierField(4), 16), std::string(16, '*'));
  }
  {
    SCOPED_TRACE("clock");
    window.N16->trigger();
    ASSERT_TRUE(WaitFor([&] { return Status().startsWith("Время установлено."); }, kReplyMs));
    const QRegularExpression shown(R"(^Время установлено\. Текущее время: \d\d:\d\d:\d\d \d\d-\d\d-\d\d$)");
    EXPECT_TRUE(shown.match(Status()).hasMatch()) << Status().toStdString();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_FALSE(dialogs.shown[0].error);
    EXPECT_EQ(QString::fromStdString(dialogs.shown[0].text),
              Status().replace("Время установлено. ", "Время установлено.\r"));
  }
  EXPECT_TRUE(window.N13->isEnabled());
  EXPECT_TRUE(window.InputEnabled());
}

TEST_F(LinkWindowTest, ExchangeMenuOpensTheStatusAndDialWindowsModally) {
  struct Case {
    QAction* item;
    QDialog* window;
  };
  for (const Case& c : {Case{window.N23, window.Form5}, Case{window.N24, window.Form6}}) {
    SCOPED_TRACE(c.window->objectName().toStdString());
    QWidget* modal = nullptr;
    QPoint offset;
    QTimer::singleShot(0, [&] {
      modal = QApplication::activeModalWidget();
      offset = c.window->frameGeometry().center() - window.frameGeometry().center();
      c.window->close();
    });
    c.item->trigger();
    EXPECT_EQ(modal, c.window);
    EXPECT_LE(offset.manhattanLength(), 2);
    EXPECT_FALSE(c.window->isVisible());
  }
}

// ---------------------------------------------------------------- the other windows

TEST_F(LinkWindowTest, StatusWindowHoldsItsControls) {
  TForm5* f = window.Form5;
  EXPECT_EQ(f->windowTitle(), "Управление");
  EXPECT_TRUE(f->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(f->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  f->show();
  EXPECT_EQ(f->minimumSize(), f->maximumSize());  // fixed size
  EXPECT_EQ(f->Inputs->title(), "Входы");
  EXPECT_EQ(f->Releys->title(), "Управление реле");
  for (const auto* items : {&f->InputItems, &f->ReleyItems}) {
    for (std::size_t i = 0; i < 8; ++i) {
      EXPECT_EQ((*items)[i]->text(), QString::number(i + 1));
      EXPECT_EQ((*items)[i]->y(), (*items)[0]->y());  // one row
    }
  }
  for (QCheckBox* input : f->InputItems) {
    EXPECT_TRUE(input->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(input->focusPolicy(), Qt::NoFocus);
  }
  QStringList labels;
  for (QLabel* l : f->findChildren<QLabel*>()) labels << l->text();
  for (int k = 1; k <= 8; ++k) {
    EXPECT_TRUE(labels.contains(QString("АЦП %1").arg(k))) << k;
    EXPECT_TRUE(labels.contains(QString("Датчик %1").arg(k))) << k;
    EXPECT_EQ(f->ACP[static_cast<std::size_t>(k - 1)]->objectName(), QString("ACP%1").arg(k));
    EXPECT_TRUE(f->ACP[static_cast<std::size_t>(k - 1)]->isReadOnly());
    EXPECT_TRUE(f->Dat[static_cast<std::size_t>(k - 1)]->isReadOnly());
  }
  EXPECT_TRUE(labels.contains("Ключ TouchMemory"));
  EXPECT_TRUE(f->TM->isReadOnly());
  EXPECT_EQ(f->TM->contextMenuPolicy(), Qt::CustomContextMenu);
  EXPECT_EQ(f->TMMenu->actions(), (QList<QAction*>{f->Copy, f->N1}));
  EXPECT_EQ(f->Copy->text(), "Скопировать");
  EXPECT_EQ(f->Copy->shortcut(), QKeySequence(QKeySequence::Copy));
  EXPECT_EQ(f->N1->text(), "Сохранить как мастер ключ");
  EXPECT_EQ(f->Button1->text(), "Запрос состояния");

  f->hide();
}

TEST_F(LinkWindowTest, StatusWindowWithoutAConnectionKeepsTheRelayChoice) {
  struct Case {
    const char* name;
    bool searching;  // a direct connection chosen, no handshake yet
    std::string message;
  };
  const std::vector<Case> cases = {
      {"searching", true, "Устройство не подключено !"},
      // With the port closed the not-connected test passes and the send fails.
      {"port closed", false, "Ошибка данных - 99\rЗагрузка не удачна!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkDialogs d;
    TForm1 w(d, files);
    w.FormShow();
    if (c.searching) {
      d.connectionTypes.push_back(0);
      w.PopupMenuItemsClick(kSimulator);
      ASSERT_TRUE(w.link().NotConnected());
    }
    TForm5* f = w.Form5;
    f->ReleyItems[2]->click();
    EXPECT_TRUE(f->ReleyItems[2]->isChecked());
    EXPECT_TRUE(w.link().form5.Releys[2]);
    f->Button1->click();
    EXPECT_EQ(d.Texts(), (std::vector<std::string>{c.message, c.message}));
    // An empty key code as the master key empties the master key.
    f->N1->trigger();
    EXPECT_EQ(w.model().ws.working.Raw(layout::kMasterKey, 16), std::string(16, '*'));
    EXPECT_EQ(w.findChild<QLineEdit*>("MasterKey")->text(), "");
  }
}

TEST_F(LinkWindowTest, ProgressWindowCannotBeClosedByTheUser) {
  TForm2* f = window.Form2;
  EXPECT_EQ(f->windowTitle(), "Работа с устройством");
  EXPECT_TRUE(f->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(f->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                   Qt::WindowMaximizeButtonHint | Qt::WindowSystemMenuHint));
  window.show();
  f->SetShown(true);
  ASSERT_TRUE(f->isVisible());
  EXPECT_LE((f->frameGeometry().center() - window.frameGeometry().center()).manhattanLength(), 2);
  EXPECT_FALSE(f->close());
  QTest::keyClick(f, Qt::Key_Escape);
  EXPECT_TRUE(f->isVisible());
  f->SetShown(false);
  EXPECT_FALSE(f->isVisible());
}

TEST_F(LinkWindowTest, DialWindowShowsTheNumberMaskAndItsButtonsDoNothing) {
  TForm6* f = window.Form6;
  EXPECT_EQ(f->windowTitle(), "Дозвон");
  EXPECT_TRUE(f->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(f->LMDMaskEdit1->displayText(), "+7 ___ ___-__-__");
  EXPECT_EQ(f->Button1->text(), "Дозвон");
  EXPECT_EQ(f->Button2->text(), "Отмена");
  f->show();
  QTest::keyClicks(f->LMDMaskEdit1, "9161234567");
  EXPECT_EQ(f->LMDMaskEdit1->displayText(), "+7 916 123-45-67");
  QTest::keyClick(f->LMDMaskEdit1, Qt::Key_Return);
  f->Button1->click();
  f->Button2->click();
  EXPECT_TRUE(f->isVisible());
  EXPECT_TRUE(dialogs.shown.empty());
  f->close();
  EXPECT_FALSE(f->isVisible());
}

// ---------------------------------------------------------------- the end

TEST_F(LinkWindowTest, ClosingSendsByeOnlyOnAnOpenPort) {
  struct Case {
    const char* name;
    bool cancelAfterConnecting;  // a cancelled port choice closes the port
    std::string sent;
  };
  for (const Case& c : {Case{"connected", false, "BYE"}, Case{"port closed", true, ""}}) {
    SCOPED_TRACE(c.name);
    LinkDialogs d;
    TForm1 w(d, files);
    w.FormShow();
    d.connectionTypes.push_back(0);
    w.PopupMenuItemsClick(kSimulator);
    sim::LinkedController& sim = *w.adapter().simulator();
    ASSERT_TRUE(WaitFor([&] { return sim.controller().state() == sim::ControllerSim::State::Connected; }, kConnectMs));
    if (c.cancelAfterConnecting) {
      w.PopupMenuItemsClick(kSimulator);
      EXPECT_FALSE(w.adapter().IsOpen());
      EXPECT_FALSE(w.N13->isEnabled());
    }
    sim.ClearReceived();
    QSignalSpy closed(&w, &TForm1::FormClosed);
    w.show();
    w.N8->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(sim.ReceivedText(), c.sent);
    EXPECT_FALSE(w.Timer3->isActive());
  }
}

// ---------------------------------------------------------------- a lost port

// The controller on the master end of a pseudo-terminal, on a thread of its
// own: a simulated controller answers what the program sends on the slave
// end. Once it has hung up (its hang-up fault) and sent what it had, the
// master is closed, as when the cable is pulled out.
class PtyController {
 public:
  explicit PtyController(sim::ControllerOptions options, sim::Faults faults) : sim_(std::move(options)) {
    sim_.faults() = faults;
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    path_ = QString::fromLocal8Bit(name);
    for (int fd : {master_, slave_}) {
      termios t{};
      ::tcgetattr(fd, &t);
      ::cfmakeraw(&t);
      ::tcsetattr(fd, TCSANOW, &t);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~PtyController() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    Close();
  }
  PtyController(const PtyController&) = delete;
  PtyController& operator=(const PtyController&) = delete;

  bool ok() const { return !path_.isEmpty(); }
  const QString& path() const { return path_; }
  bool closed() const { return closed_; }

 private:
  std::int64_t NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
  }
  void Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }
  void Close() {
    for (int* fd : {&master_, &slave_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
  }
  void Run() {
    while (!stop_) {
      Write(sim_.Poll(NowMs()));
      if (sim_.state() == sim::ControllerSim::State::HungUp && sim_.Pending().empty()) {
        Close();
        closed_ = true;
        return;
      }
      int wait = 10;
      if (const auto next = sim_.NextEventMs())
        wait = static_cast<int>(std::clamp<std::int64_t>(*next - NowMs(), 0, 10));
      pollfd pfd{master_, POLLIN, 0};
      if (::poll(&pfd, 1, wait) > 0 && (pfd.revents & POLLIN) != 0) {
        char buf[512];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) Write(sim_.Receive(std::string_view(buf, static_cast<std::size_t>(n)), NowMs()));
      }
    }
  }

  sim::ControllerSim sim_;
  int master_ = -1;
  int slave_ = -1;
  QString path_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::atomic<bool> stop_{false};
  std::atomic<bool> closed_{false};
  std::thread thread_;
};

TEST_F(LinkWindowTest, APortLostInTheMiddleOfATransferFreesTheWindows) {
  struct Case {
    const char* name;
    QAction* command;
    bool backup;
    const char* status;
    std::string message;  // with "%s" for the port
  };
  const std::vector<Case> cases = {
      {"read", window.N14, true, "Загрузка неудачна", ""},
      {"write", window.N15, false, "Сохранение неудачно",
       "Ошибка передачи данных!\rКонтроллер может хранить неполную конфигурацию: повторите запись."},
      {"the read before a write", window.N15, true, "Сохранение неудачно!!!",
       "Нет связи с портом %s\rРезервная копия не сделана, запись отменена: конфигурация в контроллер не "
       "передавалась."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window.link().backups = c.backup ? &window.backupStore() : nullptr;
    sim::ControllerOptions options;
    options.version = 15;
    options.paced = true;
    options.probeIntervalMs = 200;
    options.image = window.model().ws.working.bytes();
    sim::Faults faults;
    faults.hangUpAt = 1000;
    PtyController controller(options, faults);
    ASSERT_TRUE(controller.ok());
    dialogs.Clear();
    dialogs.connectionTypes.push_back(0);
    window.PopupMenuItemsClick(controller.path());
    ASSERT_TRUE(WaitFor([&] { return window.N13->isEnabled(); }, kConnectMs)) << window.ComStatus->text().toStdString();
    EXPECT_EQ(window.ComStatus->text(), "Устройство подключено к: " + controller.path());

    c.command->trigger();
    EXPECT_TRUE(window.Form2->isVisible());
    EXPECT_FALSE(window.InputEnabled());
    ASSERT_TRUE(WaitFor([&] { return Status() == c.status && !window.ComStatus->text().startsWith("Устройство"); },
                        kTransferMs))
        << Status().toStdString() << " / " << window.ComStatus->text().toStdString();
    EXPECT_TRUE(controller.closed());
    EXPECT_EQ(window.ComStatus->text(), "Нет связи с портом " + controller.path());
    EXPECT_FALSE(window.adapter().IsOpen());
    EXPECT_FALSE(window.N13->isEnabled());
    ExpectIdle();
    std::vector<std::string> messages;
    if (!c.message.empty()) {
      QString text = QString::fromStdString(c.message);
      messages.push_back(text.replace("%s", controller.path()).toStdString());
    }
    EXPECT_EQ(dialogs.Texts(), messages);
  }
  window.link().backups = &window.backupStore();
}

}  // namespace
}  // namespace vemtaro::app
