// Fennick's sections and keys of the settings file, shared by the window and the command line.
#pragma once

#include "toolkit/settings/Settings.h"

namespace fennick {

// The target, filter and recursion keys are settings' own.
inline constexpr char16_t kKeySource[] = u"ソースフォルダ";
inline constexpr char16_t kKeySyncDelete[] = u"同期削除";
inline constexpr char16_t kKeyConvert[] = u"マテリアル変換";
inline constexpr char16_t kKeyConvertMode[] = u"変換モード";
inline constexpr char16_t kKeyBackup[] = u"バックアップ";
inline constexpr char16_t kKeyBaseFolder[] = u"ベースフォルダ";  // 1: the source is the material base folder

inline settings::SettingsTable InitSettingsTable() {
  using namespace settings;
  SettingsTable t;
  t.Sections = {
      {kSectionSystem,
       {NumberKey(u"Window Top", 50), NumberKey(u"Window Left", 50), TextKey(kKeySource, u""),
        TextKey(kKeyTarget, u"")}},
      FilterSection(1, u"*.bms;*.bme"),
      {kSectionProcess,
       {CheckKey(kKeySyncDelete, 1), CheckKey(kKeyConvert, 1), NumberKey(kKeyConvertMode, 0, Clamp::Both, 0, 2),
        CheckKey(kKeyBackup, 1), CheckKey(kKeyRecursive, 0), CheckKey(kKeyBaseFolder, 1), CheckKey(kKeyTrash, 0)}},
  };
  return t;
}

}  // namespace fennick
