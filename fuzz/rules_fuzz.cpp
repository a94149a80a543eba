// libFuzzer target for the rule file reader: any file reads without a crash, every rule it keeps
// is a usable one, and saving the rules then reading them again gives the same list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "quarrow/clsRules.h"
#include "quarrow/mdlRuleIO.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarrow;
  std::vector<RuleEntry> list;
  AppendRules(std::string_view(reinterpret_cast<const char*>(data), size), 1, list, u"fuzz.rul");
  clsMatching checker;
  for (const RuleEntry& entry : list) {
    std::u16string search, replace;
    SplitRuleText(entry.Text, entry.Split, search, replace);
    if (!SetupMatcher(checker, search, replace, 1)) std::abort();
  }
  std::vector<RuleEntry> again;
  AppendRules(RuleFileText(list), 1, again, u"fuzz.rul");
  // An empty replace pattern is an empty line, which the reader passes over: such a list is the
  // one thing the file cannot hold.
  bool empty_replace = false;
  for (const RuleEntry& entry : list) {
    std::u16string search, replace;
    SplitRuleText(entry.Text, entry.Split, search, replace);
    empty_replace = empty_replace || replace.empty() || search.find_first_of(u"\r\n") != std::u16string::npos ||
                    replace.find_first_of(u"\r\n") != std::u16string::npos;
  }
  if (!empty_replace && again != list) std::abort();
  return 0;
}
