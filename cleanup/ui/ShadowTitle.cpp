#include "cleanup/ui/ShadowTitle.h"

#include <QPainter>

TShadowTitle::TShadowTitle(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
  QFont f = font();
  f.setBold(true);
  f.setPointSizeF(f.pointSizeF() * 1.35);
  setFont(f);
}

void TShadowTitle::SetText(const QString& text) {
  text_ = text;
  update();
}

QSize TShadowTitle::sizeHint() const {
  const QFontMetrics m(font());
  return {m.horizontalAdvance(text_) + 2, m.height() + 2};
}

void TShadowTitle::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = rect().adjusted(0, 0, -1, -1);
  const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawText(area.translated(1, 1), flags, text_);
  painter.setPen(palette().color(QPalette::Highlight));
  painter.drawText(area, flags, text_);
}
