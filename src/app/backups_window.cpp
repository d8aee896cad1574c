#include "backups_window.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "backup_store.h"

namespace vemtaro::app {
namespace {
const char* const kTitle = "Резервные копии";
const char* const kObject = "Объект";
const char* const kDateTime = "Дата и время";
const char* const kVersion = "Версия прошивки";
const char* const kOpen = "Открыть";
const char* const kClose = "Закрыть";
const char* const kNone = "Резервных копий нет";
const char* const kUnreadable = "Файл не читается";
const char* const kShownTime = "dd.MM.yyyy HH:mm:ss";
constexpr int kPathRole = Qt::UserRole;
}  // namespace

BackupsWindow::BackupsWindow(const BackupFolderStore& store, std::function<bool(const QString&)> open, QWidget* parent)
    : QDialog(parent), store_(store), open_(std::move(open)) {
  setObjectName("BackupsWindow");
  setWindowTitle(kTitle);
  auto* layout = new QVBoxLayout(this);

  Copies = new QTreeWidget(this);
  Copies->setObjectName("Copies");
  Copies->setColumnCount(3);
  Copies->setHeaderLabels({kObject, kDateTime, kVersion});
  Copies->setRootIsDecorated(false);
  Copies->setUniformRowHeights(true);
  Copies->setSelectionMode(QAbstractItemView::SingleSelection);
  Copies->setAllColumnsShowFocus(true);
  Copies->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  Copies->header()->setStretchLastSection(true);
  layout->addWidget(Copies, 1);

  Empty = new QLabel(kNone, this);
  Empty->setObjectName("Empty");
  Empty->setAlignment(Qt::AlignCenter);
  layout->addWidget(Empty, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OpenButton = new QPushButton(kOpen, this);
  OpenButton->setObjectName("OpenCopy");
  OpenButton->setDefault(true);
  CloseButton = new QPushButton(kClose, this);
  CloseButton->setObjectName("CloseBackups");
  buttons->addWidget(OpenButton);
  buttons->addWidget(CloseButton);
  layout->addLayout(buttons);

  connect(OpenButton, &QPushButton::clicked, this, &BackupsWindow::OpenChosen);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(Copies, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { OpenItem(item); });
  connect(Copies, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { OpenButton->setEnabled(current != nullptr); });

  resize(480, 320);
  Reload();
}

void BackupsWindow::Reload() {
  Copies->clear();
  for (const KeptCopy& copy : store_.List()) {
    auto* item = new QTreeWidgetItem(Copies);
    item->setText(0, copy.object);
    item->setText(1, copy.time.toString(kShownTime));
    if (copy.version) {
      item->setText(2, QString::number(*copy.version));
    } else {
      // A copy that cannot be read is listed, with the reason at hand.
      item->setText(2, kUnreadable);
      item->setToolTip(2, copy.problem);
    }
    item->setToolTip(0, QDir::toNativeSeparators(copy.path));
    item->setData(0, kPathRole, copy.path);
  }
  const bool any = Copies->topLevelItemCount() > 0;
  Copies->setVisible(any);
  Empty->setVisible(!any);
  if (any) Copies->setCurrentItem(Copies->topLevelItem(0));
  OpenButton->setEnabled(Copies->currentItem() != nullptr);
}

void BackupsWindow::OpenChosen() { OpenItem(Copies->currentItem()); }

void BackupsWindow::OpenItem(QTreeWidgetItem* item) {
  if (item == nullptr || !open_) return;
  if (open_(item->data(0, kPathRole).toString())) accept();
}

}  // namespace vemtaro::app
