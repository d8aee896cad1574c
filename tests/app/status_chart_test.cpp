// "Автоопрос" and "График" of the status window, driven by the hand against the
// simulated controller: the box repeats the status request, the chart opened
// by its button draws the readings that are numbers and follows new ones, and
// closing the window switches the repetition off.
#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "desk.h"
#include "status_chart.h"
#include "status_window.h"

namespace vemtaro::app {
namespace {

constexpr int kReplyMs = 20000;

bool WaitFor(const std::function<bool()>& done, int timeoutMs = kReplyMs) {
  return port::RunEventsUntil(done, timeoutMs, 5);
}

// Runs `act` once the status window is the modal window.
void WhenStatusWindowUp(TForm5* form, const std::function<void()>& act, int triesLeft = 1000) {
  QTimer::singleShot(5, [=] {
    if (QApplication::activeModalWidget() == form) {
      act();
    } else if (triesLeft > 0) {
      WhenStatusWindowUp(form, act, triesLeft - 1);
    }
  });
}

TEST(StatusWindowLive, AutoPollFeedsTheChartUntilTheWindowCloses) {
  Desk d;
  ASSERT_TRUE(d.Connect());
  sim::LinkedController& sim = *d.window.adapter().simulator();
  sim::StatusBlock& status = sim.controller().status();
  status.analog[0] = "512";
  status.sensors[1] = "+21.5";
  status.sensors[2] = "обрыв";
  TForm5* form = d.window.Form5;
  StatusChart* chart = form->Chart;

  bool ran = false;
  WhenStatusWindowUp(form, [&] {
    ran = true;
    EXPECT_FALSE(form->AutoPoll->isChecked()) << "off when the window opens";
    EXPECT_FALSE(chart->isVisible());
    sim.ClearReceived();
    QTest::mouseClick(form->AutoPoll, Qt::LeftButton);
    EXPECT_TRUE(form->AutoPoll->isChecked());
    // Asked at once, then again after the interval, the request's bytes each time.
    EXPECT_TRUE(WaitFor([&] { return form->ACP[0]->text() == "512"; }));
    EXPECT_TRUE(WaitFor([&] { return sim.ReceivedText() == "STAT\nSTAT\n"; })) << sim.ReceivedText();
    EXPECT_TRUE(WaitFor([&] { return d.window.link().form5.History.Samples().size() == 2; }));

    QTest::mouseClick(form->ChartButton, Qt::LeftButton);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_EQ(chart->windowTitle(), "График показаний");
    EXPECT_EQ(chart->Points(0), 2) << "АЦП 1";
    EXPECT_EQ(chart->Points(8 + 1), 2) << "Датчик 2";
    EXPECT_EQ(chart->Points(8 + 2), 0) << "Датчик 3 reads \"обрыв\": not drawn, not drawn as 0";
    QStringList legend;
    for (QLineSeries* s : chart->Drawn()) {
      for (QLegendMarker* marker : chart->Chart->legend()->markers(s)) {
        if (marker->isVisible()) legend << marker->label();
      }
    }
    EXPECT_EQ(legend, QStringList({"АЦП 1", "АЦП 2", "АЦП 3", "АЦП 4", "АЦП 5", "АЦП 6", "АЦП 7", "АЦП 8", "Датчик 1",
                                   "Датчик 2", "Датчик 4", "Датчик 5", "Датчик 6", "Датчик 7", "Датчик 8"}));
    // The open chart follows the next reply.
    status.analog[0] = "600";
    EXPECT_TRUE(WaitFor([&] { return chart->Points(0) == 3; }));
    EXPECT_EQ(form->ACP[0]->text(), "600");

    QTest::keyClick(form, Qt::Key_Escape);
  });
  d.Choose(d.window.N13, d.window.N23);
  ASSERT_TRUE(ran);
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(chart->isVisible()) << "the chart goes with the window";
  EXPECT_FALSE(d.window.link().form5.AutoPoll) << "closing the window ends the repetition";

  // Opened again: the box is off and the chart keeps what was read.
  ran = false;
  WhenStatusWindowUp(form, [&] {
    ran = true;
    EXPECT_FALSE(form->AutoPoll->isChecked());
    QTest::mouseClick(form->ChartButton, Qt::LeftButton);
    EXPECT_EQ(chart->Points(0), 3);
    QTest::keyClick(form, Qt::Key_Escape);
  });
  d.Choose(d.window.N13, d.window.N23);
  ASSERT_TRUE(ran);
  EXPECT_TRUE(d.dialogs.shown.empty());
}

}  // namespace
}  // namespace vemtaro::app
