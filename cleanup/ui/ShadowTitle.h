#pragma once
// A page title drawn twice: a grey copy one pixel down and to the right under the text itself,
// so that it stands out from the page like a raised caption.

#include <QString>
#include <QWidget>

class TShadowTitle : public QWidget {
  Q_OBJECT
public:
  explicit TShadowTitle(const QString& text, QWidget* parent = nullptr);

  QString Text() const { return text_; }
  void SetText(const QString& text);

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QString text_;
};
