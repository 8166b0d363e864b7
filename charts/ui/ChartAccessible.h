#pragma once
// What a drawn chart tells an accessibility client: a widget that draws items of its own (pie
// sections, a gauge's share) lists them here, each with a name and a figure, and says which one
// has the keyboard focus. InstallChartAccessibility makes every such widget answer through an
// accessible interface of its own, whose children are the items.

#include <QRect>
#include <QString>

class QWidget;

class IAccessibleItems {
public:
  virtual ~IAccessibleItems() = default;
  virtual int AccessibleItemCount() const = 0;
  virtual QString AccessibleItemName(int item) const = 0;
  virtual QString AccessibleItemFigure(int item) const = 0;
  // In the widget's coordinates.
  virtual QRect AccessibleItemRect(int item) const = 0;
  // The item with the keyboard focus, -1 for none.
  virtual int AccessibleFocusItem() const = 0;
  // The figure of the whole chart (a gauge's percentage); empty when the items say it all.
  virtual QString AccessibleChartFigure() const { return {}; }
};

// Registers the factory once; every widget that is also an IAccessibleItems gets its interface.
void InstallChartAccessibility();

// Tells accessibility clients that the focus moved to an item of the widget (or that the chart's
// figure changed, for item -1).
void NotifyAccessibleItemFocus(QWidget* widget, int item);
void NotifyAccessibleFigureChange(QWidget* widget);
