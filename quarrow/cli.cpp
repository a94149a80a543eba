#include "cli.h"

#include <cstdio>

#include "clsMatching.h"
#include "mdlCli.h"
#include "mdlMain.h"
#include "mdlMessages.h"
#include "mdlOptions.h"
#include "mdlRuleIO.h"
#include "mdlSettings.h"
#include "mdlTools.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace quarrow {
namespace {

constexpr char kUsage[] =
    "usage: quarrow-cli [options] TARGET_FOLDER\n"
    "Rewrites whole lines of every chart in TARGET_FOLDER by an ordered list of wildcard rules\n"
    "(\"*\" any run of characters, \"?\" one character). Defaults come from Quarrow.ini and Quarrow.rul\n"
    "beside the program; options override them, and neither file is ever written.\n"
    "\n"
    "  --rule SEARCH REPLACE   a rule, in order (repeatable); replaces the rules of Quarrow.rul\n"
    "  --rules FILE            the rules of a rule file (repeatable); replaces those of Quarrow.rul\n"
    "  --material-base DIR     the material base folder for lines such as #WAV01 <set>kick.wav\n"
    "  --recursive, --no-recursive       charts in subfolders too\n"
    "  --backup, --no-backup             keep each old chart as CHART~n.mbk\n"
    "  --file-check, --no-file-check     rewrite a material line only when its new file exists\n"
    "  --text-mode, --no-text-mode       ASCII letters match without regard to case\n"
    "  --include PATTERNS, --no-include  only the files that match (\";\"-separated, e.g. \"*.bms;*.bme\")\n"
    "  --exclude PATTERNS, --no-exclude  not the files that match\n"
    "  --dry-run               list every chart that would change, with its old and new lines; write nothing\n"
    "  --verbose               list the old and new text of every changed line of a real run too\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 done, 1 bad arguments or a warning, 2 some charts failed, 130 stopped (Ctrl+C).\n";

std::string U8(const std::u16string& text) { return platform::ToUtf8(text); }

void PrintChange(const ChartChange& change, bool dry_run, bool lines) {
  std::printf("%s %s (%zu lines changed)\n", dry_run ? "would rewrite" : "rewrote", U8(change.Path).c_str(),
              change.Lines.size());
  if (!lines) return;
  for (const auto& [before, after] : change.Lines) {
    std::printf("  - %s\n  + %s\n", U8(before).c_str(), U8(after).c_str());
  }
  std::fflush(stdout);
}

}  // namespace

int CliMain(const std::vector<std::u16string>& args) {
  mdlCli::Session cli(u"Quarrow", "quarrow-cli", kUsage, InitSettingsTable());
  const mdlOptions::SettingsTable& ini = mdlOptions::Table();
  RunOptions options;
  cli.ReadSettings(options);
  options.MaterialText = ini.Text(mdlOptions::kSectionSystem, kKeyMaterialBase);
  options.FileCheckOn = ini.Number(mdlOptions::kSectionProcess, kKeyFileCheck) != 0;
  options.TextModeOn = ini.Number(mdlOptions::kSectionProcess, kKeyTextMode) != 0 ? 1 : 0;
  options.BackupOn = ini.Number(mdlOptions::kSectionProcess, kKeyBackup) != 0;
  // A relative material base folder in the settings file is relative to the program's folder.
  if (!options.MaterialText.empty()) options.MaterialText = mdlTools::GetFullPath(options.MaterialText, mdlTools::AppFolder());

  std::vector<std::pair<std::u16string, std::u16string>> typed_rules;
  std::vector<std::u16string> rule_files;
  bool rules_given = false, verbose = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    auto value = [&](std::size_t count) -> bool { return i + count < args.size(); };
    if (a == u"--rule") {
      if (!value(2)) return cli.BadArguments("--rule needs SEARCH and REPLACE");
      typed_rules.emplace_back(args[i + 1], args[i + 2]);
      rules_given = true;
      i += 2;
    } else if (a == u"--rules") {
      if (!value(1)) return cli.BadArguments("--rules needs a FILE");
      rule_files.push_back(mdlTools::GetFullPath(args[++i], u""));
      rules_given = true;
    } else if (a == u"--material-base") {
      if (!value(1)) return cli.BadArguments("--material-base needs a DIR");
      options.MaterialText = mdlTools::GetFullPath(args[++i], u"");
    } else if (a == u"--backup" || a == u"--no-backup") {
      options.BackupOn = a == u"--backup";
    } else if (a == u"--file-check" || a == u"--no-file-check") {
      options.FileCheckOn = a == u"--file-check";
    } else if (a == u"--text-mode" || a == u"--no-text-mode") {
      options.TextModeOn = a == u"--text-mode" ? 1 : 0;
    } else if (a == u"--verbose") {
      verbose = true;
    } else if (const auto status = cli.TakeShared(args, i, options)) {
      return *status;
    }
  }
  if (const auto status = cli.TakeTarget(options)) return *status;

  if (!rules_given) {
    LoadRuleFile(options.Rules, options.TextModeOn, u"");
  }
  for (const auto& [search, replace] : typed_rules) {
    clsMatching checker;
    if (!SetupMatcher(checker, search, replace, options.TextModeOn)) {
      mdlMessages::ShowMessage(u"置換ルールが間違っています。次の点をチェックしてください。\r\n"
                               u"　　・置換後の方がワイルドカードの数が多い\r\n"
                               u"　　・置換後のパタンを一意に解釈できない\r\n" +
                                   search + kRuleSeparator + replace,
                               u"置換ルール登録", MsgIcon::Exclamation);
      return 1;
    }
    options.Rules.push_back(MakeRuleEntry(search, replace));
  }
  for (const auto& file : rule_files) {
    if (!platform::FileExists(file)) return cli.BadArguments("no rule file " + U8(file));
    LoadRuleFile(options.Rules, options.TextModeOn, file);
  }

  const bool dry_run = cli.DryRun();
  RunState& state = State();
  state.DryRun = dry_run;
  state.OnChange = [=](const ChartChange& change) { PrintChange(change, dry_run, dry_run || verbose); };
  const RunOutcome outcome = Run(options);
  state.OnChange = nullptr;
  state.DryRun = false;
  return mdlCli::ExitStatus(outcome, state.Failures);
}

}  // namespace quarrow
