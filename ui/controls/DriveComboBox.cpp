#include "ui/controls/DriveComboBox.h"

#include "platform/DriveTable.h"
#include "scan/VolumeInfo.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QFileIconProvider>
#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>

#include <algorithm>

namespace {

QIcon DriveIcon(QChar letter) {
  static QFileIconProvider provider;
  const QIcon fallback = provider.icon(QFileIconProvider::Drive);
  switch (DriveTypeOf(letter)) {
    case TDriveType::Remote: return QIcon::fromTheme(QStringLiteral("folder-remote"), fallback);
    case TDriveType::Removable: return QIcon::fromTheme(QStringLiteral("drive-removable-media"), fallback);
    case TDriveType::CdRom: return QIcon::fromTheme(QStringLiteral("drive-optical"), fallback);
    default: return QIcon::fromTheme(QStringLiteral("drive-harddisk"), fallback);
  }
}

// Draws an item as the drive box wants it: the icon 2 pixels from the left and centred
// vertically, then the text from its second character on (the letter is only the key).
void DrawDriveItem(QPainter* painter, const QStyleOptionViewItem& option, const QIcon& icon,
                   const QString& text, int iconSize) {
  const bool selected = option.state & QStyle::State_Selected;
  painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
  const QRect r = option.rect;
  const int top = (r.top() + r.bottom() + 1 - iconSize) / 2;
  icon.paint(painter, QRect(r.left() + 2, top, iconSize, iconSize));
  QRect textRect = r;
  textRect.setLeft(r.left() + iconSize + 6);
  painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
  // Plain drawText: "&" is shown as it is, never as a mnemonic.
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text.mid(1));
}

class TDriveItemDelegate : public QStyledItemDelegate {
public:
  explicit TDriveItemDelegate(TShExDriveComboBox* box) : QStyledItemDelegate(box), box_(box) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    painter->save();
    DrawDriveItem(painter, option, index.data(Qt::DecorationRole).value<QIcon>(),
                  index.data(Qt::DisplayRole).toString(), box_->IconSize());
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QString text = index.data(Qt::DisplayRole).toString().mid(1);
    const int width = 2 + box_->IconSize() + 6 + option.fontMetrics.horizontalAdvance(text) + 4;
    return {width, box_->ItemHeight()};
  }

private:
  TShExDriveComboBox* box_;
};

}  // namespace

TShExDriveComboBox::TShExDriveComboBox(QWidget* parent) : QComboBox(parent) {
  setItemDelegate(new TDriveItemDelegate(this));
  UpdateMetrics();
  connect(this, &QComboBox::activated, this, [this](int) { emit Change(); });
  RebuildDrives();
}

QChar TShExDriveComboBox::Drive() const {
  const int i = currentIndex();
  if (i < 0) return QChar();
  const QString text = itemText(i);
  return text.isEmpty() ? QChar() : text.at(0);
}

void TShExDriveComboBox::SetDrive(QChar letter) {
  letter = letter.toUpper();
  if (letter == Drive()) return;
  for (int i = 0; i < count(); ++i) {
    const QString text = itemText(i);
    if (!text.isEmpty() && text.at(0).toUpper() == letter) {
      setCurrentIndex(i);
      break;
    }
  }
  emit Change();
}

void TShExDriveComboBox::RebuildDrives() {
  const QChar selected = Drive();
  const QSignalBlocker blocker(this);
  clear();
  // Letters() is in alphabetical order.
  for (const QChar letter : TDriveTable::Instance().Letters()) {
    const QString root = QString(letter) + QStringLiteral(":\\");
    addItem(DriveIcon(letter), QString(letter.toUpper()) + DriveDisplayName(root));
  }
  setCurrentIndex(-1);
  for (int i = 0; i < count(); ++i)
    if (!selected.isNull() && itemText(i).at(0) == selected) setCurrentIndex(i);
}

void TShExDriveComboBox::UpdateMetrics() {
  iconSize_ = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
  itemHeight_ = std::max(QFontMetrics(font()).height(), iconSize_);
  setIconSize(QSize(iconSize_, iconSize_));
}

void TShExDriveComboBox::changeEvent(QEvent* event) {
  QComboBox::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    // New metrics, and the list again with them.
    UpdateMetrics();
    RebuildDrives();
  }
}

void TShExDriveComboBox::paintEvent(QPaintEvent*) {
  // The closed box shows the selected item the way the list draws it: without the letter.
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  const int i = currentIndex();
  if (i < 0) return;
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  QStyleOptionViewItem item;
  item.rect = field;
  item.palette = palette();
  item.state = QStyle::State_None;
  painter.save();
  painter.setClipRect(field);
  // The field has the button's colours; draw on them rather than on the list's base colour.
  QPalette pal = palette();
  pal.setBrush(QPalette::Base, pal.button());
  pal.setBrush(QPalette::Text, pal.buttonText());
  item.palette = pal;
  DrawDriveItem(&painter, item, itemIcon(i), itemText(i), iconSize_);
  painter.restore();
}
