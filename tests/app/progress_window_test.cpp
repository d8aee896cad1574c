// The progress window in the hand's use against the simulated controller: the
// stage it names, one gauge over a checked write and the time left, "Отмена"
// clicked or pressed from the keyboard in each stage with the bytes the
// controller got, and the outcome that stays readable until it is closed.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "desk.h"
#include "marquee_label.h"
#include "progress_window.h"

namespace vemtaro::app {
namespace {

constexpr int kTransferMs = 180000;

bool WaitFor(const std::function<bool()>& done, int timeoutMs) { return port::RunEventsUntil(done, timeoutMs, 5); }

struct ProgressDesk : Desk {
  sim::LinkedController& Sim() { return *window.adapter().simulator(); }
  TForm2& Form2() { return *window.Form2; }
  QString Status() const { return window.RzMarqueeStatus1->text(); }

  // Whether the progress window shows its outcome whole: every line of it
  // inside the text's box, and the box inside the window.
  ::testing::AssertionResult OutcomeWhole() {
    QTextEdit* text = Form2().OutcomeText;
    if (!Form2().isVisible() || !text->isVisible()) return ::testing::AssertionFailure() << "the outcome is not shown";
    const QSizeF size = text->document()->documentLayout()->documentSize();
    if (size.height() > text->viewport()->height() || size.width() > text->viewport()->width() + 1) {
      return ::testing::AssertionFailure() << "the text needs " << size.width() << " x " << size.height() << ", it has "
                                           << text->viewport()->width() << " x " << text->viewport()->height();
    }
    if (!Form2().rect().contains(text->geometry())) return ::testing::AssertionFailure() << "the box is cut";
    return ::testing::AssertionSuccess();
  }
};

enum class Press { Click, Space, Enter };

// "Отмена" as the hand presses it: a click, or a key on the focused button.
void PressCancel(TForm2& f, Press how) {
  ASSERT_TRUE(f.CancelButton->isVisible());
  ASSERT_TRUE(f.CancelButton->isEnabled());
  if (how == Press::Click) {
    QTest::mouseClick(f.CancelButton, Qt::LeftButton);
    return;
  }
  ASSERT_EQ(f.focusWidget(), f.CancelButton) << "the button has the focus as the window comes up";
  QTest::keyClick(f.focusWidget(), how == Press::Space ? Qt::Key_Space : Qt::Key_Return);
}

std::string Str(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// "Отмена" in each stage of a read and of a checked write stops at a byte
// boundary: the controller gets nothing after the stop, the window says what
// the stop leaves until it is closed, and the main window is usable at once;
// the controller goes on taking commands.
TEST(ProgressWindow, CancelInEachStageStopsAtAByteBoundary) {
  struct Case {
    const char* name;
    QString stage;
    bool write;
    bool backup;
    Press how;
    QString text;  // "%1" for the bytes written
    QString status;
  };
  const std::vector<Case> cases = {
      {"read", "Чтение…", false, false, Press::Click,
       "Загрузка отменена: прочитанное отброшено, конфигурация в программе не изменилась.", "Загрузка неудачна"},
      {"copy before the write", "Резервная копия…", true, true, Press::Space,
       "Запись отменена: конфигурация в контроллер не передавалась, в нём осталась прежняя.", "Сохранение неудачно"},
      {"write", "Запись…", true, false, Press::Click,
       "Запись прервана после %1 из 5484 байт.\nКонтроллер может хранить неполную конфигурацию: повторите запись.",
       "Сохранение неудачно"},
      {"read-back", "Проверка…", true, false, Press::Enter,
       "Конфигурация передана в контроллер, но не проверена: чтение для проверки отменено.", "Сохранение неудачно"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgressDesk d;
    ASSERT_TRUE(d.Connect());
    d.window.link().backups = c.backup ? &d.window.backupStore() : nullptr;
    d.window.link().verifyAfterWrite = true;
    const Bytes working = d.model().ws.working.bytes();
    const Bytes held = d.Sim().controller().image();
    d.Sim().ClearReceived();
    d.Choose(d.window.N13, c.write ? d.window.N15 : d.window.N14);
    TForm2& f = d.Form2();
    ASSERT_TRUE(
        WaitFor([&] { return f.Stage->text() == c.stage && d.window.link().TransferCount >= 200; }, kTransferMs))
        << f.Stage->text().toStdString();
    EXPECT_FALSE(d.window.InputEnabled());
    EXPECT_TRUE(QRegularExpression("^Осталось: \\d+:\\d\\d$").match(f.TimeLeft->text()).hasMatch())
        << f.TimeLeft->text().toStdString();
    PressCancel(f, c.how);
    EXPECT_EQ(f.Stage->text(), "Отмена…");
    EXPECT_FALSE(f.CancelButton->isEnabled()) << "pressed once";
    EXPECT_FALSE(d.window.InputEnabled()) << "held while the line settles";
    ASSERT_TRUE(WaitFor([&] { return f.ShowsOutcome(); }, 20000));
    QTest::qWait(300);
    const std::string received = d.Sim().ReceivedText();
    const QString shown = f.OutcomeText->toPlainText();
    std::string expected;
    if (!c.write) {
      expected = "LOAD\n";
    } else if (c.backup) {
      expected = "LOAD\n";
    } else if (c.stage == "Запись…") {
      const QRegularExpressionMatch m = QRegularExpression("после (\\d+) из").match(shown);
      ASSERT_TRUE(m.hasMatch()) << shown.toStdString();
      const int n = m.captured(1).toInt();
      EXPECT_GE(n, 200);
      EXPECT_LT(n, 5484);
      expected = "SAVE\n" + Str(d.window.link().LastWrite().sent.value()).substr(0, static_cast<std::size_t>(n));
      EXPECT_EQ(shown, c.text.arg(n));
    } else {
      expected = "SAVE\n" + Str(d.window.link().LastWrite().sent.value()) + "LOAD\n";
    }
    EXPECT_EQ(received, expected) << "nothing after the stop";
    if (c.stage != "Запись…") {
      EXPECT_EQ(shown, c.text);
    }
    EXPECT_TRUE(d.OutcomeWhole());
    EXPECT_EQ(d.Status(), c.status);
    EXPECT_TRUE(d.window.InputEnabled());
    EXPECT_TRUE(d.window.N13->isEnabled());
    if (!c.write) {
      EXPECT_EQ(d.model().ws.working.bytes(), working) << "a cancelled read applies nothing";
    }
    if (c.backup) {
      EXPECT_EQ(d.Sim().controller().image(), held) << "nothing written";
    }
    // Esc closes the outcome.
    ASSERT_EQ(QApplication::focusWidget(), f.CloseButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(f.isVisible());
    if (c.stage == "Запись…") {
      // The controller has dropped the write: a read works at once.
      d.Choose(d.window.N13, d.window.N14);
      ASSERT_TRUE(WaitFor([&] { return d.window.link().loadResult.has_value(); }, kTransferMs));
      EXPECT_EQ(d.Status(), "Загрузка завершена");
    }
    EXPECT_TRUE(d.dialogs.shown.empty()) << d.dialogs.shown[0].text;
  }
}

// A checked write names its stages and runs one gauge from empty to full over
// the copy, the write and the read-back with the time left; its outcome names
// the copy's file, whole, until Enter closes it; the status pane has room for
// its text beside the connection pane.
TEST(ProgressWindow, CheckedWriteShowsOneGaugeAndItsOutcomeStaysReadable) {
  ProgressDesk d;
  ASSERT_TRUE(d.Connect());
  d.window.link().backups = &d.window.backupStore();
  d.window.link().verifyAfterWrite = true;
  TForm2& f = d.Form2();
  std::vector<QString> stages;
  std::vector<int> gauge;
  int timesLeft = 0;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!f.isVisible() || f.ShowsOutcome()) return;
    if (stages.empty() || stages.back() != f.Stage->text()) stages.push_back(f.Stage->text());
    gauge.push_back(f.Gauge1->value());
    if (QRegularExpression("^Осталось: \\d+:\\d\\d$").match(f.TimeLeft->text()).hasMatch()) ++timesLeft;
  });
  watch.start(50);
  d.Choose(d.window.N13, d.window.N15);
  ASSERT_TRUE(WaitFor([&] { return d.window.link().saveResult.has_value() && f.ShowsOutcome(); }, kTransferMs));
  watch.stop();
  EXPECT_EQ(stages, (std::vector<QString>{"Резервная копия…", "Запись…", "Проверка…"}));
  ASSERT_GT(gauge.size(), 20u);
  EXPECT_TRUE(std::is_sorted(gauge.begin(), gauge.end())) << "one run, never back to 0";
  EXPECT_LT(gauge.front(), f.Gauge1->maximum() / 10);
  EXPECT_GT(gauge.back(), f.Gauge1->maximum() * 9 / 10);
  EXPECT_GT(timesLeft, 10);

  const std::string backup = d.window.link().LastWrite().backupPath;
  ASSERT_FALSE(backup.empty());
  EXPECT_EQ(f.Stage->text(), "Готово");
  EXPECT_EQ(f.OutcomeText->toPlainText(),
            "Сохранение завершено и проверено. Резервная копия: " + QString::fromStdString(backup));
  EXPECT_TRUE(d.OutcomeWhole());
  EXPECT_EQ(d.Status(), "Сохранение завершено");
  EXPECT_EQ(d.window.ComStatus->text(), "Устройство подключено к: Симулятор контроллера");
  EXPECT_GE(d.window.RzMarqueeStatus1->width() - 6,
            d.window.RzMarqueeStatus1->fontMetrics().horizontalAdvance(d.Status()))
      << "the status is shown whole, not scrolled";
  EXPECT_TRUE(d.window.InputEnabled());
  // It stays until the user closes it.
  QTest::qWait(500);
  EXPECT_TRUE(f.isVisible());
  ASSERT_EQ(QApplication::focusWidget(), f.CloseButton);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_FALSE(f.isVisible());
  EXPECT_TRUE(d.dialogs.shown.empty()) << d.dialogs.shown[0].text;
}

}  // namespace
}  // namespace vemtaro::app
