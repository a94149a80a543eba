#include "toolkit/settings/Settings.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "toolkit/platform/fs.h"
#include "toolkit/text/Codecs.h"

namespace settings {
namespace {

constexpr char16_t kOpenErrorText[] = u" のオープンに失敗しました。";


bool EqualsFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char16_t x = (a[i] >= u'A' && a[i] <= u'Z') ? char16_t(a[i] + 32) : a[i];
    const char16_t y = (b[i] >= u'A' && b[i] <= u'Z') ? char16_t(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

void ClampSection(SettingSection& section) {
  for (SettingKey& key : section.Keys) {
    if (key.ValueKind != KeyType::Number) continue;
    std::int32_t v = key.Value.AsNumber();
    if ((key.RangeCheck == Clamp::Min || key.RangeCheck == Clamp::Both) && v < key.MinValue) v = key.MinValue;
    if ((key.RangeCheck == Clamp::Max || key.RangeCheck == Clamp::Both) && v > key.MaxValue) v = key.MaxValue;
    if (v != key.Value.AsNumber()) key.Value = SettingValue::OfNumber(v);
  }
}

void StoreSettingValue(SettingKey& key, const std::u16string& text) {
  if (key.ValueKind == KeyType::Text) {
    key.Value = SettingValue::OfText(text);
    return;
  }
  std::int32_t n = 0;
  if (ParseWholeNumber(text, n)) key.Value = SettingValue::OfNumber(n);
}

SettingKey* FindSettingKey(SettingSection& section, const std::u16string& name) {
  for (SettingKey& key : section.Keys) {
    if (EqualsFolded(key.KeyName, name)) return &key;
  }
  return nullptr;
}

}  // namespace

std::int32_t SettingValue::AsNumber() const {
  switch (kind) {
    case Kind::Number: return Number;
    case Kind::Single: return std::isfinite(Single) && std::fabs(Single) < 2.1e9f ? std::int32_t(std::nearbyint(Single)) : 0;
    default: return 0;
  }
}

std::u16string SettingValue::ToText() const {
  if (kind == Kind::Text) return Text;
  char buffer[64];
  std::to_chars_result r = kind == Kind::Single ? std::to_chars(buffer, buffer + sizeof buffer, Single)
                                                : std::to_chars(buffer, buffer + sizeof buffer, Number);
  return std::u16string(buffer, r.ptr);
}

SettingKey NumberKey(std::u16string name, std::int32_t value, Clamp range_check, int min_value, int max_value) {
  return SettingKey{KeyType::Number, range_check, std::move(name), SettingValue::OfNumber(value), min_value, max_value};
}

SettingKey CheckKey(std::u16string name, std::int32_t value) {
  return NumberKey(std::move(name), value, Clamp::Both, 0, 1);
}

SettingKey TextKey(std::u16string name, std::u16string value) {
  return SettingKey{KeyType::Text, Clamp::None, std::move(name), SettingValue::OfText(std::move(value)), 0, 0};
}

SettingSection FilterSection(std::int32_t include_on, std::u16string include_text) {
  return {kSectionFilter,
          {CheckKey(kKeyInclude, include_on), TextKey(kKeyIncludeText, std::move(include_text)),
           CheckKey(kKeyExclude, 0), TextKey(kKeyExcludeText, u"")}};
}

SettingKey* SettingsTable::Find(std::u16string_view section, std::u16string_view key) {
  for (SettingSection& s : Sections) {
    if (s.Name != section) continue;
    for (SettingKey& k : s.Keys) {
      if (k.KeyName == key) return &k;
    }
  }
  return nullptr;
}

const SettingKey* SettingsTable::Find(std::u16string_view section, std::u16string_view key) const {
  return const_cast<SettingsTable*>(this)->Find(section, key);
}

std::int32_t SettingsTable::Number(std::u16string_view section, std::u16string_view key) const {
  const SettingKey* k = Find(section, key);
  return k != nullptr ? k->Value.AsNumber() : 0;
}

std::u16string SettingsTable::Text(std::u16string_view section, std::u16string_view key) const {
  const SettingKey* k = Find(section, key);
  return k != nullptr ? k->Value.ToText() : std::u16string();
}

void SettingsTable::Set(std::u16string_view section, std::u16string_view key, SettingValue value) {
  if (SettingKey* k = Find(section, key)) k->Value = std::move(value);
}

bool ParseWholeNumber(std::u16string_view text, std::int32_t& value) {
  std::size_t first = 0, last = text.size();
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  if (first == last) return false;
  std::string ascii;
  bool digit = false;
  for (std::size_t i = first; i < last; ++i) {
    const char16_t c = text[i];
    // Plain decimal notation only: no hexadecimal, infinity or other forms strtod would take.
    if (!((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' || c == u'e' || c == u'E')) return false;
    digit = digit || (c >= u'0' && c <= u'9');
    ascii.push_back(char(c));
  }
  if (!digit) return false;
  char* end = nullptr;
  const double d = std::strtod(ascii.c_str(), &end);
  if (end != ascii.c_str() + ascii.size() || !std::isfinite(d)) return false;
  const double rounded = std::nearbyint(d);  // the default rounding mode takes halves to even
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return false;
  value = static_cast<std::int32_t>(rounded);
  return true;
}

void ReadSettingsText(SettingsTable& table, std::string_view bytes) {
  SettingSection* section = nullptr;
  for (std::u16string& line : text::DecodeTextLines(bytes)) {
    const std::size_t start = line.find_first_not_of(u' ');
    if (start == std::u16string::npos) continue;
    line.erase(0, start);
    if (line[0] == u'\'') continue;
    if (line[0] == u'[' && line.back() == u']' && line.size() >= 2) {
      if (section != nullptr) ClampSection(*section);
      std::u16string name = line.substr(1, line.size() - 2);
      const std::size_t bar = name.find(u'|');
      if (bar != std::u16string::npos) name.erase(bar);
      section = nullptr;
      for (SettingSection& s : table.Sections) {
        if (s.Name == name) {
          section = &s;
          break;
        }
      }
      continue;
    }
    const std::size_t eq = line.find(u'=');
    if (eq == std::u16string::npos || section == nullptr) continue;
    if (SettingKey* key = FindSettingKey(*section, line.substr(0, eq))) StoreSettingValue(*key, line.substr(eq + 1));
  }
  if (section != nullptr) ClampSection(*section);
}

std::string WriteSettingsText(const SettingsTable& table, const std::u16string& program_name) {
  std::vector<std::u16string> lines = {
      u"問題が起きたらこのファイルを削除してください。",
      u"「" + program_name + u"」を起動後、何もせずにEscキーを使わずに",
      u"終了するとデフォルトの設定ファイルが生成されます。",
      u"",
  };
  for (const SettingSection& section : table.Sections) {
    lines.push_back(u"[" + section.Name + u"]");
    for (const SettingKey& key : section.Keys) lines.push_back(key.KeyName + u"=" + key.Value.ToText());
    lines.push_back(u"");
  }
  return text::EncodeTextLines(lines);
}

std::u16string OpenFailedText(const std::u16string& path, const std::u16string& why) {
  return path + kOpenErrorText + (why.empty() ? std::u16string() : u"\r\n" + why);
}

SettingsFile::SettingsFile(const std::u16string& folder, std::u16string program_name)
    : program_name_(std::move(program_name)),
      file_name_(program_name_ + u".ini"),
      path_(platform::JoinPath(folder, file_name_)) {}

bool SettingsFile::Load(SettingsTable defaults, std::u16string& why) {
  table_ = std::move(defaults);
  if (!platform::PathExists(path_)) return true;
  std::string bytes;
  platform::IoError error;
  if (!platform::ReadWholeFile(path_, bytes, error, kMaxOwnFileSize)) {
    why = OpenFailedText(path_, platform::ErrorText(error));
    return false;
  }
  ReadSettingsText(table_, bytes);
  return true;
}

bool SettingsFile::Save(const std::function<void(SettingsTable&)>& collect_settings, std::u16string& why) {
  if (collect_settings) collect_settings(table_);
  if (platform::WriteWholeFile(path_, WriteSettingsText(table_, program_name_))) return true;
  why = file_name_ + kOpenErrorText;
  return false;
}

}  // namespace settings
