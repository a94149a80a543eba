// libFuzzer target for the settings reader: any file reads without a crash, every value stays
// within its key's range, and what the writer makes of the table reads back to the same table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "toolkit/settings/Settings.h"

namespace {

settings::SettingsTable Defaults() {
  using namespace settings;
  SettingsTable t;
  t.Sections = {
      {kSectionSystem, {NumberKey(u"Window Top", 50), NumberKey(u"Window Left", 50), TextKey(kKeyTarget, u"")}},
      FilterSection(1, u"*.bms;*.bme"),
      {kSectionProcess, {CheckKey(kKeyRecursive, 0), NumberKey(u"変換モード", 0, Clamp::Both, 0, 2), TextKey(u"拡張子", u"bmp")}},
  };
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace settings;
  SettingsTable table = Defaults();
  ReadSettingsText(table, std::string_view(reinterpret_cast<const char*>(data), size));
  for (const SettingSection& section : table.Sections) {
    for (const SettingKey& key : section.Keys) {
      const std::int32_t v = key.Value.AsNumber();
      const bool min = key.RangeCheck == Clamp::Min || key.RangeCheck == Clamp::Both;
      const bool max = key.RangeCheck == Clamp::Max || key.RangeCheck == Clamp::Both;
      if ((min && v < key.MinValue) || (max && v > key.MaxValue)) std::abort();
    }
  }
  // Values that hold a line end cannot survive a file of lines; the others must.
  const std::string written = WriteSettingsText(table, u"Fuzz");
  SettingsTable again = Defaults();
  ReadSettingsText(again, written);
  for (std::size_t s = 0; s < table.Sections.size(); ++s) {
    for (std::size_t k = 0; k < table.Sections[s].Keys.size(); ++k) {
      const std::u16string before = table.Sections[s].Keys[k].Value.ToText();
      if (before.find_first_of(u"\r\n") != std::u16string::npos) continue;
      if (again.Sections[s].Keys[k].Value.ToText() != before) std::abort();
    }
  }
  return 0;
}
