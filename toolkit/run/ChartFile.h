// Rewriting charts without ever losing one: the one pass that reads a chart, offers its lines to a
// program's rewrite, and puts the new content in place.
//
// The new content goes to a temporary file beside the chart, created exclusively so that no two runs
// ever write into one file. As soon as it is written it takes the chart's place in one atomic rename,
// the old chart kept under a backup name first when asked (without a backup the new content is on
// the disk before it replaces the old), provided the chart is still the file that was read: a chart
// saved meanwhile keeps the user's version. At every moment a chart's path holds its old or its new
// content, and a failure leaves the chart as it was. A chart that is a link, or one name of a file
// that has others, is never rewritten, for the rewrite would part it from its other names. Lines that
// do not change are written back from their own bytes, whatever the chart's encoding.
#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/text/ChartText.h"

namespace run {

// The most backup numbers tried for one chart before it is left as it was.
inline constexpr int kMaxBackupNumber = 9999;
// How many characters of a changed line a change keeps for showing; longer lines are cut with "…".
inline constexpr std::size_t kShownLineLength = 400;

// The lines a rewrite changes (or, in a dry run, would change): how many, and, when asked, their old
// and new text.
struct ChartChange {
  std::u16string Path;
  std::size_t Count = 0;
  std::vector<std::pair<std::u16string, std::u16string>> Lines;
};

// A program's rewrite of one line. MayChange looks at the line's bytes first; a line it turns down is
// written back untouched without being decoded (empty: every line is offered). Rewrite gets the line
// decoded in the chart's encoding (told too, for text the program brings of its own) and returns true
// when it replaced it; a line it leaves is written from its own bytes.
struct LineRewrite {
  std::function<bool(std::string_view raw)> MayChange;
  std::function<bool(std::u16string& line, text::ChartEncoding encoding)> Rewrite;
  // Whether the change keeps the text of the changed lines (else only their count).
  bool ShowLines = true;
};

enum class Outcome { Unchanged, Rewritten, Failed };

// Takes the new content of a chart piece by piece; false when a piece cannot be taken.
using ContentSink = std::function<bool(std::string_view piece)>;

// The new content of a chart's bytes: every line offered to the rewrite, the changed ones encoded
// anew in the chart's own encoding, the others kept byte for byte, a byte-order mark kept in front;
// lines end as the chart's lines end (CR LF after every line, or LF in an LF chart). The content goes
// to the sink from the first change on, in pieces, so that a huge chart is never held twice;
// Unchanged gives the sink nothing. Failed tells `why` (a rewritten line that the chart's encoding
// cannot hold, or a piece the sink did not take).
Outcome RewriteLines(std::string_view bytes, const LineRewrite& rewrite, const ContentSink& sink, ChartChange& change,
                     std::u16string& why);
// The same into one string, `out` (empty when unchanged).
Outcome RewriteLines(std::string_view bytes, const LineRewrite& rewrite, std::string& out, ChartChange& change,
                     std::u16string& why);

// Locks a folder against other runs for as long as `lock` lives; false, with the reason, when
// another run holds it (named where the system tells which) or it cannot be locked.
bool LockFolder(platform::FolderLock& lock, const platform::Folder& folder, std::u16string& why);

// Whether a name is one the chart-rewriting programs give their own files: a backup (chart + "~" +
// n + ".mbk" or ".cbk") or a temporary file (chart + ".mbk1" or ".cbk1"), ASCII letters in any case.
// Such a file is never a chart of a run, whatever the file list takes.
bool IsOwnFile(std::u16string_view name);

// The charts of one open folder that one run rewrites. The program names its temporary and backup
// files by its own extension ext (without the dot): chart + "." + ext + "1" while the new content
// is written, chart + "~" + n + "." + ext for a backup.
class ChartFolder {
 public:
  ChartFolder(const platform::Folder& folder, std::u16string ext, bool backup, bool dry_run);
  ChartFolder(const ChartFolder&) = delete;
  ChartFolder& operator=(const ChartFolder&) = delete;

  // Before the first chart: the folder's listing; the folder is locked against other runs and the
  // temporary files a killed run left beside its charts are removed, each told to `leftover` (a dry
  // run only tells them, and only when no other run is at work in the folder). False, with the
  // reason, when another run works in the folder or it cannot be locked: then nothing here may be
  // rewritten.
  [[nodiscard]] bool Begin(const std::vector<platform::DirEntry>& listing, std::u16string& why,
                           const std::function<void(const std::u16string& path)>& leftover = {});
  // Reads the chart and offers its lines. When a line changes, the new content is written to the
  // temporary file and takes the chart's place at once (a dry run writes nothing). `change`
  // receives the changed lines; `why` the reason of a failure, after which the chart is as it was.
  Outcome Rewrite(const std::u16string& name, const LineRewrite& rewrite, ChartChange& change, std::u16string& why);

 private:
  std::u16string TempName(const std::u16string& name) const { return name + u"." + ext_ + u"1"; }
  // Whether `entry` is this program's temporary file of a chart a run could have rewritten, so that
  // a run that was killed can have left it: a lone regular file beside a lone regular chart (`files`:
  // the folder's regular files that are no links).
  bool IsLeftover(const platform::DirEntry& entry, const std::set<std::u16string>& files) const;
  // Creates the chart's temporary file. `mode`: the chart's permission bits, made writable by its
  // owner.
  bool CreateTemp(const std::u16string& name, std::uint32_t mode, platform::File& file, std::u16string& why);
  // Puts the written temporary file in the chart's place, when the chart is still the file `read`
  // describes; false, with the reason, when it is not put there.
  bool Place(const std::u16string& name, const platform::FileInfo& read, std::u16string& why);

  const platform::Folder& folder_;
  std::u16string ext_;
  bool backup_, dry_run_;
  platform::FolderLock lock_;
  std::set<std::u16string> names_;  // the folder's entries, to find a free backup number at once
  std::set<std::u16string> links_;  // entries that are links: never rewritten, their attributes not ours
};

}  // namespace run
