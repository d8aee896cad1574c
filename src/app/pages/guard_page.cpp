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

#include "main/main_model.h"
#include "pages/byte_spin_box.h"
#include "pages/page_binding.h"

namespace vemtaro::app {

namespace {
namespace texts {
constexpr const char* kMasterKey = "Мастер ключ:";
constexpr const char* kArmingDelay = "Задержка постановки на охрану (1 ед. = 0,5 сек):";
}  // namespace texts

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
  connect(masterKey_, &QLineEdit::textEdited, this, [this](const QString& t) { model_.pages.MasterKey.text = FromQ(t); });
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
