#pragma once
// The two tool windows created beside the main window at start: "Wasted & Drive Info" and the
// tree bar chart. Their contents come with the chart windows; here they are the empty frames, so
// that they exist from the start in the right order.

#include <QWidget>

class TSectionSizeBox : public QWidget {
  Q_OBJECT
public:
  explicit TSectionSizeBox(QWidget* owner);
};

class TBarChartBox : public QWidget {
  Q_OBJECT
public:
  explicit TBarChartBox(QWidget* owner);
};
