#include "ui/controls/SensitivePanel.h"

#include <QEnterEvent>

TSensitivePanel::TSensitivePanel(QWidget* parent) : QFrame(parent) {}

void TSensitivePanel::enterEvent(QEnterEvent* event) {
  QFrame::enterEvent(event);
  emit SensitiveActivate(this, event);
}

void TSensitivePanel::leaveEvent(QEvent* event) {
  QFrame::leaveEvent(event);
  emit SensitiveDeactivate(this, event);
}
