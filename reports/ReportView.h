#pragma once
// The subfolder list's view settings that a report from the command line may change for its own
// run, and the first-in first-out store that keeps them meanwhile.

#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

struct TSubfolderView {
  int32_t DisplayType = 2;     // 0 top N, 1 larger than, 2 all
  QString TopText = QStringLiteral("10");
  int32_t LargerThanUnit = 1;  // 0 bytes, 1 KB, 2 MB
  QString LargerThanText = QStringLiteral("1");
  int32_t Sort = 1;            // column 1..8, negative for descending
  bool IncludeWasted = true;

  bool operator==(const TSubfolderView&) const = default;
};

// A queue of values: numbers and flags are kept as a number with an empty text, strings as the
// text. Each pop takes the oldest value.
class TSimpleDataBackUp {
public:
  void PushInt(int64_t value) { items_.emplace_back(QString(), value); }
  void PushString(const QString& value) { items_.emplace_back(value, 0); }
  // 0 or an empty text when the queue is empty.
  int64_t PopInt();
  QString PopString();
  bool IsEmpty() const { return items_.empty(); }

  // The view's six values in the order the report saves them.
  void Push(const TSubfolderView& view);
  TSubfolderView Pop();

private:
  std::vector<std::pair<QString, int64_t>> items_;
};

// The smallest figure a listed subfolder needs: 0 unless the type is "larger than", then the
// threshold times 1, 1024 or 1048576. A threshold text that is not a number counts as 0.
int64_t ViewThreshold(const TSubfolderView& view);
// The N of "top N": the text's number, 10 when it is not a number or negative.
int32_t ViewTopCount(const TSubfolderView& view);

// The view as the program saved it (the subfolder list's values and the wasted-space setting).
TSubfolderView SavedSubfolderView();
