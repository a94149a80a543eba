// The rule file: for every rule its search pattern, its replace pattern and an empty line; CP932, or
// UTF-8 with a byte-order mark when a pattern does not fit CP932. An empty replace pattern is an
// empty line in its place: a file laid out so is read by that layout, any other text as its
// non-empty lines in pairs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quarrow/Rule.h"
#include "toolkit/run/Messages.h"

namespace quarrow {

// A program's rule file: in its folder, named after it with ".rul".
std::u16string RuleFilePath(const std::u16string& program_folder, const std::u16string& program_name);

// Reads lines one by one from a rule file's text.
class RuleFileReader {
 public:
  explicit RuleFileReader(std::vector<std::u16string> lines) : lines_(std::move(lines)) {}
  bool AtEnd() const { return next_ >= lines_.size(); }
  std::u16string ReadLine() { return AtEnd() ? std::u16string() : lines_[next_++]; }
  // The number of the line read last, from 1.
  std::size_t LineNumber() const { return next_; }

 private:
  std::vector<std::u16string> lines_;
  std::size_t next_ = 0;
};

// The next line that is not empty (a line of blanks counts), or empty at the end.
std::u16string ReadNonEmptyLine(RuleFileReader& file);

// A pattern pair of a rule file, with the number of the line its search pattern stands on.
struct RuleFilePair {
  std::size_t Line = 0;
  std::u16string Search, Replace;
  bool HasReplace = true;  // false: the file ends after the search pattern
};
// The pattern pairs of a rule file's lines, as the file layout above tells them.
std::vector<RuleFilePair> ReadRulePairs(const std::vector<std::u16string>& lines);

// Appends the valid rules of a rule file's bytes to the list. The pairs that are no rules are named
// in one warning (`file`, line, why) and left out: false then.
bool AppendRules(std::string_view bytes, text::CaseMode mode, std::vector<RuleEntry>& list, const std::u16string& file,
                 MessageSink& messages);
// Appends the valid rules of the file to the list; a missing file says nothing. False (after a
// message) when the file cannot be read (or is larger than a rule file can be), or holds pairs that
// are no rules.
bool LoadRuleFile(std::vector<RuleEntry>& list, text::CaseMode mode, const std::u16string& file, MessageSink& messages);
// Writes the whole list to the rule file, replacing it, when the file will read back as exactly
// these rules. False (after a message naming the rule it cannot keep, or the file) when it does not
// write it.
bool SaveRuleFile(const std::vector<RuleEntry>& list, const std::u16string& path, MessageSink& messages);
// The file's bytes for a list.
std::string RuleFileText(const std::vector<RuleEntry>& list);

}  // namespace quarrow
