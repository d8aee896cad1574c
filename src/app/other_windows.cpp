#include "other_windows.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTime>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "icons.h"

namespace vemtaro::app {
namespace {
const char* const kProgressCaption = "Работа с устройством";
const char* const kStatusCaption = "Управление";
const char* const kInputs = "Входы";
const char* const kAnalog = "АЦП %1";
const char* const kSensor = "Датчик %1";
const char* const kKey = "Ключ TouchMemory";
const char* const kCopy = "Скопировать";
const char* const kMasterKey = "Сохранить как мастер ключ";
const char* const kRelays = "Управление реле";
const char* const kStatusRequest = "Запрос состояния";
const char* const kDialCaption = "Дозвон";
const char* const kDialButton = "Дозвон";
const char* const kCancel = "Отмена";
const char* const kDialMask = "+7 999 999-99-99;_";
constexpr int kSplashMs = 3000;

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

// The frame and title bar of a dialog with the close box only.
constexpr Qt::WindowFlags kCloseBoxOnly = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                          Qt::MSWindowsFixedSizeDialogHint;
}  // namespace

void CentreOn(QWidget* window, const QWidget* owner) {
  if (owner == nullptr) return;
  const QRect frame = owner->frameGeometry();
  const QSize size = window->frameGeometry().size();
  window->move(frame.center() - QPoint(size.width() / 2, size.height() / 2));
}

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName("TForm3");
  setFixedSize(610, 450);
  setEnabled(false);
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setSingleShot(true);
  Timer1->setInterval(kSplashMs);
  connect(Timer1, &QTimer::timeout, this, [this] {
    Timer1->stop();
    hide();
    emit finished();
  });
}

void TForm3::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, SplashPicture());
}

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
  setObjectName("TForm2");
  setWindowTitle(kProgressCaption);
  setFocusPolicy(Qt::NoFocus);
  Gauge1 = new QProgressBar(this);
  Gauge1->setObjectName("Gauge1");
  Gauge1->setRange(0, 5484);
  Gauge1->setValue(0);
  Gauge1->setFocusPolicy(Qt::NoFocus);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Gauge1);
  setFixedSize(360, 70);
}

void TForm2::SetShown(bool shown) {
  if (shown == isVisible()) return;
  if (shown) {
    CentreOn(this, parentWidget());
    show();
    raise();
  } else {
    hide();
  }
}

void TForm2::closeEvent(QCloseEvent* event) {
  // Only the end of the transfer hides the window (hide() sends no close event).
  event->ignore();
}

TForm4Window::TForm4Window(vemtaro::TForm4& core, QWidget* parent) : QDialog(parent), core_(core) {
  setObjectName("TForm4");
  setWindowTitle(QString::fromStdString(core.Caption));
  RzDateTimeEdit1 = new QTimeEdit(this);
  RzDateTimeEdit1->setObjectName("RzDateTimeEdit1");
  RzDateTimeEdit1->setDisplayFormat("H:mm");
  Button1 = new QPushButton(QString::fromStdString(core.Button1), this);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Button2 = new QPushButton(QString::fromStdString(core.Button2), this);
  Button2->setObjectName("Button2");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RzDateTimeEdit1);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  layout->addLayout(buttons);
  connect(Button1, &QPushButton::clicked, this, [this] {
    core_.RzDateTimeEdit1 = RzDateTimeEdit1->text().toStdString();
    core_.Button1Click();
    accept();
  });
  connect(Button2, &QPushButton::clicked, this, [this] {
    core_.Button2Click();
    reject();
  });
  setFixedSize(sizeHint().expandedTo(QSize(220, 90)));
}

int TForm4Window::ShowModal() {
  core_.FormShow();
  const QTime t = QTime::fromString(QString::fromStdString(core_.RzDateTimeEdit1), "H:mm");
  RzDateTimeEdit1->setTime(t.isValid() ? t : QTime(0, 0));
  const int result = exec();
  if (result != QDialog::Accepted && core_.visible) core_.Button2Click();
  return result;
}

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
  auto* buttons = new QHBoxLayout();
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
}

int TForm5::ShowModal() {
  adjustSize();
  CentreOn(this, parentWidget());
  return exec();
}

TForm6::TForm6(QWidget* parent) : QDialog(parent, kCloseBoxOnly) {
  setObjectName("TForm6");
  setWindowTitle(kDialCaption);
  LMDMaskEdit1 = new QLineEdit(this);
  LMDMaskEdit1->setObjectName("LMDMaskEdit1");
  LMDMaskEdit1->setInputMask(kDialMask);
  Button1 = new QPushButton(kDialButton, this);
  Button1->setObjectName("Button1");
  Button2 = new QPushButton(kCancel, this);
  Button2->setObjectName("Button2");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LMDMaskEdit1);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  layout->addLayout(buttons);
  // Neither button acts, and Enter in the number field presses neither.
  for (QPushButton* button : {Button1, Button2}) button->setAutoDefault(false);
  setFixedSize(sizeHint().expandedTo(QSize(260, 90)));
}

int TForm6::ShowModal() {
  CentreOn(this, parentWidget());
  return exec();
}

}  // namespace vemtaro::app
