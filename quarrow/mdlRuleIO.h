// The rule file: for every rule its search pattern, its replace pattern and an empty line; CP932, or
// UTF-8 with a byte-order mark when a pattern does not fit CP932.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quarrow/clsRules.h"

namespace quarrow {

// The default rule file: the program's folder, the executable's name and ".rul".
std::u16string DefaultRuleFilePath();

// Reads lines one by one from a rule file's text.
class RuleFileReader {
 public:
  explicit RuleFileReader(std::vector<std::u16string> lines) : lines_(std::move(lines)) {}
  bool AtEnd() const { return next_ >= lines_.size(); }
  std::u16string ReadLine() { return AtEnd() ? std::u16string() : lines_[next_++]; }

 private:
  std::vector<std::u16string> lines_;
  std::size_t next_ = 0;
};

// The next line that is not empty (a line of blanks counts), or empty at the end.
std::u16string ReadNonEmptyLine(RuleFileReader& file);
// Appends the valid rules of a rule file's bytes to the list; `file` names it in a warning.
void AppendRules(std::string_view bytes, int textMode, std::vector<RuleEntry>& list, const std::u16string& file);
// Appends the valid rules of the file (the default rule file for an empty path) to the list; a
// missing file says nothing, one that cannot be read says so.
void LoadRuleFile(std::vector<RuleEntry>& list, int textMode, const std::u16string& path);
// Writes the whole list to the default rule file, replacing it. False (after a message) on failure.
bool SaveRuleFile(const std::vector<RuleEntry>& list);
// The file's bytes for a list.
std::string RuleFileText(const std::vector<RuleEntry>& list);

}  // namespace quarrow
