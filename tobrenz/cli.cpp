#include "cli.h"

#include <cstdio>

#include "mdlCli.h"
#include "mdlMain.h"
#include "mdlOptions.h"
#include "mdlSettings.h"
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
  mdlCli::Session cli(u"Tobrenz", "tobrenz-cli", kUsage, InitSettingsTable());
  RunOptions options;
  cli.ReadSettings(options);
  options.CompareExtText = mdlOptions::Table().Text(mdlOptions::kSectionProcess, kKeyCompareExt);

  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == u"--ext") {
      if (i + 1 >= args.size()) return cli.BadArguments("--ext needs an EXT");
      options.CompareExtText = args[++i];
    } else if (const auto status = cli.TakeShared(args, i, options)) {
      return *status;
    }
  }
  if (const auto status = cli.TakeTarget(options)) return *status;

  const bool dry_run = cli.DryRun();
  RunState& state = State();
  state.DryRun = dry_run;
  state.OnPair = [dry_run](const PairResult& pair) { PrintPair(pair, dry_run); };
  const RunOutcome outcome = Run(options);
  state.OnPair = nullptr;
  state.DryRun = false;
  return mdlCli::ExitStatus(outcome, state.Failures);
}

}  // namespace tobrenz
