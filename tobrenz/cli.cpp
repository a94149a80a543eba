#include "cli.h"

#include <cstdio>
#include <optional>

#include "mdlMain.h"
#include "mdlMessages.h"
#include "mdlOptions.h"
#include "mdlSettings.h"
#include "mdlTools.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace tobrenz {
namespace {

constexpr char kUsage[] =
    "usage: tobrenz-cli [options] TARGET_FOLDER\n"
    "For every file in TARGET_FOLDER that has a partner of the same name with the comparison extension\n"
    "(photo.png and photo.bmp), deletes the larger of the two; on equal sizes the target file goes.\n"
    "A kept target takes over its partner's file times. Defaults come from Tobrenz.ini beside the\n"
    "program; options override them, and the file is never written.\n"
    "\n"
    "  --ext EXT                         the comparison extension, without the dot (default bmp)\n"
    "  --recursive, --no-recursive       subfolders too\n"
    "  --include PATTERNS, --no-include  only target files that match (\";\"-separated, e.g. \"*.png;*.jpg\")\n"
    "  --exclude PATTERNS, --no-exclude  not the target files that match\n"
    "  --dry-run               list every pair with the file that would be deleted; delete nothing\n"
    "  --help, --version\n"
    "\n"
    "A file that has the comparison extension itself is never its own partner.\n"
    "Exit status: 0 done, 1 bad arguments or a warning, 2 some files failed, 130 stopped (Ctrl+C).\n";

std::string U8(const std::u16string& text) { return platform::ToUtf8(text); }

int BadArguments(const std::string& why) {
  std::fprintf(stderr, "tobrenz-cli: %s\n(see tobrenz-cli --help)\n", why.c_str());
  return 1;
}

void PrintPair(const PairResult& pair, bool dry_run) {
  if (!pair.Done) return;  // reported with the failures
  const std::u16string& gone = pair.PartnerGoes ? pair.Partner : pair.Target;
  const std::u16string& kept = pair.PartnerGoes ? pair.Target : pair.Partner;
  const long long gone_size = pair.PartnerGoes ? pair.PartnerSize : pair.TargetSize;
  const long long kept_size = pair.PartnerGoes ? pair.TargetSize : pair.PartnerSize;
  std::printf("%s %s (%lld bytes), %s %s (%lld bytes)\n", dry_run ? "would delete" : "deleted", U8(gone).c_str(),
              gone_size, dry_run ? "keep" : "kept", U8(kept).c_str(), kept_size);
}

}  // namespace

int CliMain(const std::vector<std::u16string>& args) {
  mdlTools::SetProgramName(u"Tobrenz");
  mdlTools::InitAppFolder();
  // Relative paths on the command line mean what the shell means by them.
  mdlTools::SetCurrentFolder(platform::CurrentDirectory());

  ConsoleMessages console;
  mdlMessages::SetSink(&console);
  struct Restore {
    ~Restore() { mdlMessages::SetSink(nullptr); }
  } restore;

  mdlOptions::LoadSettings(InitSettingsTable());
  const mdlOptions::SettingsTable& ini = mdlOptions::Table();
  RunOptions options;
  options.CompareExtText = ini.Text(mdlOptions::kSectionProcess, kKeyCompareExt);
  options.RecursiveOn = ini.Number(mdlOptions::kSectionProcess, kKeyRecursive) != 0;
  options.IncludeOn = ini.Number(mdlOptions::kSectionFilter, kKeyInclude) != 0;
  options.IncludeText = ini.Text(mdlOptions::kSectionFilter, kKeyIncludeText);
  options.ExcludeOn = ini.Number(mdlOptions::kSectionFilter, kKeyExclude) != 0;
  options.ExcludeText = ini.Text(mdlOptions::kSectionFilter, kKeyExcludeText);

  std::optional<std::u16string> target;
  bool dry_run = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == u"--help" || a == u"-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == u"--version") {
      std::puts("tobrenz-cli 0.1.0");
      return 0;
    } else if (a == u"--ext") {
      if (!has_value) return BadArguments("--ext needs an EXT");
      options.CompareExtText = args[++i];
    } else if (a == u"--include" || a == u"--exclude") {
      if (!has_value) return BadArguments(U8(a) + " needs PATTERNS");
      (a == u"--include" ? options.IncludeOn : options.ExcludeOn) = true;
      (a == u"--include" ? options.IncludeText : options.ExcludeText) = args[++i];
    } else if (a == u"--no-include") {
      options.IncludeOn = false;
    } else if (a == u"--no-exclude") {
      options.ExcludeOn = false;
    } else if (a == u"--recursive" || a == u"--no-recursive") {
      options.RecursiveOn = a == u"--recursive";
    } else if (a == u"--dry-run") {
      dry_run = true;
    } else if (a.size() > 1 && a[0] == u'-' && a != u"-") {
      return BadArguments("unknown option " + U8(a));
    } else if (target) {
      return BadArguments("only one target folder may be given");
    } else {
      target = a;
    }
  }
  if (!target) return BadArguments("no target folder given");
  options.TargetText = mdlTools::GetFullPath(*target, u"");
  if (options.TargetText.empty()) return BadArguments("the target folder is no usable path");

  RunState& state = State();
  state.DryRun = dry_run;
  state.OnPair = [dry_run](const PairResult& pair) { PrintPair(pair, dry_run); };
  const RunOutcome outcome = Run(options);
  state.OnPair = nullptr;
  state.DryRun = false;
  std::fflush(stdout);

  if (outcome == RunOutcome::Warned) return 1;
  for (const Failure& failed : state.Failures) {
    std::fprintf(stderr, "failed: %s: %s\n", U8(failed.Path).c_str(), U8(failed.Reason).c_str());
  }
  if (outcome == RunOutcome::Cancelled) return 130;
  return state.Failures.empty() ? 0 : 2;
}

}  // namespace tobrenz
