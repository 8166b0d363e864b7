#include "config/RegHelpers.h"

#include "config/RegIniFile.h"

int32_t RegReadInt(const QString& keyPath, const QString& section, const QString& name, int32_t defaultValue) {
  return TRegIniFile(keyPath).ReadInteger(section, name, defaultValue);
}

void RegWriteInt(const QString& keyPath, const QString& section, const QString& name, int32_t value) {
  TRegIniFile regIni(keyPath);
  regIni.WriteInteger(section, name, value);
  regIni.Close();
}

bool RegReadBool(const QString& keyPath, const QString& section, const QString& name, bool defaultValue) {
  return TRegIniFile(keyPath).ReadBool(section, name, defaultValue);
}

void RegWriteBool(const QString& keyPath, const QString& section, const QString& name, bool value) {
  TRegIniFile regIni(keyPath);
  regIni.WriteBool(section, name, value);
  regIni.Close();
}

int32_t RegReadBinary(const QString& keyPath, const QString& section, const QString& name, int32_t size, void* buffer) {
  return TBinRegIniFile(keyPath).ReadBinary(section, name, size, buffer);
}

void RegWriteBinary(const QString& keyPath, const QString& section, const QString& name, int32_t size,
                    const void* buffer) {
  TBinRegIniFile regIni(keyPath);
  regIni.WriteBinary(section, name, size, buffer);
  regIni.Close();
}
