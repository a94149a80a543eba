// Fennick's sections and keys of the settings file, shared by the window and the command line.
#pragma once

#include "mdlOptions.h"

namespace fennick {

inline constexpr char16_t kKeySource[] = u"ソースフォルダ";
inline constexpr char16_t kKeyTarget[] = u"ターゲットフォルダ";
inline constexpr char16_t kKeyInclude[] = u"絞り込み";
inline constexpr char16_t kKeyIncludeText[] = u"絞り込み文字列";
inline constexpr char16_t kKeyExclude[] = u"除外";
inline constexpr char16_t kKeyExcludeText[] = u"除外文字列";
inline constexpr char16_t kKeySyncDelete[] = u"同期削除";
inline constexpr char16_t kKeyConvert[] = u"マテリアル変換";
inline constexpr char16_t kKeyConvertMode[] = u"変換モード";
inline constexpr char16_t kKeyBackup[] = u"バックアップ";
inline constexpr char16_t kKeyRecursive[] = u"再帰処理";
inline constexpr char16_t kKeyBaseFolder[] = u"ベースフォルダ";  // 1: the source is the material base folder

inline mdlOptions::SettingsTable InitSettingsTable() {
  using namespace mdlOptions;
  SettingsTable t;
  t.Sections = {
      {kSectionSystem,
       {NumberKey(u"Window Top", 50), NumberKey(u"Window Left", 50), TextKey(kKeySource, u""),
        TextKey(kKeyTarget, u"")}},
      {kSectionFilter,
       {CheckKey(kKeyInclude, 1), TextKey(kKeyIncludeText, u"*.bms;*.bme"), CheckKey(kKeyExclude, 0),
        TextKey(kKeyExcludeText, u"")}},
      {kSectionProcess,
       {CheckKey(kKeySyncDelete, 1), CheckKey(kKeyConvert, 1), NumberKey(kKeyConvertMode, 0, kRangeBoth, 0, 2),
        CheckKey(kKeyBackup, 1), CheckKey(kKeyRecursive, 0), CheckKey(kKeyBaseFolder, 1)}},
  };
  return t;
}

}  // namespace fennick
