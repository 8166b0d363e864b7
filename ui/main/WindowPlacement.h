#pragma once
// The main window's size at its first start (nothing stored yet) and the share of its width the
// folder tree takes, kept with the window's placement in the settings store.

#include <QList>
#include <QRect>
#include <QString>

// Value name of the tree's share, in thousandths of the splitter's width, beside "Left", "Top"...
inline constexpr QLatin1String PlacementTreeShare("TreeShare");
// The share a first start gives the tree (about what the classic 165 of 545 pixels were).
constexpr int DefaultTreeShare = 300;
// Shares outside this range are not taken (a tree of nothing, or pages of nothing).
constexpr int MinTreeShare = 50;
constexpr int MaxTreeShare = 900;

// Two thirds of the available area each way (never below the window's minimum, never above the
// area), centred on it.
QRect FirstStartGeometry(const QRect& available, const QSize& minimum = QSize());

// Whether the window's size was stored by an earlier run.
bool WindowSizeStored(const QString& keyPath, const QString& section);

// The stored share; DefaultTreeShare when none is stored or the stored one is out of range.
int LoadTreeShare(const QString& keyPath, const QString& section);
void SaveTreeShare(int share, const QString& keyPath, const QString& section);

// The share of `first` in a width of first + second, in thousandths, kept in range.
int TreeShareOf(int first, int second);
// The two panes' widths for a width to split (the handle already taken out).
QList<int> SplitByTreeShare(int width, int share);
