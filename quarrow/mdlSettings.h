// Quarrow's sections and keys of the settings file, shared by the window and the command line.
#pragma once

#include "mdlOptions.h"

namespace quarrow {

inline constexpr char16_t kKeyMaterialBase[] = u"マテリアルベースフォルダ";
inline constexpr char16_t kKeyTarget[] = u"ターゲットフォルダ";
inline constexpr char16_t kKeyInclude[] = u"絞り込み";
inline constexpr char16_t kKeyIncludeText[] = u"絞り込み文字列";
inline constexpr char16_t kKeyExclude[] = u"除外";
inline constexpr char16_t kKeyExcludeText[] = u"除外文字列";
inline constexpr char16_t kKeyRecursive[] = u"再帰処理";
inline constexpr char16_t kKeyFileCheck[] = u"ファイルチェック";
inline constexpr char16_t kKeyTextMode[] = u"テキストモード";
inline constexpr char16_t kKeyBackup[] = u"バックアップ";

inline mdlOptions::SettingsTable InitSettingsTable() {
  using namespace mdlOptions;
  SettingsTable t;
  t.Sections = {
      {kSectionSystem,
       {NumberKey(u"Window Top", 50), NumberKey(u"Window Left", 50), TextKey(kKeyMaterialBase, u""),
        TextKey(kKeyTarget, u"")}},
      {kSectionFilter,
       {CheckKey(kKeyInclude, 1), TextKey(kKeyIncludeText, u"*.bms;*.bme"), CheckKey(kKeyExclude, 0),
        TextKey(kKeyExcludeText, u"")}},
      {kSectionProcess,
       {CheckKey(kKeyRecursive, 0), CheckKey(kKeyFileCheck, 1), CheckKey(kKeyTextMode, 1), CheckKey(kKeyBackup, 1)}},
  };
  return t;
}

}  // namespace quarrow
