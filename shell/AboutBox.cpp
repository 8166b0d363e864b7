// The version label, the About box and the licence window.

#include "shell/AboutBox.h"

#include "shell/Help.h"

#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

// The licence lives in a static library: registering it by hand keeps the linker from dropping
// the resource data. Q_INIT_RESOURCE must be used outside any namespace.
static void InitLicenseResource() {
  static const bool done = [] {
    Q_INIT_RESOURCE(korvane_license);
    return true;
  }();
  (void)done;
}

namespace {

constexpr int SupportHelpContext = HelpContext::Support;

const char NoticeText[] =
    "This program is protected by copyright law. It comes with no warranty of any kind; see the "
    "license agreement for the terms under which you may use, copy and distribute it.\n\n"
    "Press F2 for the credits.";

const char CreditsText[] =
    "Korvane 3.0.1\n\n"
    "Design and programming: the Korvane team at Morvell.\n\n"
    "Built with Qt, libarchive and GoogleTest.\n\n"
    "Thanks to everyone who sent reports and ideas.";

}  // namespace

// ---------------------------------------------------------------------------------------------

TVersionLabel::TVersionLabel(QWidget* parent) : QLabel(parent) {
  setWordWrap(false);
  Refresh();
}

void TVersionLabel::SetVersionResource(TVersionResources resource) {
  text_.SetVersionResource(resource);
  Refresh();
}

void TVersionLabel::SetVersionResourceKey(const QString& key) {
  text_.SetVersionResourceKey(key);
  Refresh();
}

void TVersionLabel::SetInfoPrefix(const QString& prefix) {
  if (prefix == text_.InfoPrefix()) return;
  text_.SetInfoPrefix(prefix);
  Refresh();
}

void TVersionLabel::SetShowInfoPrefix(bool show) {
  if (show == text_.ShowInfoPrefix()) return;
  text_.SetShowInfoPrefix(show);
  Refresh();
}

void TVersionLabel::SetLangCharset(const QString& langCharset) {
  if (langCharset == text_.LangCharset()) return;
  text_.SetLangCharset(langCharset);
  Refresh();
}

void TVersionLabel::Refresh() {
  setText(text_.Text());
  adjustSize();
}

// ---------------------------------------------------------------------------------------------

QString LicenseText() {
  InitLicenseResource();
  QFile file(QStringLiteral(":/license.txt"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

TLicenseWindow::TLicenseWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("LicenseWindow"));
  setWindowTitle(QStringLiteral("Korvane License Agreement"));
  auto* column = new QVBoxLayout(this);
  txtLicense = new QPlainTextEdit(this);
  txtLicense->setObjectName(QStringLiteral("txtLicense"));
  txtLicense->setReadOnly(true);
  txtLicense->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  txtLicense->setPlainText(LicenseText());
  txtLicense->setLineWrapMode(QPlainTextEdit::NoWrap);
  column->addWidget(txtLicense, 1);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(close);
  column->addLayout(row);
  // Wide enough for the longest line, with room for the frame and the scroll bar.
  const QFontMetrics metrics(txtLicense->font());
  int widest = 0;
  for (const QString& line : txtLicense->toPlainText().split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  resize(widest + 80, 460);
}

// ---------------------------------------------------------------------------------------------

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About Korvane"));
  setFixedSize(468, 310);
  auto* column = new QVBoxLayout(this);
  Notebook = new QStackedWidget(this);
  column->addWidget(Notebook);

  // Page 1: product, build, notices, buttons.
  auto* page1 = new QWidget(Notebook);
  auto* p1 = new QVBoxLayout(page1);
  txtProduct = new QLabel(QStringLiteral("Korvane ") + ProgramVersion(), page1);
  txtProduct->setObjectName(QStringLiteral("txtProduct"));
  QFont productFont(QStringLiteral("Arial"));
  productFont.setPixelSize(27);
  productFont.setBold(true);
  txtProduct->setFont(productFont);
  txtProduct->setCursor(Qt::PointingHandCursor);
  // There is no web page to visit: the product name opens the help the program carries.
  txtProduct->setToolTip(QStringLiteral("Open the Korvane help"));
  txtProduct->installEventFilter(this);
  p1->addWidget(txtProduct);
  VersionLabel1 = new TVersionLabel(page1);
  VersionLabel1->setObjectName(QStringLiteral("VersionLabel1"));
  VersionLabel1->SetVersionResource(vrFileVersion);
  VersionLabel1->SetInfoPrefix(QStringLiteral("Build "));
  VersionLabel1->SetShowInfoPrefix(true);
  VersionLabel1->SetLangCharset(QStringLiteral("-1"));
  p1->addWidget(VersionLabel1, 0, Qt::AlignRight);
  auto* notice = new QLabel(QString::fromUtf8(NoticeText), page1);
  notice->setWordWrap(true);
  p1->addWidget(notice, 1);
  auto* buttons = new QHBoxLayout;
  cmdLicense = new QPushButton(QStringLiteral("View License Agreement"), page1);
  cmdSupport = new QPushButton(QStringLiteral("&Support"), page1);
  cmdOK = new QPushButton(QStringLiteral("OK"), page1);
  cmdOK->setDefault(true);
  buttons->addWidget(cmdLicense);
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdSupport);
  p1->addLayout(buttons);
  Notebook->addWidget(page1);

  // Page 2: credits.
  auto* page2 = new QWidget(Notebook);
  auto* p2 = new QVBoxLayout(page2);
  txtCredits = new QPlainTextEdit(QString::fromUtf8(CreditsText), page2);
  txtCredits->setReadOnly(true);
  p2->addWidget(txtCredits, 1);
  Button1 = new QPushButton(QStringLiteral("Close"), page2);
  p2->addWidget(Button1, 0, Qt::AlignRight);
  Notebook->addWidget(page2);

  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(); });
  connect(cmdSupport, &QPushButton::clicked, this, [this] { cmdSupportClick(); });
  connect(cmdLicense, &QPushButton::clicked, this, [this] { cmdLicenseClick(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  // Centred over the main window, kept inside its screen.
  if (owner) {
    const QRect frame = owner->window()->frameGeometry();
    QPoint corner = frame.center() - QPoint(width() / 2, height() / 2);
    if (const QScreen* screen = owner->screen()) {
      const QRect area = screen->availableGeometry();
      corner.setX(std::clamp(corner.x(), area.left(), std::max(area.left(), area.right() - width())));
      corner.setY(std::clamp(corner.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(corner);
  }
}

void TAboutBox::cmdSupportClick() { ShowHelpContext(this, SupportHelpContext); }

void TAboutBox::cmdLicenseClick() {
  if (!license_) license_ = new TLicenseWindow(this);
  license_->show();
  license_->raise();
  license_->activateWindow();
}

void TAboutBox::txtProductClick() { ShowHelpContents(this); }

void TAboutBox::Button1Click() { Notebook->setCurrentIndex(0); }

void TAboutBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F2) {
    Notebook->setCurrentIndex(1);
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtProduct && event->type() == QEvent::MouseButtonRelease) {
    txtProductClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
