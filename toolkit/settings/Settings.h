// The settings file beside each program's executable: the table of sections and keys with their
// defaults, the lenient reader and the exact writer. Each program supplies its table of defaults;
// its window shows the table in its controls and stores them back when it ends, and its command
// line takes the table's values as the defaults of its options (and never writes the file).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>


namespace settings {

// What a key holds, and which of its bounds a number read from the file is kept within.
enum class KeyType { Number, Text };
enum class Clamp { None, Min, Max, Both };

// The value of a key: a whole number, a single-precision window coordinate, or a text.
struct SettingValue {
  enum class Kind { Number, Single, Text };
  Kind kind = Kind::Number;
  std::int32_t Number = 0;
  float Single = 0;
  std::u16string Text;

  static SettingValue OfNumber(std::int32_t n) { return {Kind::Number, n, 0, {}}; }
  static SettingValue OfSingle(float f) { return {Kind::Single, 0, f, {}}; }
  static SettingValue OfText(std::u16string t) { return {Kind::Text, 0, 0, std::move(t)}; }
  // The value as a whole number (a coordinate rounded; a text counts as 0).
  std::int32_t AsNumber() const;
  // The value as the file writes it.
  std::u16string ToText() const;
};

struct SettingKey {
  KeyType ValueKind = KeyType::Number;
  Clamp RangeCheck = Clamp::None;
  std::u16string KeyName;
  SettingValue Value;
  int MinValue = 0;
  int MaxValue = 0;
};

struct SettingSection {
  std::u16string Name;
  std::vector<SettingKey> Keys;
};

// Key builders for the programs' tables.
SettingKey NumberKey(std::u16string name, std::int32_t value, Clamp range_check = Clamp::None, int min_value = 0,
                     int max_value = 0);
SettingKey CheckKey(std::u16string name, std::int32_t value);  // 0 or 1, clamped both ways
SettingKey TextKey(std::u16string name, std::u16string value);

struct SettingsTable {
  std::vector<SettingSection> Sections;

  SettingKey* Find(std::u16string_view section, std::u16string_view key);
  const SettingKey* Find(std::u16string_view section, std::u16string_view key) const;
  std::int32_t Number(std::u16string_view section, std::u16string_view key) const;
  std::u16string Text(std::u16string_view section, std::u16string_view key) const;
  void Set(std::u16string_view section, std::u16string_view key, SettingValue value);
};

// The three sections every program has, in file order.
inline constexpr char16_t kSectionSystem[] = u"システム";
inline constexpr char16_t kSectionFilter[] = u"絞り込み";
inline constexpr char16_t kSectionProcess[] = u"処理方法";

// Keys every program's file has under the same names: the target folder (system section), the
// include and exclude lists (filter section) and recursion (process section).
inline constexpr char16_t kKeyTarget[] = u"ターゲットフォルダ";
inline constexpr char16_t kKeyInclude[] = u"絞り込み";
inline constexpr char16_t kKeyIncludeText[] = u"絞り込み文字列";
inline constexpr char16_t kKeyExclude[] = u"除外";
inline constexpr char16_t kKeyExcludeText[] = u"除外文字列";
inline constexpr char16_t kKeyRecursive[] = u"再帰処理";
// The programs that delete (process section): what they would delete goes to the trash instead.
inline constexpr char16_t kKeyTrash[] = u"ごみ箱に移動";

// The filter section with the include list's defaults; the exclude list starts off and empty.
SettingSection FilterSection(std::int32_t include_on, std::u16string include_text);

// Reads a settings file's bytes (CP932, or UTF-8 after a byte-order mark) into the table.
void ReadSettingsText(SettingsTable& table, std::string_view bytes);
// The whole file for the table: CP932 when every character fits, else UTF-8 with a byte-order mark,
// so that no typed path is lost.
std::string WriteSettingsText(const SettingsTable& table, const std::u16string& program_name);
// A whole number as the settings reader takes it: blanks around it allowed, a fraction rounded to
// the nearest whole number with halves to even. False when the text is no number or out of range.
bool ParseWholeNumber(std::u16string_view text, std::int32_t& value);

// The most bytes a settings or rule file may hold: far more than any real one, and little enough to
// read whole.
inline constexpr std::int64_t kMaxOwnFileSize = 16 << 20;
// The message for one of the programs' own files that cannot be read: the path, then the reason;
// shown with this title.
std::u16string OpenFailedText(const std::u16string& path, const std::u16string& why);
inline constexpr char16_t kOpenErrorTitle[] = u"ファイルオープンエラー";

// A program's settings file, named after the program in its folder, and the table it holds.
class SettingsFile {
 public:
  SettingsFile(const std::u16string& folder, std::u16string program_name);

  SettingsTable& Table() { return table_; }
  const SettingsTable& Table() const { return table_; }
  const std::u16string& Path() const { return path_; }

  // Takes the program's table of defaults and reads the file when there is one. False, with the
  // message for the user in `why`, when a file is there that cannot be read: the defaults stay.
  bool Load(SettingsTable defaults, std::u16string& why);
  // Lets the program store its window's values into the table, then writes the file. False, with the
  // message in `why`, when the file cannot be written.
  [[nodiscard]] bool Save(const std::function<void(SettingsTable&)>& collect_settings, std::u16string& why);

 private:
  std::u16string program_name_;
  std::u16string file_name_;
  std::u16string path_;
  SettingsTable table_;
};

}  // namespace settings
