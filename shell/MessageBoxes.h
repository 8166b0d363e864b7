#pragma once
// Every message box and modal question of the program goes through here, so that tests can
// answer them headless (SetMessageAnswerer) and see what was asked.

#include <QString>

#include <functional>

class QWidget;

enum class TMessageIcon { None, Information, Warning, Error, Question };

// The buttons of a box, and the answer: which one was pressed.
enum TMessageButton : int {
  mbOK = 0x01,
  mbCancel = 0x02,
  mbYes = 0x04,
  mbNo = 0x08,
  mbRetry = 0x10,
};

struct TMessageRequest {
  QWidget* Parent = nullptr;
  QString Text;
  QString Caption;
  TMessageIcon Icon = TMessageIcon::None;
  int Buttons = mbOK;        // OR of TMessageButton
  int DefaultButton = mbOK;  // what Enter presses
};

// Shows the box modally and returns the button pressed (Escape or closing the box gives Cancel
// when the box has one, else No when it has one, else OK).
int ShowMessage(const TMessageRequest& request);

// Tests: every box is passed to answerer instead of being shown; null restores real boxes.
void SetMessageAnswerer(std::function<int(const TMessageRequest&)> answerer);

// The program's error box: the error icon and an OK button, with the caption of kind (see
// ErrorCaption in scan/Format.h).
void ShowError(const QString& message, int kind, QWidget* parent = nullptr);
