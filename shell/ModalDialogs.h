#pragma once
// Every modal dialog of the program is run through here, so that tests can answer them headless:
// the runner gets the dialog, fills it as a user would and returns its result.

#include <functional>

class QDialog;

// The runner returns the dialog's result (QDialog::Accepted or Rejected); none runs exec().
using TModalRunner = std::function<int(QDialog&)>;
void SetModalDialogRunner(TModalRunner runner);
int RunModalDialog(QDialog& dialog);
