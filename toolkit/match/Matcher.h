// The wildcard engine: one search pattern ("*" any run, "?" one character, everything else literal)
// and one replace pattern built from the pieces of a matched name.
//
// A search pattern is compiled once into a token list and the matcher of CompiledPattern,
// which also holds the rewriting that the pairing of a replace pattern asks for.
//
// In file-name mode the pattern covers the whole name; in substring mode (the initial mode) it is
// wrapped in "*" on both sides and matches at its left-most place in the name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "toolkit/match/CompiledPattern.h"
#include "toolkit/text/Compare.h"

class Matcher {
 public:
  // Whether a replace pattern can rewrite names. Only a usable one (Ready, Ambiguous) changes any.
  enum class ReplaceStatus {
    Ready,
    // Pairing from the start and from the end disagree on some wildcard; the start-first one is in
    // use until SetReplacePatternReverse chooses.
    Ambiguous,
    // No search pattern, or the tokens cannot be paired in order.
    Unpaired,
    // The replacement has more "*" or more "?" than the search pattern.
    ExtraWildcards,
  };

  // Comparison of literal pieces. Nothing is rebuilt.
  text::CaseMode CmpMode() const { return cmp_mode_; }
  void SetCmpMode(text::CaseMode value) {
    cmp_mode_ = value;
    compiled_.SetText(value == text::CaseMode::Text);
  }

  // Writing the mode recompiles the last search pattern when the mode differs from its build.
  bool FileNameMode() const { return file_name_mode_; }
  void SetFileNameMode(bool value);

  // The search pattern, compiled at once; the last replace pattern is then paired again. Reading
  // gives the normalised pattern (in substring mode with its wrapping "*"s).
  std::u16string MatchPattern() const { return norm_pattern_; }
  void SetMatchPattern(const std::u16string& text);
  // Whether a search pattern is compiled.
  bool CanMatching() const { return has_pattern_; }

  bool IsMatch(const std::u16string &name) { return compiled_.Matches(name); }
  // The compiled search pattern's tokens; none while there is no pattern.
  std::vector<std::u16string> MatchTokens() const;

  // The replace pattern, paired with the search tokens at once.
  void SetReplacePattern(const std::u16string& text);
  ReplaceStatus CanReplace() const { return replace_status_; }
  bool CanRewrite() const {
    return replace_status_ == ReplaceStatus::Ready || replace_status_ == ReplaceStatus::Ambiguous;
  }
  // Only while the status is Ambiguous: true builds names from the end-first pairing, false from
  // the start-first one.
  void SetReplacePatternReverse(bool value);
  // On a match, `name` becomes the rewritten name and the result is true;
  // otherwise it is left. Inline like IsMatch, so that a name the rule does not
  // take costs no call.
  bool MatchAndReplaceFileName(std::u16string &name) {
    return CanRewrite() && compiled_.MatchAndRewrite(name);
  }
  // Per search token, the paired replace token: the end-first pairing when
  // `from_end` is true, else the pairing in use.
  std::vector<std::u16string> ReplaceTokens(bool from_end) const;

private:
  static std::vector<std::u16string> BuildTokens(const std::u16string& text, bool search, bool substring);
  static ReplaceStatus Pair(const std::vector<std::u16string> &replace,
                            const std::vector<std::u16string> &search,
                            std::vector<std::u16string> &pairing);
  void UsePairing(const std::vector<std::u16string>& pairing);

  // Kept by value at the front: a match reads it and nothing else of the object.
  CompiledPattern compiled_;
  text::CaseMode cmp_mode_ = text::CaseMode::Binary;
  bool file_name_mode_ = false;
  bool built_mode_ = false;
  bool has_pattern_ = false;
  ReplaceStatus replace_status_ = ReplaceStatus::Unpaired;
  std::u16string norm_pattern_, raw_pattern_;
  std::vector<std::u16string> tokens_, reversed_tokens_;
  std::size_t n_ = 0;  // token count; 0 while no pattern is compiled

  std::u16string raw_replace_;
  std::vector<std::u16string> start_first_, end_first_, in_use_;
};
