#pragma once
// The password of an archive: asked twice (typed and confirmed) for a new encrypted archive, once
// for an archive being restored, again with a word of warning when the one given was wrong. The
// password reaches the engine as UTF-8 bytes.

#include "cleanup/ZipMaster.h"

#include <QByteArray>
#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class TZipPasswordBox : public QDialog {
  Q_OBJECT
public:
  // archive: the archive as the user reads it (for a new one, the folder it will hold).
  TZipPasswordBox(TZipPasswordPurpose purpose, const QString& archive, QWidget* parent = nullptr);

  // The password typed, once the box was closed with OK.
  QByteArray Password() const;
  bool Confirming() const { return purpose_ == TZipPasswordPurpose::Encrypt; }

  // OK: an empty password, or two that differ, are refused with a message and the box stays.
  void accept() override;

  QLabel* txtPrompt = nullptr;
  QLineEdit* ediPassword = nullptr;
  QLabel* txtConfirm = nullptr;
  QLineEdit* ediConfirm = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

private:
  TZipPasswordPurpose purpose_;
};

// Asks for the password in the box; none when the user cancelled.
std::optional<QByteArray> AskZipPassword(QWidget* parent, TZipPasswordPurpose purpose, const QString& archive);

