// libFuzzer target for the rule file reader: any file reads without a crash, every rule it keeps
// is a usable one, and saving the rules then reading them again gives the same list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "quarrow/Rule.h"
#include "quarrow/RuleFile.h"
#include "toolkit/text/Codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarrow;
  SilentMessages messages;
  std::vector<RuleEntry> list;
  AppendRules(std::string_view(reinterpret_cast<const char*>(data), size), text::CaseMode::Text, list, u"fuzz.rul",
              messages);
  for (const RuleEntry& entry : list) {
    std::u16string search, replace;
    SplitRuleText(entry.Text, entry.Split, search, replace);
    if (!RuleReason(search, replace, text::CaseMode::Text).empty()) std::abort();
  }
  std::vector<RuleEntry> again;
  AppendRules(RuleFileText(list), text::CaseMode::Text, again, u"fuzz.rul", messages);
  // What a file of lines cannot hold: bytes that were no text in the file read (they stand for
  // themselves only in the encoding they came from).
  bool unkept = false;
  for (const RuleEntry& entry : list) {
    for (const char16_t c : entry.Text) unkept = unkept || text::IsEscapeUnit(c);
  }
  if (!unkept && again != list) std::abort();
  return 0;
}
