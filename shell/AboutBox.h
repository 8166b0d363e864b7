#pragma once
// The version label (one field of the program's version information, behind a prefix), the
// About box and the licence window.

#include "shell/core/VersionInfo.h"

#include <QDialog>
#include <QLabel>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTextBrowser;

class TVersionLabel : public QLabel {
  Q_OBJECT
public:
  explicit TVersionLabel(QWidget* parent = nullptr);

  TVersionResources VersionResource() const { return text_.VersionResource(); }
  QString VersionResourceKey() const { return text_.VersionResourceKey(); }
  QString InfoPrefix() const { return text_.InfoPrefix(); }
  bool ShowInfoPrefix() const { return text_.ShowInfoPrefix(); }
  QString LangCharset() const { return text_.LangCharset(); }

  void SetVersionResource(TVersionResources resource);
  void SetVersionResourceKey(const QString& key);
  void SetInfoPrefix(const QString& prefix);
  void SetShowInfoPrefix(bool show);
  void SetLangCharset(const QString& langCharset);
  // Reads the field again and shows it.
  void Refresh();

private:
  TVersionLabelText text_;
};

// The licence compiled into the program.
QString LicenseText();

// A read-only window with the licence text.
class TLicenseWindow : public QDialog {
  Q_OBJECT
public:
  explicit TLicenseWindow(QWidget* parent = nullptr);
  QPlainTextEdit* txtLicense = nullptr;
};

class TAboutBox : public QDialog {
  Q_OBJECT
public:
  explicit TAboutBox(QWidget* owner);

  QStackedWidget* Notebook = nullptr;
  QLabel* txtProduct = nullptr;
  TVersionLabel* VersionLabel1 = nullptr;
  QPushButton* cmdLicense = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdSupport = nullptr;
  QPlainTextEdit* txtCredits = nullptr;
  QPushButton* Button1 = nullptr;

  void cmdOKClick() { accept(); }
  void cmdSupportClick();
  // Shows the licence in a window of ours (one, kept until the box closes).
  void cmdLicenseClick();
  void txtProductClick();
  void Button1Click();
  TLicenseWindow* LicenseWindow() const { return license_; }

protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  TLicenseWindow* license_ = nullptr;
};
