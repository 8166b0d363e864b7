#pragma once
// Placing a dialog over its owner: centred over the part of the owner that is on the screen,
// kept on the screen where it fits.

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// The dialog's top-left corner for an owner frame (owner) and a dialog frame size on a screen of
// screenSize whose top-left corner is (0, 0). A dialog larger than the screen gets a negative
// position: the right and bottom edges are kept on the screen first.
QPoint CenterOverForm(const QRect& owner, const QSize& dialog, const QSize& screenSize);
// The same on a screen area that may start elsewhere than (0, 0) (the available area of one of
// several screens): the arithmetic is done relative to its corner.
QPoint CenterOverForm(const QRect& owner, const QSize& dialog, const QRect& screen);

// A window size that fits an available area together with its frame (frameExtra: what the
// frame adds), never below the window's minimum.
QSize FitOnScreen(const QSize& size, const QSize& minimum, const QSize& frameExtra, const QSize& available);

// Moves dialog over owner, on the available area of the owner's screen, first bringing its size
// down to what fits that area (never below its minimum size). A laid-out dialog nobody sized
// takes its size hint. Without an owner the dialog stays where it is.
void CenterOverForm(QWidget* owner, QWidget* dialog);
