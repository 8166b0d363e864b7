#include "config/OptionObjects.h"

TOption::~TOption() = default;

void TIntOption::Load(const TRegIniFile& regIni, const QString& section) {
  Value = regIni.ReadInteger(section, Name, Default);
}

void TIntOption::Save(TRegIniFile& regIni, const QString& section) const { regIni.WriteInteger(section, Name, Value); }

void TBoolOption::Load(const TRegIniFile& regIni, const QString& section) {
  Value = regIni.ReadBool(section, Name, Default);
}

void TBoolOption::Save(TRegIniFile& regIni, const QString& section) const { regIni.WriteBool(section, Name, Value); }

void TStrOption::Load(const TRegIniFile& regIni, const QString& section) {
  Value = regIni.ReadString(section, Name, Default);
}

void TStrOption::Save(TRegIniFile& regIni, const QString& section) const { regIni.WriteString(section, Name, Value); }

TOptions::~TOptions() {
  for (std::unique_ptr<TOption>& item : Items) item.reset();
}

TIntOption* TOptions::AddInt(const QString& name, int32_t defaultValue) {
  Items.push_back(std::make_unique<TIntOption>(name, defaultValue));
  return static_cast<TIntOption*>(Items.back().get());
}

TBoolOption* TOptions::AddBool(const QString& name, bool defaultValue) {
  Items.push_back(std::make_unique<TBoolOption>(name, defaultValue));
  return static_cast<TBoolOption*>(Items.back().get());
}

TStrOption* TOptions::AddStr(const QString& name, const QString& defaultValue) {
  Items.push_back(std::make_unique<TStrOption>(name, defaultValue));
  return static_cast<TStrOption*>(Items.back().get());
}

void TOptions::LoadAll() {
  const TRegIniFile regIni(KeyPath);
  for (const std::unique_ptr<TOption>& item : Items) item->Load(regIni, Section);
}

void TOptions::SaveAll() {
  TRegIniFile regIni(KeyPath);
  for (const std::unique_ptr<TOption>& item : Items) item->Save(regIni, Section);
  regIni.Close();
}
