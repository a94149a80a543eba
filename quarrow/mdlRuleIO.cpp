#include "quarrow/mdlRuleIO.h"

#include "toolkit/mdlMessages.h"
#include "toolkit/mdlTools.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/text.h"

namespace quarrow {
namespace {
constexpr char16_t kOpenErrorTitle[] = u"ファイルオープンエラー";
constexpr char16_t kOpenErrorText[] = u" のオープンに失敗しました。";
}  // namespace

std::u16string DefaultRuleFilePath() {
  if (mdlTools::AppFolder().empty()) mdlTools::InitAppFolder();
  return platform::JoinPath(mdlTools::AppFolder(), mdlTools::ProgramName() + u".rul");
}

std::u16string ReadNonEmptyLine(RuleFileReader& file) {
  while (!file.AtEnd()) {
    std::u16string line = file.ReadLine();
    if (!line.empty()) return line;
  }
  return std::u16string();
}

void AppendRules(std::string_view bytes, int textMode, std::vector<RuleEntry>& list, const std::u16string& file) {
  RuleFileReader reader(platform::DecodeTextLines(bytes));
  clsMatching checker;
  for (std::u16string search = ReadNonEmptyLine(reader); !search.empty(); search = ReadNonEmptyLine(reader)) {
    const std::u16string replace = ReadNonEmptyLine(reader);
    if (replace.empty()) {
      // An odd number of patterns: the last one has no partner, and is no rule the user wrote.
      mdlMessages::ShowMessage(file + u" の最後の検索パタン「" + search +
                                   u"」には置換パタンがありません。このパタンは読み込みませんでした。",
                               u"ルールファイル", MsgIcon::Exclamation);
      break;
    }
    if (SetupMatcher(checker, search, replace, textMode)) list.push_back(MakeRuleEntry(search, replace));
  }
}

void LoadRuleFile(std::vector<RuleEntry>& list, int textMode, const std::u16string& path) {
  const std::u16string file = path.empty() ? DefaultRuleFilePath() : path;
  if (!platform::FileExists(file)) return;
  std::string bytes;
  if (!platform::ReadWholeFile(file, bytes)) {
    mdlMessages::ShowMessage(file + kOpenErrorText, kOpenErrorTitle, MsgIcon::Critical);
    return;
  }
  AppendRules(bytes, textMode, list, file);
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
  return platform::EncodeTextLines(lines);
}

bool SaveRuleFile(const std::vector<RuleEntry>& list) {
  const std::u16string path = DefaultRuleFilePath();
  if (!platform::WriteWholeFile(path, RuleFileText(list))) {
    mdlMessages::ShowMessage(path + kOpenErrorText, kOpenErrorTitle, MsgIcon::Critical);
    return false;
  }
  return true;
}

}  // namespace quarrow
