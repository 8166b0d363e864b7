// Window position, size and state, saved and restored through a stand-in window.

#include "config/FormPlacement.h"
#include "config/Registry.h"
#include "tests/config/RegistryScope.h"

#include <QString>

#include <gtest/gtest.h>

#include <map>

namespace {

const QString KeyPath = QStringLiteral("Software\\Morvell\\Korvane 3");

class TFakeForm : public IFormPlacement {
public:
  int32_t L = 10, T = 20, W = 300, H = 200;
  TWindowState State = wsNormal;

  int32_t Left() const override { return L; }
  int32_t Top() const override { return T; }
  int32_t Width() const override { return W; }
  int32_t Height() const override { return H; }
  void SetLeft(int32_t v) override { L = v; }
  void SetTop(int32_t v) override { T = v; }
  void SetWidth(int32_t v) override { W = v; }
  void SetHeight(int32_t v) override { H = v; }
  TWindowState WindowState() const override { return State; }
  void SetWindowState(TWindowState s) override { State = s; }
};

void StoreSection(const QString& section, const std::map<QString, QString>& values) {
  TRegistry reg;
  reg.DeleteKey(KeyPath + QLatin1Char('\\') + section);
  for (const auto& [name, value] : values) reg.WriteValue(KeyPath + QLatin1Char('\\') + section, name, TRegValue::FromString(value));
  reg.Close();
}

TEST(FormPlacement, EachStoredValueIsAppliedTheOthersStay) {
  const TRegistryScope scope;
  struct Case {
    const char* What;
    std::map<QString, QString> Stored;
    int32_t L, T, W, H;
  };
  const Case cases[] = {
      {"all four", {{"Left", "1"}, {"Top", "2"}, {"Width", "3"}, {"Height", "4"}}, 1, 2, 3, 4},
      {"Left without Top", {{"Left", "-50"}}, -50, 20, 300, 200},
      {"size only", {{"Width", "640"}, {"Height", "480"}}, 10, 20, 640, 480},
      {"nothing", {}, 10, 20, 300, 200},
      {"not a number", {{"Left", "abc"}, {"Top", "7"}}, 10, 7, 300, 200},
      {"the marker value", {{"Left", "2147483647"}}, 10, 20, 300, 200},
  };
  for (const Case& c : cases) {
    StoreSection("Desktop", c.Stored);
    TFakeForm form;
    LoadFormPlacement(form, KeyPath, "Desktop");
    EXPECT_EQ(form.L, c.L) << c.What;
    EXPECT_EQ(form.T, c.T) << c.What;
    EXPECT_EQ(form.W, c.W) << c.What;
    EXPECT_EQ(form.H, c.H) << c.What;
  }
}

TEST(FormPlacement, OnlyTheThreeKnownWindowStatesApply) {
  const TRegistryScope scope;
  struct Case {
    const char* Stored;  // null: not stored
    TWindowState Result;  // from a form that is maximised
  };
  const Case cases[] = {
      {"0", wsNormal}, {"1", wsMinimized}, {"2", wsMaximized}, {"3", wsMaximized},
      {"-1", wsMaximized}, {"abc", wsMaximized}, {nullptr, wsMaximized},
  };
  for (const Case& c : cases) {
    std::map<QString, QString> stored;
    if (c.Stored) stored["WindowState"] = c.Stored;
    StoreSection("Desktop", stored);
    TFakeForm form;
    form.State = wsMaximized;
    LoadWindowState(form, KeyPath, "Desktop");
    EXPECT_EQ(form.State, c.Result) << (c.Stored ? c.Stored : "missing");
  }
}

TEST(FormPlacement, SavedPlacementAndStateComeBack) {
  const TRegistryScope scope;
  TFakeForm saved;
  saved.L = -8;
  saved.T = 0;
  saved.W = 1024;
  saved.H = 700;
  saved.State = wsMinimized;
  SaveFormPlacement(saved, KeyPath, "PopUpBox");
  SaveWindowState(saved, KeyPath, "PopUpBox");
  EXPECT_TRUE(scope.HiveText()->contains("\"Left\"=\"-8\"\n\"Top\"=\"0\"\n\"Width\"=\"1024\"\n\"Height\"=\"700\"\n"
                                         "\"WindowState\"=\"1\"\n"));

  TFakeForm restored;
  LoadFormPlacement(restored, KeyPath, "PopUpBox");
  LoadWindowState(restored, KeyPath, "PopUpBox");
  EXPECT_EQ(restored.L, -8);
  EXPECT_EQ(restored.T, 0);
  EXPECT_EQ(restored.W, 1024);
  EXPECT_EQ(restored.H, 700);
  EXPECT_EQ(restored.State, wsMinimized);

  TFakeForm other;  // another section is untouched
  LoadFormPlacement(other, KeyPath, "BarChartBox");
  EXPECT_EQ(other.L, 10);
}

}  // namespace
