#include "quarrow/Cli.h"

#include <cstdio>
#include <variant>

#include "quarrow/Check.h"
#include "quarrow/Run.h"
#include "quarrow/RuleFile.h"
#include "quarrow/Settings.h"
#include "toolkit/cli/CommandLine.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/console.h"
#include "toolkit/platform/fs.h"
#include "toolkit/text/Codecs.h"

namespace quarrow {
namespace {

constexpr char kDescription[] =
    "Rewrites whole lines of every chart in TARGET_FOLDER by an ordered list of wildcard rules (\"*\" any\n"
    "run of characters, \"?\" one character); the first rule that matches a line rewrites it. With --check\n"
    "it rewrites nothing and lists the files the charts name instead.\n";

std::string U8(const std::u16string& text) { return text::ToUtf8(text); }

void PrintChange(const ChartChange& change, bool dry_run, bool lines) {
  platform::Print(stdout, "%s %s (%zu lines changed)\n", dry_run ? "would rewrite" : "rewrote",
                  cli::Shown(change.Path).c_str(), change.Count);
  if (!lines) return;
  for (const auto& [before, after] : change.Lines) {
    platform::Print(stdout, "  - %s\n  + %s\n", U8(before).c_str(), U8(after).c_str());
  }
}

const char* StateWord(RefState state) {
  switch (state) {
    case RefState::Found: return "found";
    case RefState::OtherCase: return "other-case";
    case RefState::OtherExtension: return "other-ext";
    case RefState::Missing: break;
  }
  return "missing";
}

// --check: the report, its summary line, and the rule file of the case fixes when asked for. Exit
// status 2 when a file is missing, as when something failed.
int Check(cli::Session& cli, const RunOptions& options, const std::u16string& rule_file) {
  const CheckReport report = CheckReferences(cli.Context(), options);
  if (report.Outcome == RunOutcome::Warned) return 1;
  for (const ChartReport& chart : report.Charts) {
    std::printf("%s\n", cli::Shown(chart.Path).c_str());
    for (const Reference& ref : chart.References) {
      std::printf("  %-10s line %zu: %s%s\n", StateWord(ref.State), ref.Line,
                  cli::Shown(ref.Ref.Command + u" " + ref.Ref.Name).c_str(),
                  ref.Stored.empty() ? "" : (" -> " + cli::Shown(ref.Stored)).c_str());
    }
  }
  for (const FolderReport& folder : report.Folders) {
    for (const std::u16string& name : folder.Unreferenced) {
      std::printf("unreferenced %s\n", cli::Shown(platform::JoinPath(folder.Path, name)).c_str());
    }
  }
  cli.Console().ShowMessage(CheckSummary(report), u"確認結果", MsgIcon::None);
  bool written = true;
  if (!rule_file.empty() && report.Outcome == RunOutcome::Finished) {
    const CaseRules rules = CaseFixRules(report);
    for (const LeftOutLine& left : rules.LeftOut) {
      std::printf("left out of the rule file: %s line %zu: %s (%s)\n", cli::Shown(left.Chart).c_str(), left.Line,
                  U8(left.Text).c_str(), U8(left.Reason).c_str());
    }
    written = platform::WriteWholeFile(rule_file, RuleFileText(rules.Rules));
    if (written) {
      std::printf("wrote %zu rules to %s (run them with --no-text-mode)\n", rules.Rules.size(),
                  cli::Shown(rule_file).c_str());
    } else {
      std::fprintf(stderr, "quarrow-cli: the rule file %s could not be written\n", cli::Shown(rule_file).c_str());
    }
  }
  const int status = cli.Finish(report.Outcome, report.Failures);
  return status == 0 && (report.Counts.Missing > 0 || !written) ? 2 : status;
}

// A rule typed on the command line, or a rule file: taken in the order given.
struct TypedRule {
  std::u16string search, replace;
};
using RuleSource = std::variant<TypedRule, std::u16string>;

}  // namespace

int CliMain(const std::vector<std::u16string>& args) {
  cli::Session cli(u"Quarrow", "quarrow-cli", kDescription, InitSettingsTable());
  RunOptions options;
  options.FromSettings(cli.Settings());
  const std::u16string own_rules = RuleFilePath(cli.ProgramFolder(), cli.ProgramName());
  // A relative material base folder in the settings file is relative to the program's folder.
  if (!options.MaterialText.empty()) options.MaterialText = paths::GetFullPath(options.MaterialText, cli.ProgramFolder());

  std::vector<RuleSource> sources;
  bool verbose = false, material_given = false, check = false;
  std::u16string rule_output;
  using Values = std::vector<std::u16string>;
  using Refusal = std::optional<std::string>;
  cli.Add({"--rule", "", "SEARCH REPLACE", "a rule (repeatable, kept in order with --rules); replaces Quarrow.rul",
           nullptr, [&](const Values& v, bool) -> Refusal {
             sources.emplace_back(TypedRule{v[0], v[1]});
             return std::nullopt;
           }});
  cli.Add({"--rules", "", "FILE", "the rules of a rule file (repeatable, in order); replaces Quarrow.rul", nullptr,
           [&](const Values& v, bool) -> Refusal {
             sources.emplace_back(cli::Session::FullPath(v[0]));
             return std::get<std::u16string>(sources.back()).empty() ? Refusal("no rule file " + cli::Shown(v[0]))
                                                                     : std::nullopt;
           }});
  cli.Add({"--material-base", "", "DIR", "the material base folder, for lines such as #WAV01 <set>kick.wav",
           [&] { return options.MaterialText.empty() ? std::string("none") : cli::Shown(options.MaterialText); },
           [&](const Values& v, bool) -> Refusal {
             options.MaterialText = cli::Session::FullPath(v[0]);
             material_given = true;
             if (!options.MaterialText.empty()) return std::nullopt;
             return v[0].empty() ? Refusal("the material base folder is an empty path")
                                 : Refusal("no material base folder " + cli::Shown(v[0]));
           }});
  using Shown = cli::Switch::Shown;
  cli.Add({
      {"--backup", "--no-backup", "keep each old chart as CHART~n.mbk", options.BackupOn},
      {"--file-check", "--no-file-check", "rewrite a material line only when its new file exists", options.FileCheckOn},
      {"--text-mode", "--no-text-mode", "ASCII letters match without regard to case", options.TextModeOn},
      {"--verbose", "", "list the old and new text of every changed line of a real run too", verbose, Shown::None},
      {"--check", "",
       "check instead of rewriting: list each file the charts name as found, other-case, other-ext or missing, "
       "then the files no chart names (exit status 2 when one is missing)",
       check, Shown::None},
  });
  cli.Add({"--write-rules", "", "FILE",
           "with --check: write a rule file that respells each name found only in another letter case as stored",
           nullptr, [&](const Values& v, bool) -> Refusal {
             rule_output = cli::Session::FullPath(v[0]);
             if (rule_output.empty()) return Refusal("no rule file to write " + cli::Shown(v[0]));
             // The window's own rules are never replaced from here.
             if (rule_output == own_rules || platform::SameFile(rule_output, own_rules)) {
               return Refusal("the command line does not write " + cli::Shown(own_rules));
             }
             return std::nullopt;
           }});
  if (const auto status = cli.Parse(args, options)) return *status;
  if (!rule_output.empty() && !check) return cli.BadArguments("--write-rules needs --check");
  if (check && !sources.empty()) return cli.BadArguments("--check takes no rules");

  // A material base folder named here must be there, whether the file check needs it or not.
  if (material_given && !platform::FolderExists(options.MaterialText)) {
    return cli.BadArguments("no material base folder " + cli::Shown(options.MaterialText));
  }
  if (check) return Check(cli, options, rule_output);
  // A rule file that cannot be read whole stops the run: it would run with other rules than the user's.
  if (sources.empty() && !LoadRuleFile(options.Rules, RuleCase(options.TextModeOn), own_rules, cli.Console())) return 1;
  for (const RuleSource& source : sources) {
    if (const auto* typed = std::get_if<TypedRule>(&source)) {
      const std::u16string error = RuleError(typed->search, typed->replace, RuleCase(options.TextModeOn));
      if (!error.empty()) {
        cli.Console().ShowMessage(error + u"\r\n" + JoinRuleText(typed->search, typed->replace), u"置換ルール登録",
                                 MsgIcon::Exclamation);
        return 1;
      }
      options.Rules.push_back(MakeRuleEntry(typed->search, typed->replace));
      continue;
    }
    const std::u16string& file = std::get<std::u16string>(source);
    if (!platform::FileExists(file)) return cli.BadArguments("no rule file " + cli::Shown(file));
    if (!LoadRuleFile(options.Rules, RuleCase(options.TextModeOn), file, cli.Console())) return 1;
  }

  RunHooks hooks;
  const bool dry_run = options.DryRun;
  hooks.Changed = [=](const ChartChange& change) { PrintChange(change, dry_run, dry_run || verbose); };
  hooks.ChangedLines = dry_run || verbose;
  hooks.Leftover = cli::LeftoverPrinter(dry_run);
  const RunResult result = Run(cli.Context(), options, hooks);
  return cli.Finish(result.Outcome, result.Failures);
}

}  // namespace quarrow
