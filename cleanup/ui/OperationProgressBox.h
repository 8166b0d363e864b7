#pragma once
// The progress window of a free-space operation: what is being done, the entry at hand, a bar,
// entries and bytes done of the total with the percentage, and Cancel. The operation runs on a
// thread of its own (TOperationRunner); the window appears, modal, only when the work takes longer
// than a moment, and its Cancel stops the work between entries and between chunks of a copy.

#include "cleanup/FreeOperation.h"
#include "cleanup/OperationRunner.h"

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

class TOperationProgressBox : public QDialog {
  Q_OBJECT
public:
  TOperationProgressBox(const QString& caption, const QString& what, QWidget* parent = nullptr);

  // Runs the operation with a context whose progress this window shows and whose cancel flag its
  // Cancel button (or closing the window) sets; questions go to the callback given to SetAsk, on
  // this thread. Returns when the operation has ended; what it throws is passed on.
  TOpResult Run(const std::function<TOpResult(TOpContext&)>& operation);

  // How long the work must take before the window shows; 0 shows it at once.
  void SetShowDelay(int ms) { showDelay_ = ms; }
  // A question callback for the operation (for example a message box); the window stays up.
  void SetAsk(std::function<TOpAnswer(const TOpQuestion&)> ask) { ask_ = std::move(ask); }

  // The texts shown for a progress report (also used by tests).
  static QString CountsText(const TOpProgress& p);
  static int Percent(const TOpProgress& p);

  // Shows a progress report now.
  void ShowProgress(const TOpProgress& p);

  // Cancel: while an operation runs, stops it between entries instead of closing.
  void reject() override;

private:
  QLabel* txtWhat_ = nullptr;
  QLabel* txtCurrent_ = nullptr;
  QLabel* txtCounts_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  TOperationRunner runner_;
  std::function<TOpAnswer(const TOpQuestion&)> ask_;
  int showDelay_ = 400;
};
