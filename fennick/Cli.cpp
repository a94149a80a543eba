#include "fennick/Cli.h"

#include <cstdio>

#include "fennick/Run.h"
#include "fennick/Settings.h"
#include "toolkit/cli/CommandLine.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/console.h"
#include "toolkit/text/Codecs.h"

namespace fennick {
namespace {

constexpr char kDescription[] =
    "Writes the sound set's tag (<set>file) into the #WAV and #BMP lines of the charts in TARGET_FOLDER\n"
    "whose files a BM98 sound set holds, and (sync deletion) DELETES FOR GOOD from TARGET_FOLDER every\n"
    "entry the sound set already holds: files and whole folders, without a recycle bin unless --trash\n"
    "is given. Give --no-sync-delete to keep them, or --dry-run to see first what would go.\n";

const char* ModeName(ConvertModes mode) {
  return mode == ConvertModes::Clear ? "clear" : mode == ConvertModes::Redefine ? "redefine" : "normal";
}

}  // namespace

int CliMain(const std::vector<std::u16string>& args) {
  cli::Session cli(u"Fennick", "fennick-cli", kDescription, InitSettingsTable());
  RunOptions options;
  options.FromSettings(cli.Settings());
  // A relative source folder in the settings file is relative to the program's folder. It is taken
  // as written: a stored sound set that has gone must not quietly become its parent folder.
  if (!options.SourceText.empty()) options.SourceText = paths::GetFullPath(options.SourceText, cli.ProgramFolder());

  bool assume_yes = false;
  using Values = std::vector<std::u16string>;
  using Refusal = std::optional<std::string>;
  cli.Add({"--source", "", "DIR", "the sound set folder, or the material base folder with --base-folder",
           [&] { return options.SourceText.empty() ? std::string("none") : cli::Shown(options.SourceText); },
           [&](const Values& v, bool) -> Refusal {
             options.SourceText = cli::Session::FullPath(v[0]);
             if (!options.SourceText.empty()) return std::nullopt;
             return v[0].empty() ? Refusal("the source folder is an empty path")
                                 : Refusal("no source folder " + cli::Shown(v[0]));
           }});
  using Shown = cli::Switch::Shown;
  cli.Add({{"--base-folder", "--sound-set",
            "DIR is BM98's Material folder: each chart folder is paired with the sound set of its own name;"
            " --sound-set: DIR is one sound set folder (with --recursive: used for every folder of the"
            " target tree named like it)",
            options.BaseFolderOn, Shown::Name}});
  cli.Add({"--mode", "", "normal|redefine|clear",
           "normal: lines without a tag only; redefine: every line against this sound set; clear: remove"
           " the tags (with conversion alone and no recursion, no source is needed)",
           [&] { return std::string(ModeName(options.ConvertMode)); }, [&](const Values& v, bool) -> Refusal {
             if (v[0] == u"normal") {
               options.ConvertMode = ConvertModes::Normal;
             } else if (v[0] == u"redefine") {
               options.ConvertMode = ConvertModes::Redefine;
             } else if (v[0] == u"clear") {
               options.ConvertMode = ConvertModes::Clear;
             } else {
               return "unknown mode " + text::ToUtf8(v[0]) + " (normal, redefine or clear)";
             }
             return std::nullopt;
           }});
  cli.Add({
      {"--convert", "--no-convert", "material conversion of the charts", options.ConvertOn},
      {"--sync-delete", "--no-sync-delete", "DELETE FOR GOOD from the chart folder the entries the sound set holds",
       options.SyncDeleteOn},
      {"--trash", "--no-trash",
       "sync deletion moves each entry to the trash of its own volume (the Recycle Bin on Windows)"
       " instead; an entry that cannot go there stays and is reported",
       options.TrashOn},
      {"--backup", "--no-backup", "keep each old chart as CHART~n.cbk", options.BackupOn},
      {"--yes", "", "go on when the source and target folders overlap", assume_yes, Shown::YesNo},
  });
  if (const auto status = cli.Parse(args, options)) return *status;
  cli.Console().SetAssumeYes(assume_yes);

  RunHooks hooks;
  const bool dry_run = options.DryRun;
  hooks.Changed = [dry_run](const ChartChange& change) {
    platform::Print(stdout, "%s %s\n", dry_run ? "would rewrite" : "rewrote", cli::Shown(change.Path).c_str());
    for (const auto& [before, after] : change.Lines) {
      platform::Print(stdout, "  - %s\n  + %s\n", text::ToUtf8(before).c_str(), text::ToUtf8(after).c_str());
    }
  };
  hooks.Leftover = cli::LeftoverPrinter(dry_run);
  const char* deleted = options.TrashOn ? (dry_run ? "would move to trash" : "moved to trash")
                                        : (dry_run ? "would delete" : "deleted");
  hooks.Deleted = [deleted](const DeletedEntry& entry) {
    platform::Print(stdout, "%s %s", deleted, cli::Shown(entry.Path).c_str());
    if (entry.Folder) platform::Print(stdout, " (folder, %zu entries)", entry.Held);
    platform::Print(stdout, "\n");
  };
  const RunResult result = Run(cli.Context(), options, hooks);
  return cli.Finish(result.Outcome, result.Failures);
}

}  // namespace fennick
