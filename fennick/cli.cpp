#include "cli.h"

#include <cstdio>

#include "mdlCli.h"
#include "mdlMain.h"
#include "mdlMessages.h"
#include "mdlOptions.h"
#include "mdlSettings.h"
#include "mdlTools.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace fennick {
namespace {

constexpr char kUsage[] =
    "usage: fennick-cli [options] TARGET_FOLDER\n"
    "Writes the sound set's tag (<set>file) into the #WAV and #BMP lines of the charts in TARGET_FOLDER\n"
    "whose files a BM98 sound set holds, and deletes from TARGET_FOLDER the entries the sound set\n"
    "already holds. Defaults come from Fennick.ini beside the program; options override\n"
    "them, and the file is never written.\n"
    "\n"
    "  --source DIR            the sound set folder, or the material base folder with --base-folder\n"
    "  --base-folder           DIR is BM98's Material folder: each chart folder is paired with the\n"
    "                          sound set of its own name\n"
    "  --sound-set             DIR is one sound set folder (with --recursive: used for every folder of\n"
    "                          the target tree named like it)\n"
    "  --mode normal|redefine|clear\n"
    "                          normal: lines without a tag only; redefine: every line against\n"
    "                          this sound set; clear: remove the tags (with conversion alone and\n"
    "                          no recursion, no source is needed)\n"
    "  --convert, --no-convert           material conversion of the charts\n"
    "  --sync-delete, --no-sync-delete   delete the entries the sound set holds from the chart folder\n"
    "  --backup, --no-backup             keep each old chart as CHART~n.cbk\n"
    "  --recursive, --no-recursive       subfolders of the target too\n"
    "  --include PATTERNS, --no-include  only the charts that match (\";\"-separated, e.g. \"*.bms;*.bme\")\n"
    "  --exclude PATTERNS, --no-exclude  not the charts that match\n"
    "  --yes                   go on when the source and target folders overlap\n"
    "  --dry-run               list every entry that would be deleted and every line that would change;\n"
    "                          change nothing\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 done, 1 bad arguments or a warning, 2 some items failed, 130 stopped (Ctrl+C).\n";

std::string U8(const std::u16string& text) { return platform::ToUtf8(text); }

void PrintChange(const ChartChange& change, bool dry_run) {
  std::printf("%s %s\n", dry_run ? "would rewrite" : "rewrote", U8(change.Path).c_str());
  for (const auto& [before, after] : change.Lines) {
    std::printf("  - %s\n  + %s\n", U8(before).c_str(), U8(after).c_str());
  }
  std::fflush(stdout);
}

void PrintDeletion(const std::u16string& path, bool dry_run) {
  std::printf("%s %s\n", dry_run ? "would delete" : "deleted", U8(path).c_str());
}

}  // namespace

int CliMain(const std::vector<std::u16string>& args) {
  mdlCli::Session cli(u"Fennick", "fennick-cli", kUsage, InitSettingsTable());
  const mdlOptions::SettingsTable& ini = mdlOptions::Table();
  RunOptions options;
  cli.ReadSettings(options);
  options.SourceText = ini.Text(mdlOptions::kSectionSystem, kKeySource);
  options.SyncDeleteOn = ini.Number(mdlOptions::kSectionProcess, kKeySyncDelete) != 0;
  options.ConvertOn = ini.Number(mdlOptions::kSectionProcess, kKeyConvert) != 0;
  options.ConvertMode = ini.Number(mdlOptions::kSectionProcess, kKeyConvertMode);
  options.BackupOn = ini.Number(mdlOptions::kSectionProcess, kKeyBackup) != 0;
  options.BaseFolderOn = ini.Number(mdlOptions::kSectionProcess, kKeyBaseFolder) != 0;
  // A relative source folder in the settings file is relative to the program's folder. It is taken
  // as written: a stored sound set that has gone must not quietly become its parent folder.
  if (!options.SourceText.empty())
    options.SourceText = mdlTools::GetFullPath(options.SourceText, mdlTools::AppFolder());

  bool assume_yes = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == u"--source") {
      if (!has_value) return cli.BadArguments("--source needs a DIR");
      options.SourceText = mdlTools::GetFullPath(args[++i], u"");
      if (options.SourceText.empty()) return cli.BadArguments("the source folder is no usable path");
    } else if (a == u"--base-folder" || a == u"--sound-set") {
      options.BaseFolderOn = a == u"--base-folder";
    } else if (a == u"--mode") {
      if (!has_value) return cli.BadArguments("--mode needs normal, redefine or clear");
      const std::u16string& mode = args[++i];
      if (mode == u"normal") {
        options.ConvertMode = kModeNormal;
      } else if (mode == u"redefine") {
        options.ConvertMode = kModeRedefine;
      } else if (mode == u"clear") {
        options.ConvertMode = kModeClear;
      } else {
        return cli.BadArguments("unknown mode " + U8(mode) + " (normal, redefine or clear)");
      }
    } else if (a == u"--convert" || a == u"--no-convert") {
      options.ConvertOn = a == u"--convert";
    } else if (a == u"--sync-delete" || a == u"--no-sync-delete") {
      options.SyncDeleteOn = a == u"--sync-delete";
    } else if (a == u"--backup" || a == u"--no-backup") {
      options.BackupOn = a == u"--backup";
    } else if (a == u"--yes") {
      assume_yes = true;
    } else if (const auto status = cli.TakeShared(args, i, options)) {
      return *status;
    }
  }
  if (const auto status = cli.TakeTarget(options)) return *status;
  cli.Console().SetAssumeYes(assume_yes);

  const bool dry_run = cli.DryRun();
  RunState& state = State();
  state.DryRun = dry_run;
  state.OnChange = [dry_run](const ChartChange& change) { PrintChange(change, dry_run); };
  state.OnDelete = [dry_run](const std::u16string& path) { PrintDeletion(path, dry_run); };
  const RunOutcome outcome = Run(options);
  state.OnChange = nullptr;
  state.OnDelete = nullptr;
  state.DryRun = false;
  return mdlCli::ExitStatus(outcome, state.Failures);
}

}  // namespace fennick
