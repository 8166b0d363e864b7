#pragma once
// Settings loaded from the store when a test's scope begins and saved back when it ends.

#include "config/Settings.h"

class TLoadedSettings : public TSettings {
public:
  TLoadedSettings() { Load(); }
  ~TLoadedSettings() override {
    try {
      Save();
    } catch (...) {
      // A test that cares whether the values reached the store saves them itself.
    }
  }
  TLoadedSettings(const TLoadedSettings&) = delete;
  TLoadedSettings& operator=(const TLoadedSettings&) = delete;
};
