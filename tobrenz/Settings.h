// Tobrenz's sections and keys of the settings file, shared by the window and the command line.
#pragma once

#include "toolkit/settings/Settings.h"

namespace tobrenz {

// The target, filter and recursion keys are settings' own.
inline constexpr char16_t kKeyCompareExt[] = u"比較ファイル拡張子";

inline constexpr char16_t kDefaultCompareExt[] = u"bmp";

inline settings::SettingsTable InitSettingsTable() {
  using namespace settings;
  SettingsTable t;
  t.Sections = {
      {kSectionSystem, {NumberKey(u"Window Top", 50), NumberKey(u"Window Left", 50), TextKey(kKeyTarget, u"")}},
      FilterSection(0, u""),
      {kSectionProcess,
       {CheckKey(kKeyRecursive, 0), TextKey(kKeyCompareExt, kDefaultCompareExt), CheckKey(kKeyTrash, 0)}},
  };
  return t;
}

}  // namespace tobrenz
