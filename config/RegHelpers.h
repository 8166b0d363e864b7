#pragma once
// One-shot registry helpers: each opens its own accessor on the key path (below
// HKEY_CURRENT_USER), does one thing and closes it. The writes throw ERegistryException when the
// hive file cannot be written; RegReadBinary throws it for a value of the wrong type or length.

#include <QString>

#include <cstdint>

int32_t RegReadInt(const QString& keyPath, const QString& section, const QString& name, int32_t defaultValue);
void RegWriteInt(const QString& keyPath, const QString& section, const QString& name, int32_t value);
bool RegReadBool(const QString& keyPath, const QString& section, const QString& name, bool defaultValue);
void RegWriteBool(const QString& keyPath, const QString& section, const QString& name, bool value);
int32_t RegReadBinary(const QString& keyPath, const QString& section, const QString& name, int32_t size, void* buffer);
void RegWriteBinary(const QString& keyPath, const QString& section, const QString& name, int32_t size,
                    const void* buffer);
