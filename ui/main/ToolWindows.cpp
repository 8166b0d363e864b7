#include "ui/main/ToolWindows.h"

TSectionSizeBox::TSectionSizeBox(QWidget* owner) : QWidget(owner, Qt::Tool) {
  setObjectName(QStringLiteral("SectionSizeBox"));
  setWindowTitle(QStringLiteral("Wasted & Drive Info"));
  resize(200, 260);
}

TBarChartBox::TBarChartBox(QWidget* owner) : QWidget(owner, Qt::Tool) {
  setObjectName(QStringLiteral("BarChartBox"));
  setWindowTitle(QStringLiteral("Tree Bar Chart"));
  resize(400, 300);
}
