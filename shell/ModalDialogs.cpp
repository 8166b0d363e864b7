#include "shell/ModalDialogs.h"

#include <QDialog>

namespace {

TModalRunner& ModalRunner() {
  static TModalRunner runner;
  return runner;
}

}  // namespace

void SetModalDialogRunner(TModalRunner runner) { ModalRunner() = std::move(runner); }

int RunModalDialog(QDialog& dialog) {
  if (ModalRunner()) return ModalRunner()(dialog);
  return dialog.exec();
}
