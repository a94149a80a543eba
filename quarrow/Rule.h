// Rules: a search pattern a whole chart line must match and a replace pattern that gives the new line.
#pragma once

#include <string>
#include <string_view>

#include "toolkit/match/Matcher.h"

namespace quarrow {

// A rule list entry as the window keeps it: search + " → " + replace, and the search pattern's length,
// which (not a search for the arrow) separates the two, so a pattern may hold the arrow itself.
struct RuleEntry {
  std::u16string Text;
  int Split = 0;
  bool operator==(const RuleEntry&) const = default;
};

inline constexpr char16_t kRuleSeparator[] = u" \u2192 ";

std::u16string JoinRuleText(const std::u16string& search, const std::u16string& replace);
RuleEntry MakeRuleEntry(const std::u16string& search, const std::u16string& replace);
void SplitRuleText(const std::u16string& text, int split, std::u16string& search, std::u16string& replace);
// The comparison the text mode switch stands for: ASCII letters without case when it is on.
inline text::CaseMode RuleCase(bool textModeOn) { return textModeOn ? text::CaseMode::Text : text::CaseMode::Binary; }
// Sets the matcher up for the pair (whole lines); true when the pair is a usable rule.
bool SetupMatcher(Matcher& matcher, const std::u16string& search, const std::u16string& replace,
                  text::CaseMode mode);
// Why a pattern pair is refused as a rule, in one line; empty when it is a usable one. Refused are a
// pattern with a line break or a NUL (it would break the chart's lines, and no rule file could keep
// it), a replace pattern that cannot be paired with the search pattern, and one with a code unit no
// chart could hold (half a surrogate pair). Text that one chart's encoding cannot hold fails that
// chart alone.
std::u16string RuleReason(const std::u16string& search, const std::u16string& replace, text::CaseMode mode);
// The message a refused pair is shown with: the rule error message when the patterns cannot be
// paired, else the reason; empty for a usable rule.
std::u16string RuleError(const std::u16string& search, const std::u16string& replace, text::CaseMode mode);

class Rule {
 public:
  // The command the replace pattern begins with, 0 when none.
  int CommandNum = 0;
  bool MakeRule(const std::u16string &entry, int split, text::CaseMode mode);
  // True when the whole line matched; the line then holds the rewritten text.
  bool Convert(std::u16string& line) { return matcher_.MatchAndReplaceFileName(line); }
  // False when the line's bytes show that the rule cannot match it: a line matches only when it
  // begins with the search pattern's leading ASCII text, and ASCII characters are the same single
  // bytes in every chart, so most lines need no decoding at all.
  bool MayMatch(std::string_view raw) const;

 private:
  Matcher matcher_;
  std::string prefix_;  // leading ASCII text of the search pattern, lowered in text mode
  bool fold_ = false;
};

}  // namespace quarrow
