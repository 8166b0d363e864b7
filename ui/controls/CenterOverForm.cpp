#include "ui/controls/CenterOverForm.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QPoint CenterOverForm(const QRect& owner, const QSize& dialog, const QSize& screenSize) {
  // Integer division truncates toward zero, as the halves must.
  int left = owner.left() + (std::min(owner.width(), screenSize.width() - owner.left()) - dialog.width()) / 2;
  int top = owner.top() + (std::min(owner.height(), screenSize.height() - owner.top()) - dialog.height()) / 2;
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  // These two win: a dialog larger than the screen ends up with a negative position.
  if (left + dialog.width() > screenSize.width()) left = screenSize.width() - dialog.width();
  if (top + dialog.height() > screenSize.height()) top = screenSize.height() - dialog.height();
  return {left, top};
}

QPoint CenterOverForm(const QRect& owner, const QSize& dialog, const QRect& screen) {
  const QPoint origin = screen.topLeft();
  return CenterOverForm(owner.translated(-origin), dialog, screen.size()) + origin;
}

void CenterOverForm(QWidget* owner, QWidget* dialog) {
  if (!owner || !dialog) return;
  QWidget* window = owner->window();
  QScreen* screen = window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect ownerFrame = window->frameGeometry();
  const QSize dialogFrame = dialog->frameGeometry().size();
  dialog->move(CenterOverForm(ownerFrame, dialogFrame, screen->availableGeometry()));
}
