#include "cleanup/ui/ZipPasswordBox.h"

#include "scan/Format.h"
#include "shell/MessageBoxes.h"
#include "shell/ModalDialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The archive (or the folder a new one will hold) on a line of its own, then what to do.
QString PromptText(TZipPasswordPurpose purpose, const QString& archive) {
  QString text;
  switch (purpose) {
    case TZipPasswordPurpose::Encrypt:
      text = QStringLiteral("The archive of this folder will be password protected. Type the password, then type it "
                            "again to confirm it. Without it, nobody (you included) can restore the folder.");
      break;
    case TZipPasswordPurpose::Decrypt:
      text = QStringLiteral("This archive is password protected. Type its password:");
      break;
    case TZipPasswordPurpose::Retry:
      text = QStringLiteral("The password is not the right one for this archive. Type its password again:");
      break;
  }
  return archive.isEmpty() ? text : archive + QStringLiteral("\n\n") + text;
}

}  // namespace

TZipPasswordBox::TZipPasswordBox(TZipPasswordPurpose purpose, const QString& archive, QWidget* parent)
    : QDialog(parent), purpose_(purpose) {
  setWindowTitle(QStringLiteral("Archive Password"));
  auto* layout = new QVBoxLayout(this);
  txtPrompt = new QLabel(PromptText(purpose, archive), this);
  txtPrompt->setWordWrap(true);
  txtPrompt->setTextFormat(Qt::PlainText);
  txtPrompt->setMinimumWidth(340);
  layout->addWidget(txtPrompt);

  auto* form = new QFormLayout;
  ediPassword = new QLineEdit(this);
  ediPassword->setEchoMode(QLineEdit::Password);
  form->addRow(QStringLiteral("&Password:"), ediPassword);
  ediConfirm = new QLineEdit(this);
  ediConfirm->setEchoMode(QLineEdit::Password);
  txtConfirm = new QLabel(QStringLiteral("&Confirm password:"), this);
  txtConfirm->setBuddy(ediConfirm);
  form->addRow(txtConfirm, ediConfirm);
  layout->addLayout(form);
  if (!Confirming()) {
    txtConfirm->hide();
    ediConfirm->hide();
  }

  auto* buttons = new QDialogButtonBox(this);
  cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  cmdOK->setDefault(true);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &TZipPasswordBox::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TZipPasswordBox::reject);
  ediPassword->setFocus();
}

QByteArray TZipPasswordBox::Password() const { return ediPassword->text().toUtf8(); }

void TZipPasswordBox::accept() {
  auto refuse = [this](const QString& text) {
    TMessageRequest request;
    request.Parent = this;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Error;
    request.Text = text;
    ShowMessage(request);
  };
  if (ediPassword->text().isEmpty()) {
    refuse(QStringLiteral("Please type a password."));
    ediPassword->setFocus();
    return;
  }
  if (Confirming() && ediConfirm->text() != ediPassword->text()) {
    refuse(QStringLiteral("The two passwords you typed are not the same. Please type the password twice again."));
    ediPassword->clear();
    ediConfirm->clear();
    ediPassword->setFocus();
    return;
  }
  QDialog::accept();
}

std::optional<QByteArray> AskZipPassword(QWidget* parent, TZipPasswordPurpose purpose, const QString& archive) {
  TZipPasswordBox box(purpose, archive, parent);
  const int result = RunModalDialog(box);
  if (result != QDialog::Accepted) return std::nullopt;
  return box.Password();
}
