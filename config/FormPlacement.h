#pragma once
// Saving and restoring a window's position, size and state in a section of the registry. The
// window is reached through a small interface, so that these helpers know nothing of widgets.

#include <QString>

#include <cstdint>

enum TWindowState : int32_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

class IFormPlacement {
public:
  virtual ~IFormPlacement() = default;
  virtual int32_t Left() const = 0;
  virtual int32_t Top() const = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual void SetLeft(int32_t value) = 0;
  virtual void SetTop(int32_t value) = 0;
  virtual void SetWidth(int32_t value) = 0;
  virtual void SetHeight(int32_t value) = 0;
  virtual TWindowState WindowState() const = 0;
  virtual void SetWindowState(TWindowState state) = 0;
};

// Value names in the section.
inline constexpr QLatin1String PlacementLeft("Left");
inline constexpr QLatin1String PlacementTop("Top");
inline constexpr QLatin1String PlacementWidth("Width");
inline constexpr QLatin1String PlacementHeight("Height");
inline constexpr QLatin1String PlacementWindowState("WindowState");

// The default that tells "not stored" (a stored 2147483647 counts as not stored either).
constexpr int32_t PlacementNotStored = 2147483647;

// Applies each of "Left", "Top", "Width" and "Height" that is stored; the others keep the form's
// own value.
void LoadFormPlacement(IFormPlacement& form, const QString& keyPath, const QString& section);
void SaveFormPlacement(const IFormPlacement& form, const QString& keyPath, const QString& section);
// Applies "WindowState" only when it is 0 (normal), 1 (minimised) or 2 (maximised).
void LoadWindowState(IFormPlacement& form, const QString& keyPath, const QString& section);
void SaveWindowState(const IFormPlacement& form, const QString& keyPath, const QString& section);
