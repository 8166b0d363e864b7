#pragma once
// Typed option objects that remember a value name, a default and a current value and load and
// save themselves, and a collection that binds a list of them to one key path and section.

#include "config/RegIniFile.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class TOption {
public:
  explicit TOption(QString name) : Name(std::move(name)) {}
  virtual ~TOption();
  TOption(const TOption&) = delete;
  TOption& operator=(const TOption&) = delete;

  virtual void Load(const TRegIniFile& regIni, const QString& section) = 0;
  virtual void Save(TRegIniFile& regIni, const QString& section) const = 0;

  QString Name;
};

class TIntOption : public TOption {
public:
  TIntOption(QString name, int32_t defaultValue)
      : TOption(std::move(name)), Value(defaultValue), Default(defaultValue) {}
  void Load(const TRegIniFile& regIni, const QString& section) override;
  void Save(TRegIniFile& regIni, const QString& section) const override;

  int32_t Value;
  int32_t Default;
};

class TBoolOption : public TOption {
public:
  TBoolOption(QString name, bool defaultValue)
      : TOption(std::move(name)), Value(defaultValue), Default(defaultValue) {}
  void Load(const TRegIniFile& regIni, const QString& section) override;
  void Save(TRegIniFile& regIni, const QString& section) const override;

  bool Value;
  bool Default;
};

class TStrOption : public TOption {
public:
  TStrOption(QString name, QString defaultValue)
      : TOption(std::move(name)), Value(defaultValue), Default(std::move(defaultValue)) {}
  void Load(const TRegIniFile& regIni, const QString& section) override;
  void Save(TRegIniFile& regIni, const QString& section) const override;

  QString Value;
  QString Default;
};

class TOptions {
public:
  TOptions(QString keyPath, QString section) : KeyPath(std::move(keyPath)), Section(std::move(section)) {}
  // Frees the options in list order.
  ~TOptions();
  TOptions(const TOptions&) = delete;
  TOptions& operator=(const TOptions&) = delete;

  // Create an option with its default, append it to Items and return it; the collection owns it.
  TIntOption* AddInt(const QString& name, int32_t defaultValue);
  TBoolOption* AddBool(const QString& name, bool defaultValue);
  TStrOption* AddStr(const QString& name, const QString& defaultValue);

  // Load (or save) every option in list order through one accessor on KeyPath; saving writes
  // the hive file once, and throws ERegistryException when that fails.
  void LoadAll();
  void SaveAll();

  std::vector<std::unique_ptr<TOption>> Items;
  QString KeyPath;
  QString Section;
};
