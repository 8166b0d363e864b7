#include "ui/main/CleanUpPage.h"

#include "ui/controls/SensitivePanel.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/TrashPanel.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const char* const HintTexts[5] = {
    "Although the main purpose of Korvane is to help you quickly find out how your disk space is being used, the "
    "program also offers you a few ways to free up some disk space. But use them with care.",
    "This option can help you reduce the space wasted by the folder due to the drive cluster size. The folder and all "
    "its subfolders and files are moved to another location (such as on a drive with a smaller cluster size).",
    "This option can help you gain disk space by compressing and moving the folder to a ZIP archive. Korvane may "
    "later restore the folder from the ZIP archive to the original location.",
    "All files are sent to the Recycle Bin. Files may be recovered and the disk space is not freed up until the "
    "Recycle Bin is emptied.",
    "This option can help you immediately free up disk space, but it is very dangerous! All the files and "
    "sub-folders of the current folder are deleted and cannot be recovered.",
};

}  // namespace

QString TCleanUpPage::HintText(int index) {
  return index >= 0 && index < 5 ? QString::fromLatin1(HintTexts[index]) : QString();
}

TCleanUpPage::TCleanUpPage(IPageHost& host, QWidget* page, std::function<void(int)> run)
    : QWidget(page), host_(host), run_(std::move(run)) {
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->setContentsMargins(0, 0, 0, 0);
  pageLayout->addWidget(this);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(8, 8, 8, 8);
  auto* caption = new QLabel(QStringLiteral("Folder"), this);
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);
  column->addWidget(caption);
  txtWebCleanUpPath = new QLabel(this);
  txtWebCleanUpPath->setObjectName(QStringLiteral("txtWebCleanUpPath"));
  txtWebCleanUpPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  txtWebCleanUpPath->setWordWrap(true);
  column->addWidget(txtWebCleanUpPath);

  struct TSpec {
    const char* Name;
    const char* Label;
    const char* Shortcut;
    int Command;
    QStyle::StandardPixmap Icon;
  };
  const TSpec specs[4] = {
      {"panCleanMenuCompress", "Archive Folder", "Ctrl+R  ", ccArchive, QStyle::SP_DriveFDIcon},
      {"panCleanMenuMove", "Move Folder", "Ctrl+M  ", ccMove, QStyle::SP_DirLinkIcon},
      {"panCleanMenuRecycle", "Send To Recycle Bin", "Ctrl+B  ", ccRecycle, QStyle::SP_TrashIcon},
      {"panCleanMenuDelete", "Delete Folder", "Ctrl+D  ", ccDelete, QStyle::SP_DialogDiscardButton},
  };
  auto* panCleanMenu = new QWidget(this);
  panCleanMenu->setObjectName(QStringLiteral("panCleanMenu"));
  auto* stack = new QVBoxLayout(panCleanMenu);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(2);
  for (size_t i = 0; i < 4; ++i) {
    TPanel& p = panels_[i];
    p.Command = specs[i].Command;
    p.Panel = new TSensitivePanel(panCleanMenu);
    p.Panel->setObjectName(QLatin1String(specs[i].Name));
    p.Panel->setAutoFillBackground(true);
    p.Panel->setFrameShape(QFrame::Panel);
    p.Panel->setFrameShadow(QFrame::Raised);
    p.Panel->setCursor(Qt::PointingHandCursor);
    auto* row = new QHBoxLayout(p.Panel);
    row->setContentsMargins(6, 4, 6, 4);
    auto* icon = new QLabel(p.Panel);
    icon->setPixmap(style()->standardIcon(specs[i].Icon).pixmap(32, 32));
    icon->setFixedSize(32, 32);
    row->addWidget(icon);
    p.Label = new QLabel(QLatin1String(specs[i].Label), p.Panel);
    p.Label->setFont(bold);
    row->addWidget(p.Label, 1);
    p.Shortcut = new QLabel(QLatin1String(specs[i].Shortcut), p.Panel);
    p.Shortcut->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(p.Shortcut);
    for (QWidget* w : {static_cast<QWidget*>(p.Panel), static_cast<QWidget*>(icon), static_cast<QWidget*>(p.Label),
                       static_cast<QWidget*>(p.Shortcut)})
      w->installEventFilter(this);
    connect(p.Panel, &TSensitivePanel::SensitiveActivate, this,
            [this](TSensitivePanel* panel, QEvent*) { panCleanMenuMoveSensitiveActivate(panel); });
    connect(p.Panel, &TSensitivePanel::SensitiveDeactivate, this,
            [this](TSensitivePanel* panel, QEvent*) { panCleanMenuMoveSensitiveDeactivate(panel); });
    SetPanelColors(p, false);
    stack->addWidget(p.Panel);
  }
  panCleanMenuCompress = panels_[0].Panel;
  panCleanMenuMove = panels_[1].Panel;
  panCleanMenuRecycle = panels_[2].Panel;
  panCleanMenuDelete = panels_[3].Panel;
  column->addWidget(panCleanMenu);
  column->addWidget(new TTrashPanel(host_, this));

  ediCleanMenuHint = new QPlainTextEdit(this);
  ediCleanMenuHint->setObjectName(QStringLiteral("ediCleanMenuHint"));
  ediCleanMenuHint->setReadOnly(true);
  ediCleanMenuHint->setFrameShape(QFrame::NoFrame);
  ediCleanMenuHint->setFocusPolicy(Qt::NoFocus);
  ediCleanMenuHint->viewport()->setAutoFillBackground(false);
  ediCleanMenuHint->setPlainText(HintText(0));
  column->addWidget(ediCleanMenuHint, 1);
}

void TCleanUpPage::FillFor(TTreeNode*) {
  const QString& path = host_.Current().Path();
  if (path == shownPath_) return;
  shownPath_ = path;
  txtWebCleanUpPath->setText(path);
}

TCleanUpPage::TPanel* TCleanUpPage::Find(const TSensitivePanel* panel) {
  for (TPanel& p : panels_)
    if (p.Panel == panel) return &p;
  return nullptr;
}

void TCleanUpPage::SetPanelColors(TPanel& p, bool highlighted) {
  const QPalette system = QApplication::palette();
  QPalette pal = p.Panel->palette();
  pal.setColor(QPalette::Window, highlighted ? system.color(QPalette::Highlight) : system.color(QPalette::Button));
  p.Panel->setPalette(pal);
  const QColor text = highlighted              ? system.color(QPalette::HighlightedText)
                     : !p.Panel->isEnabled()  ? system.color(QPalette::Disabled, QPalette::WindowText)
                                              : system.color(QPalette::ButtonText);
  for (QLabel* l : {p.Label, p.Shortcut}) {
    QPalette lp = l->palette();
    lp.setColor(QPalette::WindowText, text);
    l->setPalette(lp);
  }
  p.Panel->setProperty("highlighted", highlighted);
}

void TCleanUpPage::panCleanMenuMoveSensitiveActivate(TSensitivePanel* panel) {
  TPanel* p = Find(panel);
  if (!p || p->Panel->property("highlighted").toBool() || !p->Panel->isEnabled()) return;
  SetPanelColors(*p, true);
  ediCleanMenuHint->setPlainText(HintText(p->Command));
}

void TCleanUpPage::panCleanMenuMoveSensitiveDeactivate(TSensitivePanel* panel) {
  TPanel* p = Find(panel);
  if (!p || !p->Panel->property("highlighted").toBool()) return;
  SetPanelColors(*p, false);
  ediCleanMenuHint->setPlainText(HintText(0));
}

void TCleanUpPage::SetCommandEnabled(int command, bool enabled) {
  for (TPanel& p : panels_)
    if (p.Command == command) {
      if (p.Panel->property("highlighted").toBool()) ediCleanMenuHint->setPlainText(HintText(0));
      p.Panel->setEnabled(enabled);
      SetPanelColors(p, false);
    }
}

bool TCleanUpPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    for (TPanel& p : panels_) {
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && (w == p.Panel || p.Panel->isAncestorOf(w)) && p.Panel->isEnabled()) {
        if (run_) run_(p.Command);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}
