#pragma once
// The program's help: HTML topics compiled into the program and shown in a help window of ours.
// A help context number picks a topic; the contents page stands for any number without a topic.

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class QTextBrowser;
class QToolButton;

// Help contexts asked for by the program's windows and menus.
namespace HelpContext {
inline constexpr int Contents = 0;
inline constexpr int MoveFolder = 2100;
inline constexpr int ArchiveFolder = 2120;
inline constexpr int RestoreFolder = 2130;
inline constexpr int ReduceWasteFolder = 3010;
inline constexpr int ReduceWasteDrive = 3020;
inline constexpr int FileMenu = 4001;
inline constexpr int ViewMenu = 4010;
inline constexpr int ToolsMenu = 4020;
inline constexpr int HelpMenu = 4030;
inline constexpr int OptionsDialog = 4040;
inline constexpr int Support = 5030;
}  // namespace HelpContext

// The name of the property that carries a menu's or an action's help context.
inline constexpr char HelpContextProperty[] = "helpContext";

// The resource path of the contents page ("qrc:" less), and of the topic of a context: the
// contents page for 0 and for any number without a topic of its own.
QString HelpContentsTopic();
QString HelpTopicFor(int context);
// Every context number that has a topic of its own.
QList<int> HelpContextsWithTopics();

// The help window: a tool window with a browser over the topics, a Contents and a Back button.
class THelpWindow : public QWidget {
  Q_OBJECT

public:
  explicit THelpWindow(QWidget* parent = nullptr);

  // Shows the topic at a resource path (as HelpTopicFor gives it).
  void ShowTopic(const QString& topic);
  QTextBrowser* Browser() const { return browser_; }

private:
  QTextBrowser* browser_ = nullptr;
  QToolButton* contents_ = nullptr;
  QToolButton* back_ = nullptr;
};

// Opens the help window (one for the program, created on first use) on the contents page or on
// the topic of a context, and brings it to the front.
void ShowHelpContents(QWidget* parent);
void ShowHelpContext(QWidget* parent, int context);

// Test seam: while a sink is set, help requests go to it (the context asked for, Contents for
// the contents page, and the topic it resolves to) and no window opens.
using THelpSink = std::function<void(int context, const QString& topic)>;
void SetHelpSink(THelpSink sink);
