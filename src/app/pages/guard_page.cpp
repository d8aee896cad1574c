#include "pages/guard_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "pages/byte_spin_box.h"
#include "pages/page_binding.h"
#include "window/main_model.h"

namespace vemtaro::app {

namespace {
namespace texts {
constexpr const char* kMasterKey = "Мастер ключ:";
constexpr const char* kArmingDelay = "Задержка постановки на охрану (1 ед. = 0,5 сек):";
}  // namespace texts

// What each control sets and its range.
namespace tips {
constexpr const char* kAllowed =
    "Охрана разрешена: постановка и снятие мастер-ключом или по SMS; в дереве «Контрольные датчики» — "
    "источник «ОХРАНА».";
constexpr const char* kForbidden =
    "Охрана запрещена: задержка постановки 0, зоны и SMS недоступны; в дереве — «КЛЮЧ Touch Memory».";
constexpr const char* kOhrSms = "Разрешить постановку на охрану и снятие по SMS.";
constexpr const char* kZone = "Контактный вход %1 — зона, которая снимается с охраны.";
constexpr const char* kAZone = "Аналоговый вход %1 — зона, которая снимается с охраны (версии 13–15).";
constexpr const char* kMasterKey =
    "Код мастер-ключа Touch Memory: ровно 16 шестнадцатеричных цифр (0–9, заглавные A–F) или пусто.";
constexpr const char* kVihod = "Задержка постановки на охрану: 0–255 (1 ед. = 0,5 с).";
}  // namespace tips

}  // namespace

GuardPage::GuardPage(MainModel& model, QWidget* parent) : PageWidget(model, parent) {
  setObjectName(QStringLiteral("TabSheet2"));
  Pages& p = model_.pages;
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
  page->setSpacing(kPageSpacing * 2);

  // Guard mode, two buttons in two columns; arming by SMS and the analogue
  // zones belong to it.
  ohr_ = new QGroupBox(ToQ(p.Ohr.caption), this);
  ohr_->setObjectName(ToQ(p.Ohr.name));
  auto* ohrGrid = new QGridLayout(ohr_);
  MakeCompact(ohrGrid);
  allowed_ = new QRadioButton(ToQ(p.Ohr.items.at(0)), ohr_);
  forbidden_ = new QRadioButton(ToQ(p.Ohr.items.at(1)), ohr_);
  allowed_->setObjectName(QStringLiteral("Ohr_1"));
  forbidden_->setObjectName(QStringLiteral("Ohr_2"));
  ohrButtons_ = new QButtonGroup(ohr_);
  ohrButtons_->addButton(allowed_, 0);
  ohrButtons_->addButton(forbidden_, 1);
  ohrSms_ = new QCheckBox(ToQ(p.OhrSMS.caption), ohr_);
  ohrSms_->setObjectName(ToQ(p.OhrSMS.name));
  aZones_ = new CheckGroupBox(p.AZones, 8, ohr_);
  ohrGrid->addWidget(allowed_, 0, 0);
  ohrGrid->addWidget(forbidden_, 0, 1);
  ohrGrid->addWidget(ohrSms_, 1, 0, 1, 2);
  ohrGrid->addWidget(aZones_, 2, 0, 1, 2);
  page->addWidget(ohr_);

  zones_ = new CheckGroupBox(p.Zones, 8, this);
  page->addWidget(zones_);

  auto* fields = new QGridLayout;
  MakeCompact(fields);
  fields->setContentsMargins(0, 0, 0, 0);
  masterKey_ = new QLineEdit(this);
  masterKey_->setObjectName(ToQ(p.MasterKey.name));
  masterKey_->setFixedWidth(masterKey_->fontMetrics().horizontalAdvance(QString(17, QLatin1Char('0'))) + 12);
  vihod_ = new ByteSpinBox(model_, {SpinRow::Vihod, 1}, this);
  fields->addWidget(new QLabel(Text(texts::kMasterKey), this), 0, 0);
  fields->addWidget(masterKey_, 0, 1, Qt::AlignLeft);
  fields->addWidget(new QLabel(Text(texts::kArmingDelay), this), 1, 0);
  fields->addWidget(vihod_, 1, 1, Qt::AlignLeft);
  fields->setColumnStretch(2, 1);
  page->addLayout(fields);
  page->addStretch(1);

  allowed_->setToolTip(Text(tips::kAllowed));
  forbidden_->setToolTip(Text(tips::kForbidden));
  ohrSms_->setToolTip(Text(tips::kOhrSms));
  for (int i = 0; i < zones_->count(); ++i) zones_->item(i)->setToolTip(Text(tips::kZone).arg(i + 1));
  for (int i = 0; i < aZones_->count(); ++i) aZones_->item(i)->setToolTip(Text(tips::kAZone).arg(i + 1));
  masterKey_->setToolTip(Text(tips::kMasterKey));
  vihod_->setToolTip(Text(tips::kVihod) + QLatin1Char('\n') + StepTip());

  connect(ohrButtons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    // The newly chosen button reports; the one it replaces is left alone.
    if (checked) Run([this, id] { model_.pages.SetOhrIndex(id); });
  });
  connect(ohrSms_, &QCheckBox::toggled, this,
          [this](bool checked) { Run([this, checked] { model_.pages.SetOhrSmsChecked(checked); }); });
  connect(aZones_, &CheckGroupBox::itemToggled, this, [this](int i, bool checked) {
    Run([this, i, checked] { model_.pages.SetItemChecked(model_.pages.AZones, static_cast<std::size_t>(i), checked); });
  });
  connect(zones_, &CheckGroupBox::itemToggled, this, [this](int i, bool checked) {
    Run([this, i, checked] { model_.pages.SetItemChecked(model_.pages.Zones, static_cast<std::size_t>(i), checked); });
  });
  connect(masterKey_, &QLineEdit::textEdited, this,
          [this](const QString& t) { model_.pages.MasterKey.text = FromQ(t); });
  OnExit(masterKey_, [this] { model_.pages.MasterKeyExit(); });
  connect(vihod_, &ByteSpinBox::changedByUser, this, &PageWidget::modelChanged);

  Refresh();
}

void GuardPage::Refresh() {
  const Pages& p = model_.pages;
  {
    const QSignalBlocker blockGroup(ohrButtons_);
    const QSignalBlocker blockAllowed(allowed_);
    const QSignalBlocker blockForbidden(forbidden_);
    ohr_->setTitle(ToQ(p.Ohr.caption));
    (p.Ohr.index == 0 ? allowed_ : forbidden_)->setChecked(true);
    allowed_->setEnabled(p.Ohr.enabled);
    forbidden_->setEnabled(p.Ohr.enabled);
  }
  ShowCheckBox(ohrSms_, p.OhrSMS);
  aZones_->Show(p.AZones);
  zones_->Show(p.Zones);
  ShowEdit(masterKey_, p.MasterKey);
  vihod_->Show();
}

}  // namespace vemtaro::app
