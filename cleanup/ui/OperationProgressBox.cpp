#include "cleanup/ui/OperationProgressBox.h"

#include "scan/Format.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

TOperationProgressBox::TOperationProgressBox(const QString& caption, const QString& what, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(caption);
  setWindowModality(Qt::WindowModal);
  auto* layout = new QVBoxLayout(this);
  txtWhat_ = new QLabel(what, this);
  txtWhat_->setWordWrap(true);
  txtCurrent_ = new QLabel(this);
  txtCurrent_->setTextFormat(Qt::PlainText);
  txtCurrent_->setMinimumWidth(420);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  txtCounts_ = new QLabel(this);
  cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  layout->addWidget(txtWhat_);
  layout->addWidget(txtCurrent_);
  layout->addWidget(bar_);
  layout->addWidget(txtCounts_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdCancel_);
  layout->addLayout(buttons);
  connect(cmdCancel_, &QPushButton::clicked, this, &TOperationProgressBox::reject);
}

int TOperationProgressBox::Percent(const TOpProgress& p) {
  const int64_t total = p.bytesTotal > 0 ? p.bytesTotal : p.entriesTotal;
  const int64_t done = p.bytesTotal > 0 ? p.bytesDone : p.entriesDone;
  if (total <= 0) return 0;
  return static_cast<int>(std::clamp<int64_t>(done * 100 / total, 0, 100));
}

QString TOperationProgressBox::CountsText(const TOpProgress& p) {
  QString text = QStringLiteral("%1 of %2 entries").arg(FormatCount64(p.entriesDone), FormatCount64(p.entriesTotal));
  if (p.bytesTotal > 0) text += QStringLiteral(", %1 of %2").arg(FormatSize(p.bytesDone), FormatSize(p.bytesTotal));
  return text + QStringLiteral(" (%1%)").arg(Percent(p));
}

void TOperationProgressBox::ShowProgress(const TOpProgress& p) {
  const int64_t total = p.bytesTotal > 0 ? p.bytesTotal : p.entriesTotal;
  const int64_t done = p.bytesTotal > 0 ? p.bytesDone : p.entriesDone;
  bar_->setValue(total > 0 ? static_cast<int>(std::clamp<int64_t>(done * 1000 / total, 0, 1000)) : 0);
  txtCurrent_->setText(fontMetrics().elidedText(p.currentPath, Qt::ElideMiddle, txtCurrent_->width()));
  txtCounts_->setText(CountsText(p));
}

void TOperationProgressBox::reject() {
  // Cancel stops the operation between entries; the window closes when it has stopped.
  if (context_) {
    context_->Cancel();
    cmdCancel_->setEnabled(false);
    txtWhat_->setText(QStringLiteral("Cancelling..."));
    return;
  }
  QDialog::reject();
}

TOpResult TOperationProgressBox::Run(const std::function<TOpResult(TOpContext&)>& operation) {
  TOpContext context;
  context_ = &context;
  sinceStart_.start();
  sincePaint_.start();
  context.ask = [this](const TOpQuestion& q) { return ask_ ? ask_(q) : TOpAnswer::No; };
  context.onProgress = [this](const TOpProgress& p) {
    // Repainting per entry would cost more than small entries take: about 30 times a second.
    if (sincePaint_.elapsed() < 33) return;
    sincePaint_.restart();
    if (!isVisible() && sinceStart_.elapsed() >= showDelay_) show();
    if (isVisible()) ShowProgress(p);
    QApplication::processEvents();
  };
  if (showDelay_ == 0) show();
  const TOpResult result = operation(context);
  context_ = nullptr;
  hide();
  return result;
}
