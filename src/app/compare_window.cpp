#include "compare_window.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

#include "editor/comparison.h"

namespace vemtaro::app {
namespace {
namespace C = compare_texts;
constexpr int kRowRole = Qt::UserRole;
QString ToQ(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

CompareWindow::CompareWindow(std::function<void(const std::vector<std::size_t>&)> take, QWidget* parent)
    : QDialog(parent), take_(std::move(take)) {
  setObjectName("CompareWindow");
  setWindowTitle(C::kTitle);
  auto* layout = new QVBoxLayout(this);

  Heading = new QLabel(this);
  Heading->setObjectName("Heading");
  Heading->setWordWrap(true);
  layout->addWidget(Heading);

  Differences = new QTreeWidget(this);
  Differences->setObjectName("Differences");
  Differences->setColumnCount(3);
  Differences->setUniformRowHeights(true);
  Differences->setSelectionMode(QAbstractItemView::SingleSelection);
  Differences->setAllColumnsShowFocus(true);
  Differences->header()->setSectionResizeMode(QHeaderView::Interactive);
  Differences->header()->setStretchLastSection(true);
  layout->addWidget(Differences, 1);

  Empty = new QLabel(C::kNoDifferences, this);
  Empty->setObjectName("Empty");
  Empty->setAlignment(Qt::AlignCenter);
  layout->addWidget(Empty, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  TakeButton = new QPushButton(C::kTake, this);
  TakeButton->setObjectName("TakeButton");
  CloseButton = new QPushButton(C::kClose, this);
  CloseButton->setObjectName("CloseButton");
  CloseButton->setDefault(true);
  buttons->addWidget(TakeButton);
  buttons->addWidget(CloseButton);
  layout->addLayout(buttons);

  connect(TakeButton, &QPushButton::clicked, this, &CompareWindow::TakeChecked);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(Differences, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
    if (column == 0) UpdateTakeButton();
  });
  resize(720, 460);
}

int CompareWindow::RowOf(const QTreeWidgetItem* item) {
  if (item == nullptr) return -1;
  const QVariant row = item->data(0, kRowRole);
  return row.isValid() ? row.toInt() : -1;
}

void CompareWindow::Show(const Comparison& comparison, const QString& heading) {
  comparison_ = &comparison;
  Heading->setText(heading);
  Differences->setHeaderLabels({C::kSetting, C::kWorking, ToQ(comparison.caption())});
  Reload();
}

void CompareWindow::Reload() {
  const QSignalBlocker quiet(Differences);
  Differences->clear();
  if (comparison_ == nullptr) return;
  const std::vector<ComparisonRow>& rows = comparison_->rows();
  std::array<QTreeWidgetItem*, kCompareGroupCount> groups{};
  QList<QTreeWidgetItem*> tops;
  const QBrush untakeable = palette().brush(QPalette::Disabled, QPalette::Text);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ComparisonRow& row = rows[i];
    QTreeWidgetItem*& group = groups[static_cast<std::size_t>(row.group)];
    if (group == nullptr) {
      group = new QTreeWidgetItem(QStringList{CompareGroupCaption(row.group)});
      QFont bold = group->font(0);
      bold.setBold(true);
      group->setFont(0, bold);
      group->setFlags(Qt::ItemIsEnabled);
      tops.append(group);
    }
    auto* item = new QTreeWidgetItem(group, QStringList{ToQ(row.name), ToQ(row.working), ToQ(row.other)});
    item->setData(0, kRowRole, static_cast<int>(i));
    for (int column = 0; column < 3; ++column) item->setToolTip(column, item->text(column));
    if (row.Takeable()) {
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setCheckState(0, Qt::Unchecked);
    } else {
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      for (int column = 0; column < 3; ++column) {
        item->setForeground(column, untakeable);
        item->setToolTip(column, item->text(column) + "\n" + ToQ(row.why));
      }
    }
  }
  Differences->addTopLevelItems(tops);
  for (QTreeWidgetItem* group : tops) {
    group->setFirstColumnSpanned(true);
    group->setExpanded(true);
  }
  if (!tops.isEmpty()) {
    Differences->resizeColumnToContents(0);
    Differences->setColumnWidth(0, std::min(Differences->columnWidth(0), 300));
    Differences->setColumnWidth(1, 180);
  }
  // Notes alone (the checksum state) are shown under "Различий нет".
  Differences->setVisible(!rows.empty());
  Empty->setVisible(!comparison_->HasDifference());
  if (auto* box = qobject_cast<QBoxLayout*>(layout())) box->setStretchFactor(Empty, rows.empty() ? 1 : 0);
  UpdateTakeButton();
}

void CompareWindow::UpdateTakeButton() {
  bool checked = false;
  for (int g = 0; g < Differences->topLevelItemCount() && !checked; ++g) {
    const QTreeWidgetItem* group = Differences->topLevelItem(g);
    for (int k = 0; k < group->childCount() && !checked; ++k) checked = group->child(k)->checkState(0) == Qt::Checked;
  }
  TakeButton->setEnabled(checked);
}

void CompareWindow::TakeChecked() {
  std::vector<std::size_t> chosen;
  for (int g = 0; g < Differences->topLevelItemCount(); ++g) {
    const QTreeWidgetItem* group = Differences->topLevelItem(g);
    for (int k = 0; k < group->childCount(); ++k) {
      const QTreeWidgetItem* item = group->child(k);
      if (item->checkState(0) == Qt::Checked && RowOf(item) >= 0)
        chosen.push_back(static_cast<std::size_t>(RowOf(item)));
    }
  }
  if (chosen.empty() || !take_) return;
  take_(chosen);
  Reload();
}

}  // namespace vemtaro::app
