#include "status_window.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "status_chart.h"
#include "window_frame.h"

namespace vemtaro::app {
namespace {
const char* const kStatusCaption = "Управление";
const char* const kInputs = "Входы";
const char* const kAnalog = "АЦП %1";
const char* const kSensor = "Датчик %1";
const char* const kKey = "Ключ TouchMemory";
const char* const kCopy = "Скопировать";
const char* const kMasterKey = "Сохранить как мастер ключ";
const char* const kRelays = "Управление реле";
const char* const kStatusRequest = "Запрос состояния";
const char* const kAutoPoll = "Автоопрос";
const char* const kAutoPollTip = "Повторять запрос состояния каждые %1 с, пока окно открыто";
const char* const kChart = "График";
const char* const kChartTip = "Показания АЦП и датчиков за последние %1 минут";

// A check group of eight items "1".."8" in one row.
QGroupBox* CheckRow(const char* caption, const char* name, std::array<QCheckBox*, 8>& items, QWidget* parent) {
  auto* group = new QGroupBox(QString::fromUtf8(caption), parent);
  group->setObjectName(name);
  auto* row = new QHBoxLayout(group);
  for (std::size_t i = 0; i < items.size(); ++i) {
    items[i] = new QCheckBox(QString::number(i + 1), group);
    items[i]->setObjectName(QString("%1%2").arg(name).arg(i + 1));
    row->addWidget(items[i]);
  }
  return group;
}

void SetText(QLineEdit* edit, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (edit->text() != shown) edit->setText(shown);
}
}  // namespace

TForm5::TForm5(QWidget* parent) : QDialog(parent, kCloseBoxOnly) {
  setObjectName("TForm5");
  setWindowTitle(kStatusCaption);
  auto* layout = new QVBoxLayout(this);

  // The contact inputs are shown, not set: the items take no mouse or keys.
  Inputs = CheckRow(kInputs, "Inputs", InputItems, this);
  for (QCheckBox* item : InputItems) {
    item->setAttribute(Qt::WA_TransparentForMouseEvents);
    item->setFocusPolicy(Qt::NoFocus);
  }
  layout->addWidget(Inputs);

  auto* readings = new QGridLayout();
  auto readOnly = [this](const QString& name) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    return edit;
  };
  for (int k = 0; k < 8; ++k) {
    const auto i = static_cast<std::size_t>(k);
    ACP[i] = readOnly(QString("ACP%1").arg(k + 1));
    Dat[i] = readOnly(QString("Dat%1").arg(k + 1));
    readings->addWidget(new QLabel(QString::fromUtf8(kAnalog).arg(k + 1), this), k, 0);
    readings->addWidget(ACP[i], k, 1);
    readings->addWidget(new QLabel(QString::fromUtf8(kSensor).arg(k + 1), this), k, 2);
    readings->addWidget(Dat[i], k, 3);
  }
  readings->setColumnMinimumWidth(2, 70);
  layout->addLayout(readings);

  auto* keyRow = new QHBoxLayout();
  TM = readOnly("TM");
  TM->setMinimumWidth(180);
  keyRow->addWidget(new QLabel(kKey, this));
  keyRow->addWidget(TM, 1);
  layout->addLayout(keyRow);
  TMMenu = new QMenu(this);
  TMMenu->setObjectName("TMMenu");
  Copy = TMMenu->addAction(kCopy, TM, &QLineEdit::copy);
  Copy->setObjectName("Copy");
  Copy->setShortcut(QKeySequence::Copy);
  Copy->setShortcutContext(Qt::WidgetShortcut);
  TM->addAction(Copy);
  N1 = TMMenu->addAction(kMasterKey, this, &TForm5::masterKeyChosen);
  N1->setObjectName("N1");
  TM->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(TM, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { TMMenu->popup(TM->mapToGlobal(pos)); });

  Releys = CheckRow(kRelays, "Releys", ReleyItems, this);
  for (std::size_t i = 0; i < ReleyItems.size(); ++i) {
    const int index = static_cast<int>(i);
    connect(ReleyItems[i], &QCheckBox::clicked, this, [this, index](bool on) { emit relayChanged(index, on); });
  }
  layout->addWidget(Releys);

  Button1 = new QPushButton(kStatusRequest, this);
  Button1->setObjectName("Button1");
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, &TForm5::statusRequested);
  AutoPoll = new QCheckBox(kAutoPoll, this);
  AutoPoll->setObjectName("AutoPoll");
  AutoPoll->setToolTip(QString::fromUtf8(kAutoPollTip).arg(StatusAutoPoll::kIntervalMs / 1000));
  connect(AutoPoll, &QCheckBox::clicked, this, &TForm5::autoPollChanged);
  ChartButton = new QPushButton(kChart, this);
  ChartButton->setObjectName("ChartButton");
  ChartButton->setAutoDefault(false);
  ChartButton->setToolTip(QString::fromUtf8(kChartTip).arg(StatusHistory::kSpanMs / 60000));
  connect(ChartButton, &QPushButton::clicked, this, &TForm5::ShowChart);
  Chart = new StatusChart(this);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(AutoPoll);
  buttons->addWidget(ChartButton);
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  layout->addLayout(buttons);

  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm5::Show(const StatusWindowModel& state) {
  for (std::size_t i = 0; i < 8; ++i) {
    const QSignalBlocker inputBlock(InputItems[i]);
    InputItems[i]->setChecked(state.Inputs[i]);
    const QSignalBlocker relayBlock(ReleyItems[i]);
    ReleyItems[i]->setChecked(state.Releys[i]);
    SetText(ACP[i], state.ACP[i]);
    SetText(Dat[i], state.Dat[i]);
  }
  SetText(TM, state.TM);
  const QSignalBlocker autoPollBlock(AutoPoll);
  AutoPoll->setChecked(state.AutoPoll);
  // Every change of the readings is shown as it happens: the newest arrived
  // just now.
  history_ = &state.History;
  if (state.History.Revision() != historyRevision_) {
    historyRevision_ = state.History.Revision();
    newestWallMs_ = QDateTime::currentMSecsSinceEpoch();
    if (Chart->isVisible()) Chart->Draw(state.History, newestWallMs_);
  }
}

void TForm5::ShowChart() {
  if (history_ != nullptr) Chart->Draw(*history_, newestWallMs_);
  if (!Chart->isVisible()) {
    // Beside the status window, to its right when the screen has room, else
    // to its left, and on the screen in any case.
    QRect place(frameGeometry().topRight() + QPoint(8, 0), Chart->frameGeometry().size());
    if (const QScreen* screen = this->screen()) {
      const QRect room = screen->availableGeometry();
      if (place.right() > room.right()) place.moveRight(frameGeometry().left() - 8);
      place.moveLeft(std::clamp(place.left(), room.left(), std::max(room.left(), room.right() - place.width())));
      place.moveTop(std::clamp(place.top(), room.top(), std::max(room.top(), room.bottom() - place.height())));
    }
    Chart->move(place.topLeft());
  }
  Chart->show();
  Chart->raise();
  Chart->activateWindow();
}

void TForm5::hideEvent(QHideEvent* event) {
  // Not when the desktop only minimises the program.
  if (!event->spontaneous()) Chart->hide();
  QDialog::hideEvent(event);
}

int TForm5::ShowModal() {
  adjustSize();
  CentreOn(this, parentWidget());
  return exec();
}

}  // namespace vemtaro::app
