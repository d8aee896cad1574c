#include "pages/identifiers_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "pages/page_binding.h"
#include "window/main_model.h"

namespace vemtaro::app {

namespace {
namespace texts {
constexpr const char* kGroup = "Идентификаторы датчиков";
constexpr const char* kId = "ID%1";
}  // namespace texts

namespace tips {
constexpr const char* kId =
    "Идентификатор параметрического датчика %1: ровно 16 шестнадцатеричных цифр (0–9, заглавные A–F) или "
    "пусто, если датчика нет.";
}  // namespace tips
}  // namespace

IdentifiersPanel::IdentifiersPanel(MainModel& model, QWidget* parent) : PageWidget(model, parent) {
  setObjectName(QStringLiteral("IdentifiersPanel"));
  Pages& p = model_.pages;
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* group = new QGroupBox(QString::fromUtf8(texts::kGroup), this);
  auto* grid = new QGridLayout(group);
  MakeCompact(grid);
  // Sixteen rows share the page's height with the group's caption.
  grid->setVerticalSpacing(1);
  for (int k = 1; k <= 16; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    QLabel* label = nullptr;
    if (k <= 8) {
      label = new QLabel(QString::fromUtf8(texts::kId).arg(k), group);
    } else {
      label = new QLabel(ToQ(p.IdLabels[i - 8].caption), group);
      label->setObjectName(ToQ(p.IdLabels[i - 8].name));
      upperLabels_[i - 8] = label;
    }
    auto* edit = new QLineEdit(group);
    edit->setObjectName(ToQ(p.ID[i].name));
    edit->setToolTip(QString::fromUtf8(tips::kId).arg(k));
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(17, QLatin1Char('D'))) + 12);
    grid->addWidget(label, k - 1, 0);
    grid->addWidget(edit, k - 1, 1);
    ids_[i] = edit;
    connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& t) { model_.pages.ID[i].text = FromQ(t); });
    OnExit(edit, [this, k] { model_.pages.IDExit(k); });
  }
  grid->setRowStretch(16, 1);
  outer->addWidget(group);
  Refresh();
}

void IdentifiersPanel::Refresh() {
  const Pages& p = model_.pages;
  for (std::size_t i = 0; i < ids_.size(); ++i) ShowEdit(ids_[i], p.ID[i]);
  for (std::size_t i = 0; i < upperLabels_.size(); ++i) ShowLabel(upperLabels_[i], p.IdLabels[i]);
}

}  // namespace vemtaro::app
