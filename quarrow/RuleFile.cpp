#include "quarrow/RuleFile.h"

#include "toolkit/settings/Settings.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"
#include "toolkit/text/Codecs.h"

namespace quarrow {
namespace {
constexpr char16_t kRuleFileTitle[] = u"ルールファイル";
// How many of a file's unusable pairs a warning names; the rest are counted.
constexpr std::size_t kListedProblems = 10;
}  // namespace

std::u16string RuleFilePath(const std::u16string& program_folder, const std::u16string& program_name) {
  return platform::JoinPath(program_folder, program_name + u".rul");
}

std::u16string ReadNonEmptyLine(RuleFileReader& file) {
  while (!file.AtEnd()) {
    std::u16string line = file.ReadLine();
    if (!line.empty()) return line;
  }
  return std::u16string();
}

std::vector<RuleFilePair> ReadRulePairs(const std::vector<std::u16string>& lines) {
  // As the writer lays rules out: a search pattern, its replace pattern (an empty one is an empty
  // line), an empty line; the file's last empty line may have gone.
  std::vector<RuleFilePair> pairs;
  bool written = true;
  for (std::size_t i = 0; written && i < lines.size(); i += 3) {
    written = !lines[i].empty() && i + 1 < lines.size() && (i + 2 >= lines.size() || lines[i + 2].empty());
    if (written) pairs.push_back({i + 1, lines[i], lines[i + 1], true});
  }
  if (written) return pairs;
  pairs.clear();
  RuleFileReader reader(lines);
  for (std::u16string search = ReadNonEmptyLine(reader); !search.empty(); search = ReadNonEmptyLine(reader)) {
    const std::size_t line = reader.LineNumber();
    std::u16string replace = ReadNonEmptyLine(reader);
    const bool paired = !replace.empty();
    pairs.push_back({line, std::move(search), std::move(replace), paired});
  }
  return pairs;
}

bool AppendRules(std::string_view bytes, text::CaseMode mode, std::vector<RuleEntry>& list, const std::u16string& file,
                 MessageSink& messages) {
  std::u16string problems;
  std::size_t count = 0;
  for (const RuleFilePair& pair : ReadRulePairs(text::DecodeTextLines(bytes))) {
    const std::u16string why =
        pair.HasReplace ? RuleReason(pair.Search, pair.Replace, mode) : u"置換パタンがありません";
    if (why.empty()) {
      list.push_back(MakeRuleEntry(pair.Search, pair.Replace));
      continue;
    }
    if (++count > kListedProblems) continue;
    problems += u"\r\n　" + paths::Decimal(static_cast<std::int64_t>(pair.Line)) + u" 行目「" +
                (pair.HasReplace ? JoinRuleText(pair.Search, pair.Replace) : pair.Search) + u"」: " + why;
  }
  if (count == 0) return true;
  if (count > kListedProblems) {
    problems += u"\r\n　… ほか " + paths::Decimal(static_cast<std::int64_t>(count - kListedProblems)) + u" 件";
  }
  messages.ShowMessage(file + u" の次のルールは使えないため、読み込みませんでした。" + problems, kRuleFileTitle,
                           MsgIcon::Exclamation);
  return false;
}

bool LoadRuleFile(std::vector<RuleEntry>& list, text::CaseMode mode, const std::u16string& file, MessageSink& messages) {
  if (!platform::PathExists(file)) return true;
  std::string bytes;
  platform::IoError error;
  if (!platform::ReadWholeFile(file, bytes, error, settings::kMaxOwnFileSize)) {
    messages.ShowMessage(settings::OpenFailedText(file, platform::ErrorText(error)), settings::kOpenErrorTitle,
                         MsgIcon::Critical);
    return false;
  }
  return AppendRules(bytes, mode, list, file, messages);
}

std::string RuleFileText(const std::vector<RuleEntry>& list) {
  std::vector<std::u16string> lines;
  for (const RuleEntry& entry : list) {
    std::u16string search, replace;
    SplitRuleText(entry.Text, entry.Split, search, replace);
    lines.push_back(search);
    lines.push_back(replace);
    lines.push_back(u"");
  }
  return text::EncodeTextLines(lines);
}

bool SaveRuleFile(const std::vector<RuleEntry>& list, const std::u16string& path, MessageSink& messages) {
  const std::string bytes = RuleFileText(list);
  // The file is read back before it is written: a rule it would not give back as it is, or give
  // back as no rule, keeps the old file as it was.
  const std::vector<RuleFilePair> back = ReadRulePairs(text::DecodeTextLines(bytes));
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::u16string search, replace;
    SplitRuleText(list[i].Text, list[i].Split, search, replace);
    const std::u16string why = RuleReason(search, replace, text::CaseMode::Text);
    if (why.empty() && i < back.size() && back[i].Search == search && back[i].Replace == replace) continue;
    messages.ShowMessage(path + u" に次のルールを保存できないため、ルールファイルを書き換えませんでした。\r\n" +
                             JoinRuleText(search, replace) + (why.empty() ? std::u16string() : u"\r\n" + why),
                         kRuleFileTitle, MsgIcon::Exclamation);
    return false;
  }
  if (!platform::WriteWholeFile(path, bytes)) {
    messages.ShowMessage(settings::OpenFailedText(path, u""), settings::kOpenErrorTitle, MsgIcon::Critical);
    return false;
  }
  return true;
}

}  // namespace quarrow
