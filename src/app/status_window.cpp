#include "status_window.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

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

}  // namespace vemtaro::app
