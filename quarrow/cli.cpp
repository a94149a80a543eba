#include "quarrow/cli.h"

#include <cstdio>
#include <variant>

#include "quarrow/mdlMain.h"
#include "quarrow/mdlRuleIO.h"
#include "quarrow/mdlSettings.h"
#include "toolkit/cli/mdlCli.h"
#include "toolkit/mdlMessages.h"
#include "toolkit/mdlTools.h"
#include "toolkit/platform/console.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/text.h"

namespace quarrow {
namespace {

constexpr char kDescription[] =
    "Rewrites whole lines of every chart in TARGET_FOLDER by an ordered list of wildcard rules (\"*\" any\n"
    "run of characters, \"?\" one character); the first rule that matches a line rewrites it.\n";

std::string U8(const std::u16string& text) { return platform::ToUtf8(text); }

void PrintChange(const ChartChange& change, bool dry_run, bool lines) {
  platform::Print(stdout, "%s %s (%zu lines changed)\n", dry_run ? "would rewrite" : "rewrote",
                  mdlCli::Shown(change.Path).c_str(), change.Count);
  if (!lines) return;
  for (const auto& [before, after] : change.Lines) {
    platform::Print(stdout, "  - %s\n  + %s\n", U8(before).c_str(), U8(after).c_str());
  }
}

// A rule typed on the command line, or a rule file: taken in the order given.
struct TypedRule {
  std::u16string search, replace;
};
using RuleSource = std::variant<TypedRule, std::u16string>;

}  // namespace

int CliMain(const std::vector<std::u16string>& args) {
  mdlCli::Session cli(u"Quarrow", "quarrow-cli", kDescription, InitSettingsTable());
  RunOptions options;
  options.FromSettings(mdlOptions::Table());
  // A relative material base folder in the settings file is relative to the program's folder.
  if (!options.MaterialText.empty()) options.MaterialText = mdlTools::GetFullPath(options.MaterialText, mdlTools::AppFolder());

  std::vector<RuleSource> sources;
  bool verbose = false, material_given = false;
  using Values = std::vector<std::u16string>;
  using Refusal = std::optional<std::string>;
  cli.Add({"--rule", "", "SEARCH REPLACE", "a rule (repeatable, kept in order with --rules); replaces Quarrow.rul",
           nullptr, [&](const Values& v, bool) -> Refusal {
             sources.emplace_back(TypedRule{v[0], v[1]});
             return std::nullopt;
           }});
  cli.Add({"--rules", "", "FILE", "the rules of a rule file (repeatable, in order); replaces Quarrow.rul", nullptr,
           [&](const Values& v, bool) -> Refusal {
             sources.emplace_back(mdlCli::Session::FullPath(v[0]));
             return std::nullopt;
           }});
  cli.Add({"--material-base", "", "DIR", "the material base folder, for lines such as #WAV01 <set>kick.wav",
           [&] { return options.MaterialText.empty() ? std::string("none") : mdlCli::Shown(options.MaterialText); },
           [&](const Values& v, bool) -> Refusal {
             options.MaterialText = mdlCli::Session::FullPath(v[0]);
             material_given = true;
             return options.MaterialText.empty() ? Refusal("the material base folder is an empty path") : std::nullopt;
           }});
  cli.Add({"--backup", "--no-backup", "", "keep each old chart as CHART~n.mbk",
           [&] { return mdlCli::OnOff(options.BackupOn); }, [&](const Values&, bool negated) -> Refusal {
             options.BackupOn = !negated;
             return std::nullopt;
           }});
  cli.Add({"--file-check", "--no-file-check", "", "rewrite a material line only when its new file exists",
           [&] { return mdlCli::OnOff(options.FileCheckOn); }, [&](const Values&, bool negated) -> Refusal {
             options.FileCheckOn = !negated;
             return std::nullopt;
           }});
  cli.Add({"--text-mode", "--no-text-mode", "", "ASCII letters match without regard to case",
           [&] { return mdlCli::OnOff(options.TextModeOn != 0); }, [&](const Values&, bool negated) -> Refusal {
             options.TextModeOn = negated ? 0 : 1;
             return std::nullopt;
           }});
  cli.Add({"--verbose", "", "", "list the old and new text of every changed line of a real run too", nullptr,
           [&](const Values&, bool) -> Refusal {
             verbose = true;
             return std::nullopt;
           }});
  if (const auto status = cli.Parse(args, options)) return *status;

  // A material base folder named here must be there, whether the file check needs it or not.
  if (material_given && !platform::FolderExists(options.MaterialText)) {
    return cli.BadArguments("no material base folder " + mdlCli::Shown(options.MaterialText));
  }
  if (sources.empty()) LoadRuleFile(options.Rules, options.TextModeOn, u"");
  for (const RuleSource& source : sources) {
    if (const auto* typed = std::get_if<TypedRule>(&source)) {
      const std::u16string error = RuleError(typed->search, typed->replace, options.TextModeOn);
      if (!error.empty()) {
        mdlMessages::ShowMessage(error + u"\r\n" + JoinRuleText(typed->search, typed->replace), u"置換ルール登録",
                                 MsgIcon::Exclamation);
        return 1;
      }
      options.Rules.push_back(MakeRuleEntry(typed->search, typed->replace));
      continue;
    }
    const std::u16string& file = std::get<std::u16string>(source);
    if (!platform::FileExists(file)) return cli.BadArguments("no rule file " + mdlCli::Shown(file));
    LoadRuleFile(options.Rules, options.TextModeOn, file);
  }

  RunHooks hooks;
  const bool dry_run = options.DryRun;
  hooks.Changed = [=](const ChartChange& change) { PrintChange(change, dry_run, dry_run || verbose); };
  hooks.ChangedLines = dry_run || verbose;
  const RunResult result = Run(options, hooks);
  return cli.Finish(result.Outcome, result.Failures);
}

}  // namespace quarrow
