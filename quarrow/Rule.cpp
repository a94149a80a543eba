#include "quarrow/Rule.h"

#include <algorithm>

#include "quarrow/Commands.h"
#include "toolkit/text/Codecs.h"

namespace quarrow {

std::u16string JoinRuleText(const std::u16string& search, const std::u16string& replace) {
  return search + kRuleSeparator + replace;
}

RuleEntry MakeRuleEntry(const std::u16string& search, const std::u16string& replace) {
  return RuleEntry{JoinRuleText(search, replace), static_cast<int>(search.size())};
}

void SplitRuleText(const std::u16string& text, int split, std::u16string& search, std::u16string& replace) {
  // A split position that does not fit the text (a hand-made list) cuts where it can.
  const std::size_t at = std::min<std::size_t>(static_cast<std::size_t>(std::max(split, 0)), text.size());
  search = text.substr(0, at);
  const std::size_t rest = at + std::char_traits<char16_t>::length(kRuleSeparator);
  replace = rest < text.size() ? text.substr(rest) : std::u16string();
}

bool SetupMatcher(Matcher& matcher, const std::u16string& search, const std::u16string& replace,
                  text::CaseMode mode) {
  matcher.SetMatchPattern(u"");
  matcher.SetReplacePattern(u"");
  matcher.SetCmpMode(mode);
  matcher.SetFileNameMode(true);
  matcher.SetMatchPattern(search);
  matcher.SetReplacePattern(replace);
  return matcher.CanReplace() == Matcher::ReplaceStatus::Ready;
}

namespace {
constexpr char16_t kPairingReason[] = u"置換後の方がワイルドカードの数が多いか、置換後のパタンを一意に解釈できません";
}  // namespace

std::u16string RuleReason(const std::u16string& search, const std::u16string& replace, text::CaseMode mode) {
  if ((search + replace).find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string::npos) {
    return u"パタンに改行文字か NUL 文字があります";
  }
  Matcher checker;
  if (!SetupMatcher(checker, search, replace, mode)) return kPairingReason;
  // Wildcards bring text of the chart itself; the pattern's own characters must be text that a chart
  // can hold in one of its encodings (which one is the chart's matter): no half of a surrogate pair.
  for (std::size_t i = 0; i < replace.size(); ++i) {
    const char16_t code = replace[i];
    const bool high = code >= 0xD800 && code <= 0xDBFF;
    if (high && i + 1 < replace.size() && replace[i + 1] >= 0xDC00 && replace[i + 1] <= 0xDFFF &&
        !text::IsEscapeUnit(replace[i + 1])) {
      ++i;
      continue;
    }
    if (!high && (code < 0xDC00 || code > 0xDFFF)) continue;
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string hex = u"U+";
    for (int shift = 12; shift >= 0; shift -= 4) hex += kHex[(code >> shift) & 15];
    return u"置換パタンに書けない文字があります: (" + hex + u")";
  }
  return std::u16string();
}

std::u16string RuleError(const std::u16string& search, const std::u16string& replace, text::CaseMode mode) {
  const std::u16string reason = RuleReason(search, replace, mode);
  if (reason != kPairingReason) return reason;
  return u"置換ルールが間違っています。次の点をチェックしてください。\r\n"
         u"　　・置換後の方がワイルドカードの数が多い\r\n"
         u"　　・置換後のパタンを一意に解釈できない";
}

bool Rule::MakeRule(const std::u16string &entry, int split,
                    text::CaseMode mode) {
  std::u16string search, replace;
  SplitRuleText(entry, split, search, replace);
  const bool valid = SetupMatcher(matcher_, search, replace, mode);
  CommandNum = FindCommand(replace);
  fold_ = mode == text::CaseMode::Text;
  prefix_.clear();
  for (const char16_t c : search) {
    if (c == u'*' || c == u'?' || c >= 0x80) break;
    prefix_.push_back(static_cast<char>(fold_ ? text::FoldAscii(c) : c));
  }
  return valid;
}

bool Rule::MayMatch(std::string_view raw) const {
  if (raw.size() < prefix_.size()) return false;
  for (std::size_t i = 0; i < prefix_.size(); ++i) {
    const char c = fold_ ? static_cast<char>(text::FoldAscii(static_cast<unsigned char>(raw[i]))) : raw[i];
    if (c != prefix_[i]) return false;
  }
  return true;
}

}  // namespace quarrow
