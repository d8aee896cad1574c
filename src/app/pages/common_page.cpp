#include "pages/common_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "pages/byte_spin_box.h"
#include "pages/page_binding.h"
#include "window/main_model.h"

namespace vemtaro::app {

namespace {
namespace texts {
constexpr const char* kObjectId = "Идентификатор объекта:";
constexpr const char* kPassword = "Пароль доступа:";
constexpr const char* kDispatcherPhone = "Телефон диспетчерского центра:";
constexpr const char* kCenterPhone = "Телефон SMS центра:";
constexpr const char* kOperatorColumn = "Оператор";
constexpr const char* kPhoneColumn = "Телефон";
constexpr const char* kAllowedNumbers = "Разрешенные номера";
constexpr const char* kAbonent = "Абонент %1:";
constexpr const char* kAttempts = "Количество попыток отправки сообщений:";
}  // namespace texts

// What each control sets and its range (%1: the length the version allows).
namespace tips {
constexpr const char* kObjectId =
    "Идентификационный номер объекта\nДо %1 символов (4 в версиях 10–13, 10 в версиях 14 и 15), любые символы.";
constexpr const char* kPassword =
    "Пароль доступа к контроллеру: до 8 символов.\nПустое поле пароль не стирает: остаётся прежний.";
constexpr const char* kDispatcher =
    "Номер диспетчерского центра (абонент 1 в реакциях): цифры, «+» и пробелы, до %1 символов.\n"
    "Пустое поле убирает этот номер из всех реакций.";
constexpr const char* kAbonent =
    "Разрешённый номер «Абонент %1» (абонент %2 в реакциях): цифры, «+» и пробелы, до %3 символов.\n"
    "Пустое поле убирает этот номер из всех реакций.";
constexpr const char* kCenterPhone =
    "Номер SMS-центра оператора связи: цифры, «+» и пробелы, до %1 символов.\n"
    "Стрелка открывает таблицу операторов.";
constexpr const char* kAttempts = "Сколько раз контроллер пытается отправить сообщение: 0–255.";
constexpr const char* kStatusHour = "Отправлять статусное сообщение в %1.";
constexpr const char* kStatusKinds[] = {
    "Включать в статусное сообщение состояние входов и выходов (версии 11–15).",
    "Включать в статусное сообщение показания датчиков цифровой шины (версии 11–15).",
    "Включать в статусное сообщение показания аналоговых входов (версии 12–15).",
};
}  // namespace tips

// Width of an edit that shows `chars` digits whole.
int EditWidthFor(const QWidget* w, int chars) {
  return w->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + 12;
}
}  // namespace

CommonPage::CommonPage(MainModel& model, QWidget* parent) : PageWidget(model, parent) {
  setObjectName(QStringLiteral("Common"));
  Pages& p = model_.pages;
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
  page->setSpacing(kPageSpacing);

  // Object identifier and password.
  auto* top = new QGridLayout;
  MakeCompact(top);
  top->setContentsMargins(0, 0, 0, 0);
  objectId_ = new QLineEdit(this);
  objectId_->setObjectName(ToQ(p.ObjectID.name));
  objectId_->setFixedWidth(EditWidthFor(objectId_, 11));
  password_ = new QLineEdit(this);
  password_->setObjectName(ToQ(p.PasswordEdit.name));
  password_->setFixedWidth(EditWidthFor(password_, 9));
  top->addWidget(new QLabel(Text(texts::kObjectId), this), 0, 0);
  top->addWidget(objectId_, 0, 1);
  top->addWidget(new QLabel(Text(texts::kPassword), this), 0, 3);
  top->addWidget(password_, 0, 4);
  top->setColumnStretch(2, 1);
  top->setColumnStretch(5, 1);
  page->addLayout(top);

  // The dispatch centre's number and the SMS centre in one frame.
  auto* centre = new QFrame(this);
  centre->setFrameShape(QFrame::StyledPanel);
  auto* centreGrid = new QGridLayout(centre);
  MakeCompact(centreGrid);
  abonents_[0] = new QLineEdit(centre);
  centerPhone_ = new QComboBox(centre);
  centerPhone_->setObjectName(ToQ(p.CenterPhone.name));
  centerPhone_->setEditable(true);
  centerPhone_->setInsertPolicy(QComboBox::NoInsert);
  centerPhone_->setCompleter(nullptr);
  auto* table = new QStandardItemModel(static_cast<int>(kOperators.size()), 2, centerPhone_);
  table->setHorizontalHeaderLabels({Text(texts::kOperatorColumn), Text(texts::kPhoneColumn)});
  for (std::size_t r = 0; r < kOperators.size(); ++r) {
    table->setItem(static_cast<int>(r), 0, new QStandardItem(Text(kOperators[r].name)));
    table->setItem(static_cast<int>(r), 1, new QStandardItem(Text(kOperators[r].phone)));
  }
  centerPhone_->setModel(table);
  operators_ = new QTableView(centerPhone_);
  operators_->setObjectName(QStringLiteral("CenterPhoneOperators"));
  operators_->setSelectionBehavior(QAbstractItemView::SelectRows);
  operators_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  operators_->verticalHeader()->hide();
  operators_->setShowGrid(false);
  centerPhone_->setView(operators_);
  // The chosen row puts its number into the edit.
  centerPhone_->setModelColumn(1);
  operators_->resizeColumnsToContents();
  operators_->setMinimumWidth(operators_->horizontalHeader()->length() + 4);
  centerPhone_->setCurrentIndex(-1);
  centerPhone_->lineEdit()->installEventFilter(this);
  centerPhone_->setFixedWidth(EditWidthFor(centerPhone_, 17) + 24);
  centreGrid->addWidget(new QLabel(Text(texts::kDispatcherPhone), centre), 0, 0);
  centreGrid->addWidget(abonents_[0], 0, 1);
  centreGrid->addWidget(new QLabel(Text(texts::kCenterPhone), centre), 1, 0);
  centreGrid->addWidget(centerPhone_, 1, 1);
  centreGrid->setColumnStretch(2, 1);
  page->addWidget(centre);

  // The eight permitted numbers, two columns of four.
  auto* allowed = new QGroupBox(Text(texts::kAllowedNumbers), this);
  auto* allowedGrid = new QGridLayout(allowed);
  MakeCompact(allowedGrid);
  for (int k = 2; k <= 9; ++k) {
    abonents_[k - 1] = new QLineEdit(allowed);
    const int i = k - 2;
    const int row = i % 4;
    const int col = (i / 4) * 2;
    allowedGrid->addWidget(new QLabel(Text(texts::kAbonent).arg(k - 1), allowed), row, col);
    allowedGrid->addWidget(abonents_[k - 1], row, col + 1);
  }
  page->addWidget(allowed);
  for (int k = 1; k <= 9; ++k) {
    QLineEdit* edit = abonents_[k - 1];
    edit->setObjectName(ToQ(p.AbonentNo[k - 1].name));
    edit->setFixedWidth(EditWidthFor(edit, 17));
  }

  // Sending attempts.
  auto* attemptsRow = new QHBoxLayout;
  attemptsRow->setSpacing(kPageSpacing * 2);
  attempts_ = new ByteSpinBox(model_, {SpinRow::NumOfAttempts, 1}, this);
  attemptsRow->addWidget(new QLabel(Text(texts::kAttempts), this));
  attemptsRow->addWidget(attempts_);
  attemptsRow->addStretch(1);
  page->addLayout(attemptsRow);

  statusSms_ = new CheckGroupBox(p.StatusSMS, 4, this);
  statusMessages_ = new CheckGroupBox(p.StatusMessages, 3, this);
  password_->setToolTip(Text(tips::kPassword));
  attempts_->setToolTip(Text(tips::kAttempts));
  for (int i = 0; i < statusSms_->count(); ++i) {
    statusSms_->item(i)->setToolTip(Text(tips::kStatusHour).arg(statusSms_->item(i)->text()));
  }
  for (int i = 0; i < statusMessages_->count(); ++i) {
    statusMessages_->item(i)->setToolTip(Text(tips::kStatusKinds[static_cast<std::size_t>(i)]));
  }
  page->addWidget(statusSms_);
  page->addWidget(statusMessages_);
  page->addStretch(1);

  // What the user does, handed to the core.
  connect(objectId_, &QLineEdit::textEdited, this, [this](const QString& t) {
    model_.pages.ObjectID.text = FromQ(t);
    // A text typed under a wider version may stay; new typing keeps to this one.
    NarrowToLimit(objectId_, model_.pages.ObjectID);
  });
  OnExit(objectId_, [this] { model_.pages.ObjectIDExit(); });
  // Enter moves the focus on in these two edits, which counts as leaving them.
  connect(objectId_, &QLineEdit::returnPressed, this, [this] { MoveFocusOn(objectId_); });
  connect(password_, &QLineEdit::textEdited, this,
          [this](const QString& t) { model_.pages.PasswordEdit.text = FromQ(t); });
  OnExit(password_, [this] { model_.pages.PasswordEditExit(); });
  connect(password_, &QLineEdit::returnPressed, this, [this] { MoveFocusOn(password_); });
  for (int k = 1; k <= 9; ++k) {
    QLineEdit* edit = abonents_[k - 1];
    connect(edit, &QLineEdit::textEdited, this, [this, edit, k](const QString& t) {
      model_.pages.AbonentNo[k - 1].text = FromQ(t);
      NarrowToLimit(edit, model_.pages.AbonentNo[k - 1]);
      // Only AbonentNo2 checks its number at every change.
      if (k == 2) Run([this, k] { model_.pages.AbonentNoChange(k); });
    });
    OnExit(edit, [this, k] { model_.pages.AbonentNoExit(k); });
  }
  connect(centerPhone_->lineEdit(), &QLineEdit::textEdited, this,
          [this](const QString& t) { Run([this, t] { model_.pages.SetCenterPhoneText(FromQ(t)); }); });
  connect(centerPhone_, &QComboBox::activated, this, [this](int row) {
    if (row >= 0) Run([this, row] { model_.pages.ChooseOperator(static_cast<std::size_t>(row)); });
  });
  connect(attempts_, &ByteSpinBox::changedByUser, this, &PageWidget::modelChanged);
  connect(statusSms_, &CheckGroupBox::itemToggled, this, [this](int i, bool checked) {
    Run([this, i, checked] {
      model_.pages.SetItemChecked(model_.pages.StatusSMS, static_cast<std::size_t>(i), checked);
    });
  });
  connect(statusMessages_, &CheckGroupBox::itemToggled, this, [this](int i, bool checked) {
    Run([this, i, checked] {
      model_.pages.SetItemChecked(model_.pages.StatusMessages, static_cast<std::size_t>(i), checked);
    });
  });

  Refresh();
}

QLineEdit* CommonPage::NumberEdit(int k) { return abonents_.at(static_cast<std::size_t>(k - 1)); }

bool CommonPage::eventFilter(QObject* watched, QEvent* event) {
  // A click on the SMS centre's edit stores its number again.
  if (watched == centerPhone_->lineEdit() && event->type() == QEvent::MouseButtonPress) {
    Run([this] { model_.pages.CenterPhoneExit(); });
  }
  return PageWidget::eventFilter(watched, event);
}

void CommonPage::Refresh() {
  const Pages& p = model_.pages;
  ShowEdit(objectId_, p.ObjectID);
  ShowEdit(password_, p.PasswordEdit);
  for (int k = 1; k <= 9; ++k) ShowEdit(NumberEdit(k), p.AbonentNo[static_cast<std::size_t>(k - 1)]);
  // The tips tell the lengths of the version.
  const int phone = p.CenterPhone.maxLength;
  ShowTip(objectId_, Text(tips::kObjectId).arg(p.ObjectID.maxLength));
  ShowTip(NumberEdit(1), Text(tips::kDispatcher).arg(phone));
  for (int k = 2; k <= 9; ++k) ShowTip(NumberEdit(k), Text(tips::kAbonent).arg(k - 1).arg(k).arg(phone));
  ShowTip(centerPhone_, Text(tips::kCenterPhone).arg(phone));
  {
    const QSignalBlocker block(centerPhone_);
    ShowEdit(centerPhone_->lineEdit(), p.CenterPhone);
    centerPhone_->setEnabled(p.CenterPhone.enabled);
    centerPhone_->setVisible(p.CenterPhone.visible);
  }
  attempts_->Show();
  statusSms_->Show(p.StatusSMS);
  statusMessages_->Show(p.StatusMessages);
}

}  // namespace vemtaro::app
