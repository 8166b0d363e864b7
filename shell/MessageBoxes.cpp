#include "shell/MessageBoxes.h"

#include "scan/Format.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

std::function<int(const TMessageRequest&)>& Answerer() {
  static std::function<int(const TMessageRequest&)> answerer;
  return answerer;
}

QMessageBox::Icon ToQt(TMessageIcon icon) {
  switch (icon) {
    case TMessageIcon::Information: return QMessageBox::Information;
    case TMessageIcon::Warning: return QMessageBox::Warning;
    case TMessageIcon::Error: return QMessageBox::Critical;
    case TMessageIcon::Question: return QMessageBox::Question;
    case TMessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void SetMessageAnswerer(std::function<int(const TMessageRequest&)> answerer) { Answerer() = std::move(answerer); }

int ShowMessage(const TMessageRequest& request) {
  if (Answerer()) return Answerer()(request);
  struct TPair {
    TMessageButton ours;
    QMessageBox::StandardButton qt;
  };
  static const TPair pairs[] = {{mbOK, QMessageBox::Ok},     {mbCancel, QMessageBox::Cancel}, {mbYes, QMessageBox::Yes},
                                {mbNo, QMessageBox::No},     {mbRetry, QMessageBox::Retry}};
  QMessageBox box(ToQt(request.Icon), request.Caption, request.Text, QMessageBox::NoButton, request.Parent);
  for (const TPair& p : pairs) {
    if (!(request.Buttons & p.ours)) continue;
    QPushButton* button = box.addButton(p.qt);
    if (request.DefaultButton == p.ours) box.setDefaultButton(button);
  }
  const int escape = (request.Buttons & mbCancel) ? mbCancel : (request.Buttons & mbNo) ? mbNo : mbOK;
  for (const TPair& p : pairs)
    if (p.ours == escape) box.setEscapeButton(box.button(p.qt));
  box.exec();
  for (const TPair& p : pairs)
    if (box.clickedButton() == box.button(p.qt)) return p.ours;
  return escape;
}

void ShowError(const QString& message, int kind, QWidget* parent) {
  TMessageRequest request;
  request.Parent = parent;
  request.Text = message;
  request.Caption = ErrorCaption(kind);
  request.Icon = TMessageIcon::Error;
  ShowMessage(request);
}
