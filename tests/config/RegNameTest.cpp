// Names compared without folded copies: the same answers as comparing the folded strings, and an
// index of positions that finds every name after any mix of insertions and removals.

#include "config/RegName.h"
#include "config/RegNameIndex.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

QString CodePoint(char32_t c) { return QString::fromUcs4(&c, 1); }

// Every code point, as the middle of a name: the name and its folded copy are one name with one
// hash, and two neighbouring code points are one name exactly when their folded copies are equal.
TEST(RegName, AgreesWithFoldedCopiesForEveryCodePoint) {
  int mismatches = 0;
  for (char32_t c = 1; c <= 0x10FFFF && mismatches < 10; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const QString name = QStringLiteral("Key") + CodePoint(c) + QStringLiteral("Z");
    const QString folded = name.toCaseFolded();
    const QString next = QStringLiteral("Key") + CodePoint(c + 1 == 0xD800 ? 0xE000 : c + 1) + QStringLiteral("Z");
    const bool same = SameRegName(name, folded) && RegNameHash(name) == RegNameHash(folded);
    const bool neighbour = SameRegName(name, next) == (folded == next.toCaseFolded());
    if (!same || !neighbour) {
      ++mismatches;
      ADD_FAILURE() << "U+" << std::hex << static_cast<uint32_t>(c);
    }
  }
}

TEST(RegName, ComparesByCodePointsAndLength) {
  struct Case {
    QString A, B;
    bool Same;
  };
  const Case cases[] = {
      {"ShowFileNames", "SHOWFILENAMES", true},
      {"", "", true},
      {"a", "", false},
      {"abc", "abcd", false},
      {"Straße", "STRASSE", false},                      // simple folding only
      {"Straße", "STRAẞE", true},                        // capital sharp s folds to ß
      {"Ключ", "кЛЮЧ", true},
      {QString::fromUtf8("𐐀x"), QString::fromUtf8("𐐨X"), true},  // Deseret, outside the BMP
      {QString(QChar(0xD800)), QString(QChar(0xD800)), true},     // lone surrogates stand for themselves
      {QString(QChar(0xD800)), QString(QChar(0xDC00)), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameRegName(c.A, c.B), c.Same) << c.A.toStdString() << " / " << c.B.toStdString();
    EXPECT_EQ(SameRegName(c.B, c.A), c.Same) << c.A.toStdString() << " / " << c.B.toStdString();
    if (c.Same) {
      EXPECT_EQ(RegNameHash(c.A), RegNameHash(c.B)) << c.A.toStdString();
    }
  }
}

// A random mix of insertions and removals against a plain list, with hashes squeezed into a few
// values so that probe runs are long, cross the end of the table and get holes punched into them.
TEST(RegNameIndex, FindsEveryNameAfterInsertionsAndRemovals) {
  for (const uint32_t hashes : {1u, 3u, 64u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(hashes);
    std::mt19937 random(hashes);
    TRegNameIndex index;
    std::vector<QString> names;  // the list the index points into
    const auto hashOf = [&](QStringView name) { return RegNameHash(name) % hashes; };
    const auto nameAt = [&](qsizetype p) { return QStringView(names[static_cast<size_t>(p)]); };
    for (int step = 0; step < 3000; ++step) {
      const QString name = QStringLiteral("N%1").arg(random() % 400);
      const qsizetype found = index.Find(name, hashOf(name), nameAt);
      const auto listed = std::find_if(names.begin(), names.end(), [&](const QString& n) { return SameRegName(n, name); });
      ASSERT_EQ(found, listed == names.end() ? -1 : listed - names.begin()) << name.toStdString() << " at step " << step;
      if (found >= 0 && random() % 2) {
        index.Remove(hashOf(name), found);
        names.erase(names.begin() + found);
      } else if (found < 0) {
        index.Insert(hashOf(name), static_cast<qsizetype>(names.size()));
        names.push_back(random() % 2 ? name : name.toLower());
      }
    }
    for (size_t p = 0; p < names.size(); ++p) EXPECT_EQ(index.Find(names[p].toUpper(), hashOf(names[p]), nameAt), static_cast<qsizetype>(p));
  }
}

}  // namespace
