// An accessor's changes reach the file kept by key, not replayed one by one: whatever another
// copy of the program wrote meanwhile, and whatever mix of writes, deletions and re-creations the
// accessor made, the file ends as a replay of every change in order on the file would leave it.

#include "config/Registry.h"
#include "config/RegistryHive.h"
#include "tests/config/RegistryScope.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

const QString Cu = QStringLiteral("HKEY_CURRENT_USER");

struct TOp {
  enum TKind { Set, DeleteValue, CreateKey, DeleteKey } Kind;
  QString Key, Name;
  uint32_t Number = 0;
};

// What the accessor records and what a replay does with it, on a hive in memory.
void Replay(TRegHive& hive, const TOp& op) {
  switch (op.Kind) {
    case TOp::Set:
      hive.CreateKey(op.Key).SetValue(op.Name, TRegValue::FromDWord(op.Number));
      break;
    case TOp::DeleteValue:
      if (TRegKey* key = hive.FindKey(op.Key)) key->RemoveValue(op.Name);
      break;
    case TOp::CreateKey:
      hive.CreateKey(op.Key);
      break;
    case TOp::DeleteKey:
      hive.DeleteKey(op.Key);
      break;
  }
}

void Do(TRegistry& reg, const TOp& op) {
  switch (op.Kind) {
    case TOp::Set:
      reg.WriteValue(op.Key, op.Name, TRegValue::FromDWord(op.Number));
      break;
    case TOp::DeleteValue:
      reg.DeleteValue(op.Key, op.Name);
      break;
    case TOp::CreateKey:
      reg.CreateKey(op.Key);
      break;
    case TOp::DeleteKey:
      reg.DeleteKey(op.Key);
      break;
  }
}

// The content of a hive without its order and spellings: one line per key and per value.
void Dump(const TRegKey& key, const QString& path, QStringList& lines) {
  lines << path;
  for (const TRegNamedValue& v : key.Values())
    lines << path + QLatin1Char('|') + v.Name.toCaseFolded() + QLatin1Char('=') + QString::number(v.Value.AsDWord().value_or(0));
  for (const auto& sub : key.Subkeys()) Dump(*sub, path + QLatin1Char('\\') + sub->Name().toCaseFolded(), lines);
}

QString Content(const TRegHive& hive) {
  QStringList lines;
  Dump(hive.Root(), QString(), lines);
  lines.sort();
  return lines.join(QLatin1Char('\n'));
}

class TRandomOps {
public:
  explicit TRandomOps(uint32_t seed) : random_(seed) {}

  TOp Next(bool deletes) {
    static const QString keys[] = {"A", "a\\B", "A\\b\\C", "A\\D", "E", "e\\F"};
    static const QString names[] = {"x", "X", "y", "z", ""};
    const uint32_t pick = random_() % 20;
    TOp op{TOp::Set, keys[random_() % std::size(keys)], names[random_() % std::size(names)], static_cast<uint32_t>(random_() % 100)};
    if (deletes && pick < 3)
      op.Kind = TOp::DeleteKey;
    else if (deletes && pick < 7)
      op.Kind = TOp::DeleteValue;
    else if (pick < 9)
      op.Kind = TOp::CreateKey;
    return op;
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(random_() % n); }

private:
  std::mt19937 random_;
};

// Two phases of changes by one accessor, each ended by a write (Flush, then Close), and between
// them writes by other accessors: the file ends as the replay of each phase on the file of its
// time, and the accessor's reads show its own copy throughout.
TEST(RegistryChanges, TheFileEndsAsAReplayOfEveryChangeWouldLeaveIt) {
  for (uint32_t round = 0; round < 100; ++round) {
    SCOPED_TRACE(round);
    const TRegistryScope scope;
    TRandomOps random(round);

    TRegHive file(Cu);  // the file as a replay leaves it
    for (int i = 0, n = static_cast<int>(random.Below(12)); i < n; ++i) Replay(file, random.Next(false));
    if (file.Root().Subkeys().size() > 0) scope.WriteHive(file.ToText());

    TRegistry reg;
    TRegHive own = TRegHive::Parse(file.ToText(), Cu).value();  // what the accessor reads
    for (int phase = 0; phase < 2; ++phase) {
      std::vector<TOp> recorded;
      for (int i = 0, n = 1 + static_cast<int>(random.Below(14)); i < n; ++i) {
        const TOp op = random.Next(true);
        // Creating a key the accessor already has changes nothing.
        if (op.Kind != TOp::CreateKey || !own.FindKey(op.Key)) recorded.push_back(op);
        Do(reg, op);
        Replay(own, op);
        if (random.Below(3) == 0) {  // another copy of the program writes meanwhile
          TRegistry other;
          for (int k = 0, m = 1 + static_cast<int>(random.Below(4)); k < m; ++k) {
            const TOp change = random.Next(true);
            Do(other, change);
            Replay(file, change);
          }
          other.Close();
        }
      }
      for (const TOp& op : recorded) Replay(file, op);
      if (phase == 0)
        reg.Flush();
      else
        reg.Close();

      const std::optional<QByteArray> text = scope.HiveText();
      const TRegHive written = TRegHive::Parse(text.value_or(QByteArray()), Cu).value();
      ASSERT_EQ(Content(written).toStdString(), Content(file).toStdString()) << "after phase " << phase;
      if (phase == 0) {
        for (const QString& key : {QStringLiteral("A"), QStringLiteral("A\\B"), QStringLiteral("E")})
          for (const QString& name : {QStringLiteral("x"), QStringLiteral("y")}) {
            const TRegKey* k = own.FindKey(key);
            const TRegValue* v = k ? k->FindValue(name) : nullptr;
            ASSERT_EQ(reg.ReadValue(key, name), v ? std::optional<TRegValue>(*v) : std::nullopt);
          }
      }
    }
  }
}

// Values new to the file are added in the order the accessor wrote them, after the file's own.
TEST(RegistryChanges, NewValuesFollowTheFilesOwnInTheOrderWritten) {
  const TRegistryScope scope;
  const QString key = QStringLiteral("Software\\Morvell\\Korvane 3\\Options");
  TRegistry reg;
  for (const char* name : {"C", "A", "B"}) reg.WriteValue(key, name, TRegValue::FromString(name));
  reg.DeleteValue(key, "A");
  reg.WriteValue(key, "A", TRegValue::FromString("again"));
  {
    TRegistry other;
    other.WriteValue(key, "Other", TRegValue::FromString("o"));
    other.WriteValue(key, "b", TRegValue::FromString("theirs"));
    other.Close();
  }
  reg.Close();
  QStringList names;
  for (const QString& name : TRegistry().ValueNames(key)) names << name + QLatin1Char('=') + *TRegistry().ReadValue(key, name)->AsText();
  EXPECT_EQ(names, (QStringList{"Other=o", "b=B", "C=C", "A=again"}));
}

}  // namespace
