#include "cleanup/ui/OperationProgressBox.h"

#include "scan/Format.h"

#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

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
  if (runner_.Running()) {
    runner_.Cancel();
    cmdCancel_->setEnabled(false);
    txtWhat_->setText(QStringLiteral("Cancelling..."));
    return;
  }
  QDialog::reject();
}

TOpResult TOperationProgressBox::Run(const std::function<TOpResult(TOpContext&)>& operation) {
  TOpResult result;
  runner_.SetAsk([this](const TOpQuestion& q) { return ask_ ? ask_(q) : TOpAnswer::No; });
  const QMetaObject::Connection progress =
      connect(&runner_, &TOperationRunner::Progress, this, [this](const TOpProgress& p) { ShowProgress(p); });
  const QMetaObject::Connection finished =
      connect(&runner_, &TOperationRunner::Finished, this, [this] { QDialog::done(QDialog::Accepted); });
  runner_.Start([&result, &operation](TOpContext& context) { result = operation(context); });
  // The work runs on a thread of its own; the window shows (modal, with its own event loop) only
  // when it takes longer than a moment or asks something first.
  if (!runner_.WaitForEnd(showDelay_)) exec();
  disconnect(progress);
  disconnect(finished);
  hide();
  if (runner_.Failed()) throw std::runtime_error(runner_.FailureText().toStdString());
  return result;
}
