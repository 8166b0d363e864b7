#pragma once
// Key and value names compare case-insensitively, by simple case folding of each code point (as
// QString::toCaseFolded folds): "Value" and "VALUE" are one name, "Straße" and "STRASSE" are two.
// Both functions work on the name as it stands, without making a folded copy; ASCII, which nearly
// every name is, takes a short path.

#include <QStringView>

#include <cstdint>

// The same for every spelling of one name.
uint32_t RegNameHash(QStringView name);
bool SameRegName(QStringView a, QStringView b);
