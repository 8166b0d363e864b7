#include "ui/controls/CenterOverForm.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStyle>
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

QSize FitOnScreen(const QSize& size, const QSize& minimum, const QSize& frameExtra, const QSize& available) {
  const QSize room = (available - frameExtra).expandedTo(minimum);
  return size.boundedTo(room);
}

void CenterOverForm(QWidget* owner, QWidget* dialog) {
  if (!owner || !dialog) return;
  QWidget* window = owner->window();
  QScreen* screen = window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect avail = screen->availableGeometry();
  // A dialog laid out but never given a size opens at its size hint: take it now, so that the
  // placement below works with the size it will show at.
  // (Not adjustSize: that stops a window at two thirds of the screen, where the fitting below
  // lets it have the whole available area.)
  if (!dialog->isVisible() && !dialog->testAttribute(Qt::WA_Resized) && dialog->layout())
    dialog->resize(dialog->sizeHint().expandedTo(dialog->minimumSizeHint()));
  // The frame of a window not shown yet is unknown: leave room for a title bar and borders.
  QSize frameExtra = dialog->frameGeometry().size() - dialog->size();
  if (!dialog->isVisible() && frameExtra.isNull())
    frameExtra = QSize(8, dialog->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, dialog) + 8);
  const QSize fitted = FitOnScreen(dialog->size(), dialog->minimumSize().expandedTo(dialog->minimumSizeHint()),
                                   frameExtra, avail.size());
  if (fitted != dialog->size()) dialog->resize(fitted);
  const QRect ownerFrame = window->frameGeometry();
  QPoint topLeft = CenterOverForm(ownerFrame, dialog->frameGeometry().size(), avail);
  // With the frame still to come, the bottom and right edges are kept on the area with it.
  const QSize whole = dialog->size() + frameExtra;
  topLeft.setX(std::max(avail.left(), std::min(topLeft.x(), avail.left() + avail.width() - whole.width())));
  topLeft.setY(std::max(avail.top(), std::min(topLeft.y(), avail.top() + avail.height() - whole.height())));
  dialog->move(topLeft);
}
