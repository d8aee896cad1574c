#include "progress_window.h"

#include <algorithm>

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "window_frame.h"

namespace vemtaro::app {
namespace {
const char* const kProgressCaption = "Работа с устройством";
const char* const kCancel = "Отмена";
const char* const kClose = "Закрыть";
constexpr int kWidth = 420;
// The outcome is never cut: the window grows up to this height for it.
constexpr int kMaxOutcomeHeight = 400;
}  // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
  setObjectName("TForm2");
  setWindowTitle(kProgressCaption);
  Stage = new QLabel(this);
  Stage->setObjectName("Stage");
  QFont bold = Stage->font();
  bold.setBold(true);
  Stage->setFont(bold);
  Gauge1 = new QProgressBar(this);
  Gauge1->setObjectName("Gauge1");
  Gauge1->setRange(0, 5484);
  Gauge1->setValue(0);
  Gauge1->setFocusPolicy(Qt::NoFocus);
  TimeLeft = new QLabel(this);
  TimeLeft->setObjectName("TimeLeft");
  OutcomeText = new QTextEdit(this);
  OutcomeText->setObjectName("OutcomeText");
  OutcomeText->setReadOnly(true);
  OutcomeText->setFrameStyle(QFrame::NoFrame);
  OutcomeText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  OutcomeText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A long file name breaks where it must, so that it is shown whole.
  OutcomeText->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  OutcomeText->setFocusPolicy(Qt::NoFocus);
  OutcomeText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  OutcomeText->viewport()->setAutoFillBackground(false);
  OutcomeText->hide();
  CancelButton = new QPushButton(kCancel, this);
  CancelButton->setObjectName("Cancel");
  CloseButton = new QPushButton(kClose, this);
  CloseButton->setObjectName("Close");
  CloseButton->hide();
  connect(CancelButton, &QPushButton::clicked, this, &TForm2::cancelRequested);
  connect(CloseButton, &QPushButton::clicked, this, &TForm2::closeRequested);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Stage);
  layout->addWidget(Gauge1);
  layout->addWidget(TimeLeft);
  layout->addWidget(OutcomeText);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CancelButton);
  buttons->addWidget(CloseButton);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  Gauge1->setFixedWidth(kWidth - layout->contentsMargins().left() - layout->contentsMargins().right());
}

void TForm2::SetShown(bool shown) {
  if (shown == isVisible()) return;
  if (shown) {
    layout()->activate();
    CentreOn(this, parentWidget());
    show();
    raise();
    activateWindow();
    (outcome_ ? CloseButton : CancelButton)->setFocus();
  } else {
    hide();
  }
}

void TForm2::ShowProgress(const QString& stage, const QString& timeLeft, bool canCancel) {
  if (outcome_) {
    outcome_ = false;
    OutcomeText->hide();
    CloseButton->hide();
    Gauge1->show();
    TimeLeft->show();
    CancelButton->show();
    CloseButton->setDefault(false);
    layout()->activate();
    if (isVisible()) {
      CentreOn(this, parentWidget());
      CancelButton->setFocus();
    }
  }
  if (Stage->text() != stage) Stage->setText(stage);
  if (TimeLeft->text() != timeLeft) TimeLeft->setText(timeLeft);
  CancelButton->setEnabled(canCancel);
}

void TForm2::ShowOutcome(const QString& text, Mark mark) {
  const char* const heads[] = {"Готово", "Внимание", "Ошибка"};
  Stage->setText(QString::fromUtf8(heads[static_cast<int>(mark)]));
  const bool changed = !outcome_ || OutcomeText->toPlainText() != text;
  if (!outcome_) {
    outcome_ = true;
    Gauge1->hide();
    TimeLeft->hide();
    CancelButton->hide();
    OutcomeText->show();
    CloseButton->show();
    CloseButton->setDefault(true);
    if (isVisible()) {
      activateWindow();
      CloseButton->setFocus();
    }
  }
  if (changed) {
    OutcomeText->setPlainText(text);
    FitOutcome();
    // The window grows for the text and stays centred on its owner.
    layout()->activate();
    if (isVisible()) CentreOn(this, parentWidget());
  }
}

void TForm2::FitOutcome() {
  // The text takes the window's width and as many lines as it needs.
  const int width = Gauge1->width();
  OutcomeText->setFixedWidth(width);
  QTextDocument* document = OutcomeText->document();
  // Without a frame or scroll bars the text has the box's whole width.
  document->setTextWidth(width);
  const int height = static_cast<int>(document->documentLayout()->documentSize().height()) + 4;
  OutcomeText->setFixedHeight(std::min(height, kMaxOutcomeHeight));
}

void TForm2::reject() {
  if (outcome_) emit closeRequested();
}

void TForm2::closeEvent(QCloseEvent* event) {
  // Only the end of the transfer, or "Закрыть" after it, hides the window
  // (hide() sends no close event).
  event->ignore();
}

}  // namespace vemtaro::app
