// The help topics compiled into the program, the map from context numbers to topics, and the
// help window.

#include "shell/Help.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTextBrowser>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TRequest {
  int Context;
  QString Topic;
};

// Catches the help requests instead of opening the window.
struct THelpSinkScope {
  std::vector<TRequest> Requests;
  THelpSinkScope() {
    SetHelpSink([this](int context, const QString& topic) { Requests.push_back({context, topic}); });
  }
  ~THelpSinkScope() { SetHelpSink(nullptr); }
};

QString ReadTopic(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

// The topics a page links to, as resource paths.
QStringList LinkedTopics(const QString& html) {
  QStringList topics;
  static const QRegularExpression link(QStringLiteral("href=\"([^\"#:]+)\""));
  for (auto it = link.globalMatch(html); it.hasNext();) topics << QStringLiteral(":/help/") + it.next().captured(1);
  return topics;
}

}  // namespace

TEST(HelpWidget, EveryContextOfTheProgramHasATopicOfItsOwn) {
  // The contexts the windows and menus of the program ask for.
  const int contexts[] = {HelpContext::MoveFolder,        HelpContext::ArchiveFolder, HelpContext::RestoreFolder,
                          HelpContext::ReduceWasteFolder, HelpContext::ReduceWasteDrive, HelpContext::FileMenu,
                          HelpContext::ViewMenu,          HelpContext::ToolsMenu,     HelpContext::HelpMenu,
                          HelpContext::OptionsDialog,     HelpContext::Support};
  const int numbers[] = {2100, 2120, 2130, 3010, 3020, 4001, 4010, 4020, 4030, 4040, 5030};
  ASSERT_EQ(std::size(contexts), std::size(numbers));
  QSet<QString> seen;
  THelpSinkScope sink;
  for (size_t i = 0; i < std::size(contexts); ++i) {
    SCOPED_TRACE(numbers[i]);
    EXPECT_EQ(contexts[i], numbers[i]);
    const QString topic = HelpTopicFor(numbers[i]);
    EXPECT_NE(topic, HelpContentsTopic());
    EXPECT_FALSE(seen.contains(topic)) << topic.toStdString() << " serves two contexts";
    seen.insert(topic);
    const QString html = ReadTopic(topic);
    ASSERT_FALSE(html.isEmpty()) << topic.toStdString() << " is missing from the resources";
    EXPECT_TRUE(html.contains(QStringLiteral("<title>"))) << topic.toStdString();
    EXPECT_TRUE(HelpContextsWithTopics().contains(numbers[i]));

    ShowHelpContext(nullptr, numbers[i]);
    ASSERT_FALSE(sink.Requests.empty());
    EXPECT_EQ(sink.Requests.back().Context, numbers[i]);
    EXPECT_EQ(sink.Requests.back().Topic, topic);
  }
  EXPECT_EQ(HelpContextsWithTopics().size(), qsizetype(std::size(numbers)));
}

TEST(HelpWidget, ContentsAndUnknownContextsGiveTheContentsPage) {
  THelpSinkScope sink;
  ShowHelpContents(nullptr);
  ASSERT_EQ(sink.Requests.size(), 1u);
  EXPECT_EQ(sink.Requests[0].Context, HelpContext::Contents);
  EXPECT_EQ(sink.Requests[0].Topic, HelpContentsTopic());
  EXPECT_FALSE(ReadTopic(HelpContentsTopic()).isEmpty());

  for (int context : {0, 1, 2000, 2101, 4000, 9999, -4001}) {
    SCOPED_TRACE(context);
    EXPECT_EQ(HelpTopicFor(context), HelpContentsTopic());
    ShowHelpContext(nullptr, context);
    EXPECT_EQ(sink.Requests.back().Topic, HelpContentsTopic());
  }
}

TEST(HelpWidget, EveryLinkBetweenTopicsLeadsToATopic) {
  // The contents page reaches every topic, and no page links to a topic that is not there.
  QStringList pages = {HelpContentsTopic()};
  for (int context : HelpContextsWithTopics()) pages << HelpTopicFor(context);
  const QStringList fromContents = LinkedTopics(ReadTopic(HelpContentsTopic()));
  for (const QString& page : pages) {
    SCOPED_TRACE(page.toStdString());
    if (page != HelpContentsTopic()) {
      EXPECT_TRUE(fromContents.contains(page)) << "not listed on the contents page";
    }
    for (const QString& target : LinkedTopics(ReadTopic(page))) EXPECT_TRUE(QFile::exists(target)) << target.toStdString();
  }
}

TEST(HelpWidget, TheWindowShowsTheTopicAskedForAndFallsBackToTheContents) {
  QWidget owner;
  ShowHelpContext(&owner, HelpContext::ArchiveFolder);
  QApplication::processEvents();
  THelpWindow* window = owner.findChild<THelpWindow*>();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::Tool));
  EXPECT_EQ(window->Browser()->source(), QUrl(QStringLiteral("qrc:/help/archive_folder.html")));
  EXPECT_EQ(window->Browser()->documentTitle(), QStringLiteral("Archiving a folder"));

  // One window for the program: the next request reuses it.
  ShowHelpContents(&owner);
  EXPECT_EQ(owner.findChildren<THelpWindow*>().size(), 1);
  EXPECT_EQ(window->Browser()->source(), QUrl(QStringLiteral("qrc") + HelpContentsTopic()));
  EXPECT_EQ(window->Browser()->documentTitle(), QStringLiteral("Korvane Help"));

  window->ShowTopic(QStringLiteral(":/help/no_such_topic.html"));
  EXPECT_EQ(window->Browser()->source(), QUrl(QStringLiteral("qrc") + HelpContentsTopic()));
  window->close();
}
