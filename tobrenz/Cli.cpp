#include "tobrenz/Cli.h"

#include <cstdio>

#include "tobrenz/Run.h"
#include "tobrenz/Settings.h"
#include "toolkit/cli/CommandLine.h"
#include "toolkit/platform/console.h"
#include "toolkit/text/Codecs.h"

namespace tobrenz {
namespace {

constexpr char kDescription[] =
    "For every file in TARGET_FOLDER that has a partner of the same name with the comparison extension\n"
    "(photo.png and photo.bmp), DELETES FOR GOOD the larger of the two (no recycle bin unless --trash is\n"
    "given); on equal sizes the target file goes. A kept target takes over its partner's file times. A\n"
    "file that has the comparison extension itself is never its own partner, and a symbolic link is\n"
    "never one side of a pair. Give --dry-run to see first what would go.\n";

void PrintPair(const PairResult& pair, bool dry_run, bool trash) {
  if (!pair.Done) return;  // reported with the failures
  const std::u16string& gone = pair.PartnerGoes ? pair.Partner : pair.Target;
  const std::u16string& kept = pair.PartnerGoes ? pair.Target : pair.Partner;
  const long long gone_size = pair.PartnerGoes ? pair.PartnerSize : pair.TargetSize;
  const long long kept_size = pair.PartnerGoes ? pair.TargetSize : pair.PartnerSize;
  const char* verb = trash ? (dry_run ? "would move to trash" : "moved to trash") : (dry_run ? "would delete" : "deleted");
  platform::Print(stdout, "%s %s (%lld bytes), %s %s (%lld bytes)\n", verb, cli::Shown(gone).c_str(), gone_size,
                  dry_run ? "keep" : "kept", cli::Shown(kept).c_str(), kept_size);
}

}  // namespace

int CliMain(const std::vector<std::u16string>& args) {
  cli::Session cli(u"Tobrenz", "tobrenz-cli", kDescription, InitSettingsTable());
  RunOptions options;
  options.FromSettings(cli.Settings());
  cli.Add({"--ext", "", "EXT", "the comparison extension (\".bmp\" means bmp)",
           [&] { return text::ToUtf8(options.CompareExtText); },
           [&](const std::vector<std::u16string>& v, bool) -> std::optional<std::string> {
             options.CompareExtText = v[0];
             return std::nullopt;
           }});
  cli.Add({{"--trash", "--no-trash",
            "move the file that goes to the trash of its own volume (the Recycle Bin on Windows) instead;"
            " a file that cannot go there stays and is reported",
            options.TrashOn}});
  if (const auto status = cli.Parse(args, options)) return *status;

  RunHooks hooks;
  const bool dry_run = options.DryRun;
  hooks.Pair = [dry_run, trash = options.TrashOn](const PairResult& pair) { PrintPair(pair, dry_run, trash); };
  const RunResult result = Run(cli.Context(), options, hooks);
  return cli.Finish(result.Outcome, result.Failures);
}

}  // namespace tobrenz
