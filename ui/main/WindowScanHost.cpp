#include "ui/main/WindowScanHost.h"

#include "ui/main/CurrentFolder.h"
#include "ui/main/WindowServices.h"

#include <QTimer>

TWindowScanHost::TWindowScanHost(IWindowServices& window, TCurrentFolder& current, std::function<void()> refreshPage)
    : window_(window), current_(current), refreshPage_(std::move(refreshPage)) {}

void TWindowScanHost::SetStatusText(const QString& text) {
  text_ = text;
  if (pending_) return;
  pending_ = true;
  QTimer::singleShot(0, this, [this] { Flush(); });
}

void TWindowScanHost::Flush() {
  if (!pending_) return;
  pending_ = false;
  window_.SetStatusText(0, text_);
}

void TWindowScanHost::FolderCompleted(TTreeNode* node) {
  if (node && node == current_.Node() && refreshPage_) refreshPage_();
}
