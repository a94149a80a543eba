// Quarrow's sections and keys of the settings file, shared by the window and the command line.
#pragma once

#include "toolkit/settings/Settings.h"

namespace quarrow {

// The keys every program shares, under the names the window reads them by.
using settings::kKeyExclude;
using settings::kKeyExcludeText;
using settings::kKeyInclude;
using settings::kKeyIncludeText;
using settings::kKeyRecursive;
using settings::kKeyTarget;
inline constexpr char16_t kKeyMaterialBase[] = u"マテリアルベースフォルダ";
inline constexpr char16_t kKeyFileCheck[] = u"ファイルチェック";
inline constexpr char16_t kKeyTextMode[] = u"テキストモード";
inline constexpr char16_t kKeyBackup[] = u"バックアップ";

inline settings::SettingsTable InitSettingsTable() {
  using namespace settings;
  SettingsTable t;
  t.Sections = {
      {kSectionSystem,
       {NumberKey(u"Window Top", 50), NumberKey(u"Window Left", 50), TextKey(kKeyMaterialBase, u""),
        TextKey(kKeyTarget, u"")}},
      FilterSection(1, u"*.bms;*.bme"),
      {kSectionProcess,
       {CheckKey(kKeyRecursive, 0), CheckKey(kKeyFileCheck, 1), CheckKey(kKeyTextMode, 1), CheckKey(kKeyBackup, 1)}},
  };
  return t;
}

}  // namespace quarrow
