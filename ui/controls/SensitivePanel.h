#pragma once
// A panel that tells its owner when the mouse enters and leaves it (the command panels of the
// "Free Some Space" page light up under the mouse).

#include <QFrame>

class QEvent;

class TSensitivePanel : public QFrame {
  Q_OBJECT
public:
  explicit TSensitivePanel(QWidget* parent = nullptr);

signals:
  // Fired after the panel's normal enter and leave handling, with the panel and the event.
  void SensitiveActivate(TSensitivePanel* panel, QEvent* event);
  void SensitiveDeactivate(TSensitivePanel* panel, QEvent* event);

protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
};
