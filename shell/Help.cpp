// The help window and the map from help contexts to the topics compiled into the program.

#include "shell/Help.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPointer>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

// The topics live in a static library: registering them by hand keeps the linker from dropping
// the resource data. Q_INIT_RESOURCE must be used outside any namespace.
static void InitHelpResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(korvane_help);
    return true;
  }();
  (void)done;
}

namespace {

struct TTopicEntry {
  int Context;
  const char* File;
};

constexpr TTopicEntry Topics[] = {
    {HelpContext::MoveFolder, "move_folder.html"},
    {HelpContext::ArchiveFolder, "archive_folder.html"},
    {HelpContext::RestoreFolder, "restore_folder.html"},
    {HelpContext::ReduceWasteFolder, "reduce_waste_folder.html"},
    {HelpContext::ReduceWasteDrive, "reduce_waste_drive.html"},
    {HelpContext::FileMenu, "menu_file.html"},
    {HelpContext::ViewMenu, "menu_view.html"},
    {HelpContext::ToolsMenu, "menu_tools.html"},
    {HelpContext::HelpMenu, "menu_help.html"},
    {HelpContext::OptionsDialog, "options.html"},
    {HelpContext::Support, "support.html"},
};

QString TopicPath(const char* file) { return QStringLiteral(":/help/") + QLatin1String(file); }

THelpSink& Sink() {
  static THelpSink sink;
  return sink;
}

QPointer<THelpWindow>& Window() {
  static QPointer<THelpWindow> window;
  return window;
}

void ShowHelp(QWidget* parent, int context) {
  const QString topic = context == HelpContext::Contents ? HelpContentsTopic() : HelpTopicFor(context);
  if (Sink()) {
    Sink()(context, topic);
    return;
  }
  QPointer<THelpWindow>& window = Window();
  if (!window) {
    window = new THelpWindow(parent ? parent->window() : nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
  }
  window->ShowTopic(topic);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace

QString HelpContentsTopic() {
  InitHelpResources();
  return TopicPath("contents.html");
}

QString HelpTopicFor(int context) {
  InitHelpResources();
  for (const TTopicEntry& entry : Topics)
    if (entry.Context == context) return TopicPath(entry.File);
  return HelpContentsTopic();
}

QList<int> HelpContextsWithTopics() {
  QList<int> contexts;
  for (const TTopicEntry& entry : Topics) contexts << entry.Context;
  return contexts;
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
  InitHelpResources();
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Korvane Help"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(4, 4, 4, 4);
  auto* buttons = new QHBoxLayout;
  contents_ = new QToolButton(this);
  contents_->setText(QStringLiteral("&Contents"));
  back_ = new QToolButton(this);
  back_->setText(QStringLiteral("&Back"));
  back_->setEnabled(false);
  buttons->addWidget(contents_);
  buttons->addWidget(back_);
  buttons->addStretch(1);
  column->addLayout(buttons);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("HelpBrowser"));
  // Links between topics stay in the window; addresses outside the program go to the desktop.
  browser_->setOpenExternalLinks(true);
  column->addWidget(browser_, 1);
  connect(contents_, &QToolButton::clicked, this, [this] { ShowTopic(HelpContentsTopic()); });
  connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
  resize(520, 440);
}

void THelpWindow::ShowTopic(const QString& topic) {
  const QString path = QFile::exists(topic) ? topic : HelpContentsTopic();
  browser_->setSource(QUrl(QStringLiteral("qrc") + path));
}

void ShowHelpContents(QWidget* parent) { ShowHelp(parent, HelpContext::Contents); }

void ShowHelpContext(QWidget* parent, int context) { ShowHelp(parent, context); }

void SetHelpSink(THelpSink sink) { Sink() = std::move(sink); }
