#include "pages/setup_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "pages/byte_spin_box.h"
#include "pages/page_binding.h"
#include "window/main_model.h"

namespace vemtaro::app {

namespace {
namespace texts {
constexpr const char* kContactInputs = "Контактные входы";
constexpr const char* kAnalogInputs = "Аналоговые входы";
constexpr const char* kRelays = "Реле";
constexpr const char* kInput = "Вход %1:";
constexpr const char* kRelay = "Реле %1:";
constexpr const char* kInfinity = "∞";
}  // namespace texts

// What each spin box sets and its range (%1: its number, %2: the unit).
namespace tips {
constexpr const char* kInput = "Задержка реакции на контактный вход %1: 0–255 (%2).";
constexpr const char* kUInput = "Задержка контактного входа %1 после реакции: 0–255 (%2).";
constexpr const char* kAInput = "Задержка реакции на аналоговый вход %1: 0–255 (%2).";
constexpr const char* kUAInput = "Задержка аналогового входа %1 после реакции: 0–255 (%2).";
constexpr const char* kRele = "Длительность включения реле %1: 0–255 (%2); 0 — без ограничения времени (∞).";
}  // namespace tips

// Spin boxes of one row in columns, each beside its numbered label.
void AddSpinGrid(QGridLayout* grid, int firstRow, const char* labelText, int rows, ByteSpinBox* const* spins,
                 int count) {
  QWidget* parent = grid->parentWidget();
  for (int i = 0; i < count; ++i) {
    const int row = firstRow + i % rows;
    const int col = (i / rows) * 3;
    grid->addWidget(new QLabel(Text(labelText).arg(i + 1), parent), row, col);
    grid->addWidget(spins[i], row, col + 1);
  }
  for (int c = 0; c < count / rows; ++c) grid->setColumnStretch(c * 3 + 2, 1);
}

// A group of eight input delays under a two-line caption label.
QGroupBox* DelayGroup(MainModel& model, SpinRow row, const char* captionName, QLabel*& caption,
                      std::array<ByteSpinBox*, 8>& spins, QWidget* parent) {
  auto* group = new QGroupBox(parent);
  auto* grid = new QGridLayout(group);
  MakeCompact(grid);
  caption = new QLabel(group);
  caption->setObjectName(QString::fromLatin1(captionName));
  grid->addWidget(caption, 0, 0, 1, 6);
  for (int n = 1; n <= 8; ++n) spins[static_cast<std::size_t>(n - 1)] = new ByteSpinBox(model, {row, n}, group);
  AddSpinGrid(grid, 1, texts::kInput, 4, spins.data(), 8);
  return group;
}

QWidget* SubPage(const char* name, QWidget* parent) {
  auto* sheet = new QWidget(parent);
  sheet->setObjectName(QString::fromLatin1(name));
  auto* layout = new QVBoxLayout(sheet);
  layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
  layout->setSpacing(kPageSpacing * 2);
  return sheet;
}
}  // namespace

SetupPage::SetupPage(MainModel& model, QWidget* parent) : PageWidget(model, parent) {
  setObjectName(QStringLiteral("Setup"));
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("SetupTabs"));
  page->addWidget(tabs_);

  // Contact inputs: reaction delays, and the delays after a reaction.
  QWidget* sheet1 = SubPage("TabSheet1", tabs_);
  auto* inputs = DelayGroup(model_, SpinRow::Input, "Label1", label1_, inputs_, sheet1);
  timeAfterReaction_ = DelayGroup(model_, SpinRow::UInput, "Label5", label5_, uInputs_, sheet1);
  timeAfterReaction_->setObjectName(QStringLiteral("TimeAfterReaction"));
  sheet1->layout()->addWidget(inputs);
  sheet1->layout()->addWidget(timeAfterReaction_);
  static_cast<QVBoxLayout*>(sheet1->layout())->addStretch(1);
  tabs_->addTab(sheet1, Text(texts::kContactInputs));

  // Analogue inputs.
  tabSheet3_ = SubPage("TabSheet3", tabs_);
  tabSheet3_->layout()->addWidget(DelayGroup(model_, SpinRow::AInput, "Label7", label7_, aInputs_, tabSheet3_));
  tabSheet3_->layout()->addWidget(DelayGroup(model_, SpinRow::UAInput, "Label8", label8_, uaInputs_, tabSheet3_));
  static_cast<QVBoxLayout*>(tabSheet3_->layout())->addStretch(1);
  tabs_->addTab(tabSheet3_, Text(texts::kAnalogInputs));

  // Relays: durations in two columns; a duration of 0 shows the infinity marker.
  QWidget* sheet4 = SubPage("TabSheet4", tabs_);
  relays_ = new QGroupBox(sheet4);
  relays_->setObjectName(ToQ(model_.pages.RzGroupBox2.name));
  auto* relayGrid = new QGridLayout(relays_);
  MakeCompact(relayGrid);
  for (int n = 1; n <= 16; ++n) {
    const auto i = static_cast<std::size_t>(n - 1);
    reles_[i] = new ByteSpinBox(model_, {SpinRow::Rele, n}, relays_);
    auto* marker = new QLabel(Text(texts::kInfinity));
    marker->setObjectName(QStringLiteral("Panel%1").arg(n));
    marker->setAlignment(Qt::AlignCenter);
    marker->setAutoFillBackground(true);
    marker->setBackgroundRole(QPalette::Base);
    QFont font = marker->font();
    font.setBold(true);
    marker->setFont(font);
    reles_[i]->SetOverlay(marker);
    panels_[i] = marker;
  }
  AddSpinGrid(relayGrid, 0, texts::kRelay, 8, reles_.data(), 16);
  sheet4->layout()->addWidget(relays_);
  static_cast<QVBoxLayout*>(sheet4->layout())->addStretch(1);
  tabs_->addTab(sheet4, Text(texts::kRelays));

  for (auto* row : {&inputs_, &uInputs_, &aInputs_, &uaInputs_}) {
    for (ByteSpinBox* spin : *row) connect(spin, &ByteSpinBox::changedByUser, this, &PageWidget::modelChanged);
  }
  for (ByteSpinBox* spin : reles_) connect(spin, &ByteSpinBox::changedByUser, this, &PageWidget::modelChanged);

  Refresh();
}

void SetupPage::Refresh() {
  const Pages& p = model_.pages;
  for (auto* row : {&inputs_, &uInputs_, &aInputs_, &uaInputs_}) {
    for (ByteSpinBox* spin : *row) spin->Show();
  }
  for (std::size_t i = 0; i < reles_.size(); ++i) {
    reles_[i]->Show();
    panels_[i]->setVisible(p.PanelVisible[i]);
  }
  const QString unit = DelayUnit(model_.ws.FirmwareVersion);
  const auto tip = [&](ByteSpinBox* spin, const char* text, int n) {
    ShowTip(spin, Text(text).arg(n).arg(unit) + QLatin1Char('\n') + StepTip());
  };
  for (int n = 1; n <= 8; ++n) {
    const auto i = static_cast<std::size_t>(n - 1);
    tip(inputs_[i], tips::kInput, n);
    tip(uInputs_[i], tips::kUInput, n);
    tip(aInputs_[i], tips::kAInput, n);
    tip(uaInputs_[i], tips::kUAInput, n);
  }
  for (int n = 1; n <= 16; ++n) tip(reles_[static_cast<std::size_t>(n - 1)], tips::kRele, n);
  ShowLabel(label1_, p.Label1);
  ShowLabel(label5_, p.Label5);
  ShowLabel(label7_, p.Label7);
  ShowLabel(label8_, p.Label8);
  relays_->setTitle(ToQ(p.RzGroupBox2.caption));
  relays_->setVisible(p.RzGroupBox2.visible);
  timeAfterReaction_->setEnabled(p.TimeAfterReactionEnabled);
  tabs_->setTabEnabled(tabs_->indexOf(tabSheet3_), p.TabSheet3Enabled);
}

}  // namespace vemtaro::app
