#include "charts/ui/ChartAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>

#include <map>

namespace {

const IAccessibleItems* ItemsOf(const QWidget* widget) { return dynamic_cast<const IAccessibleItems*>(widget); }

// One item of a chart. It holds no copy of the item: it asks the widget each time, so it never
// tells of a picture that is no longer shown.
class TChartItemAccessible : public QAccessibleInterface {
public:
  TChartItemAccessible(QWidget* widget, int item) : widget_(widget), item_(item) {}

  bool isValid() const override {
    const IAccessibleItems* items = widget_ ? ItemsOf(widget_) : nullptr;
    return items && item_ < items->AccessibleItemCount();
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return widget_ && widget_->window() ? widget_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    const IAccessibleItems* items = ItemsOf(widget_);
    switch (t) {
      case QAccessible::Name:
        return items->AccessibleItemName(item_);
      case QAccessible::Value:
        return items->AccessibleItemFigure(item_);
      case QAccessible::Description:
        return items->AccessibleItemName(item_) + QStringLiteral(": ") + items->AccessibleItemFigure(item_);
      default:
        return {};
    }
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect r = ItemsOf(widget_)->AccessibleItemRect(item_);
    return QRect(widget_->mapToGlobal(r.topLeft()), r.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.focusable = true;
    s.selectable = true;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    const bool focused = ItemsOf(widget_)->AccessibleFocusItem() == item_;
    s.focused = focused && widget_->hasFocus();
    s.selected = focused;
    return s;
  }

private:
  QPointer<QWidget> widget_;
  int item_;
};

class TChartAccessible : public QAccessibleWidget {
public:
  explicit TChartAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Chart) {}
  ~TChartAccessible() override {
    for (const auto& [item, id] : children_) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return Items() ? Items()->AccessibleItemCount() : 0; }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    auto found = children_.find(index);
    if (found != children_.end()) return QAccessible::accessibleInterface(found->second);
    auto* item = new TChartItemAccessible(widget(), index);
    children_[index] = QAccessible::registerAccessibleInterface(item);
    return item;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (const auto& [item, id] : children_)
      if (QAccessible::accessibleInterface(id) == child) return item;
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = widget()->mapFromGlobal(QPoint(x, y));
    for (int i = 0; i < childCount(); ++i)
      if (Items()->AccessibleItemRect(i).contains(local)) return child(i);
    return nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    const int item = Items() ? Items()->AccessibleFocusItem() : -1;
    return item >= 0 ? child(item) : nullptr;
  }
  QString text(QAccessible::Text t) const override {
    QString text = QAccessibleWidget::text(t);
    if (t == QAccessible::Value && Items()) {
      text = Items()->AccessibleChartFigure();
      const int item = Items()->AccessibleFocusItem();
      if (text.isEmpty() && item >= 0)
        text = Items()->AccessibleItemName(item) + QStringLiteral(": ") + Items()->AccessibleItemFigure(item);
    }
    return text;
  }

private:
  const IAccessibleItems* Items() const { return ItemsOf(widget()); }

  mutable std::map<int, QAccessible::Id> children_;
};

QAccessibleInterface* TChartItemAccessible::parent() const {
  return widget_ ? QAccessible::queryAccessibleInterface(widget_) : nullptr;
}

QAccessibleInterface* ChartFactory(const QString&, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (widget && ItemsOf(widget)) return new TChartAccessible(widget);
  return nullptr;
}

}  // namespace

void InstallChartAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(ChartFactory);
    return true;
  }();
  (void)installed;
}

void NotifyAccessibleItemFocus(QWidget* widget, int item) {
  if (!widget || !QAccessible::isActive()) return;
  if (item < 0) {
    NotifyAccessibleFigureChange(widget);
    return;
  }
  QAccessibleEvent focus(widget, QAccessible::Focus);
  focus.setChild(item);
  QAccessible::updateAccessibility(&focus);
}

void NotifyAccessibleFigureChange(QWidget* widget) {
  if (!widget || !QAccessible::isActive()) return;
  QAccessibleValueChangeEvent value(widget, QVariant());
  QAccessible::updateAccessibility(&value);
}
