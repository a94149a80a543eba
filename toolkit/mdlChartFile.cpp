#include "toolkit/mdlChartFile.h"

#include <algorithm>

#include "toolkit/mdlTools.h"
#include "toolkit/platform/text.h"

namespace mdlChartFile {
namespace {

// What a change keeps of a line for showing: a huge line is never copied whole.
std::u16string Shown(std::u16string_view text) {
  if (text.size() <= kShownLineLength) return std::u16string(text);
  return std::u16string(text.substr(0, kShownLineLength)) + u"…";
}

}  // namespace

bool LockFolder(platform::FolderLock& lock, const platform::Folder& folder, std::u16string& why) {
  platform::IoError error;
  if (lock.Acquire(folder, error)) return true;
  why = error ? platform::Explained(u"フォルダをロックできません", error) : u"別の実行がこのフォルダを処理中です";
  if (!error && !lock.Holder().empty()) why += u" (" + lock.Holder() + u")";
  return false;
}

ChartFolder::ChartFolder(const platform::Folder& folder, std::u16string ext, bool backup, bool dry_run,
                         CommitReport report)
    : folder_(folder), ext_(std::move(ext)), backup_(backup), dry_run_(dry_run), report_(std::move(report)) {}

ChartFolder::~ChartFolder() { Commit(); }

bool ChartFolder::Begin(const std::vector<platform::DirEntry>& listing, std::u16string& why) {
  for (const platform::DirEntry& e : listing) {
    if (e.IsLink) links_.insert(e.Name);
  }
  if (dry_run_) return true;  // reading needs no lock: every chart is replaced in one step
  if (!LockFolder(lock_, folder_, why)) return false;
  for (const platform::DirEntry& e : listing) names_.insert(e.Name);
  if (!lock_.Exclusive()) return true;
  // No run holds the folder but this one, so a temporary file beside a chart is what a killed run
  // left behind.
  const std::u16string tail = u"." + ext_ + u"1";
  platform::IoError error;
  for (const platform::DirEntry& e : listing) {
    if (!e.IsFile() || e.IsLink || e.Name.size() <= tail.size() ||
        e.Name.compare(e.Name.size() - tail.size(), tail.size(), tail) != 0) {
      continue;
    }
    if (names_.count(e.Name.substr(0, e.Name.size() - tail.size())) == 0) continue;
    if (folder_.Remove(e.Name, error)) names_.erase(e.Name);
  }
  return true;
}

Outcome RewriteLines(std::string_view bytes, const LineRewrite& rewrite, const ContentSink& sink, ChartChange& change,
                     std::u16string& why) {
  change.Lines.clear();
  change.Count = 0;
  const platform::LineEnds ends = platform::ChartLineEnds(bytes);
  // The new content goes out in pieces of about this size: a huge chart is never held twice.
  constexpr std::size_t kPiece = 1 << 20;
  constexpr std::size_t kSlice = 1 << 16;  // characters of a line encoded at a time
  std::string out;
  out.reserve(std::min(bytes.size() + bytes.size() / 8, kPiece) + 2 * kSlice + 16);
  auto flush = [&](bool all) {
    if (out.empty() || (!all && out.size() < kPiece)) return true;
    const bool ok = sink(out);
    out.clear();
    return ok;
  };
  auto fail_writing = [&] {
    why = u"一時ファイルを書けません";
    return Outcome::Failed;
  };
  bool changed = false;
  std::size_t pos = 0;
  std::string_view raw;
  std::u16string line;
  while (platform::NextLine(bytes, pos, raw, ends)) {
    const std::size_t start = static_cast<std::size_t>(raw.data() - bytes.data());
    const bool ended = pos > start + raw.size();
    bool replaced = false;
    if (!rewrite.MayChange || rewrite.MayChange(raw)) {
      platform::DecodeCp932(raw, line);  // one buffer for every line of the chart
      replaced = rewrite.Rewrite(line);
    }
    if (replaced) {
      if (!platform::CanEncodeCp932(line)) {
        why = u"書き換えた行に Shift-JIS で書けない文字があります: " + Shown(line);
        return Outcome::Failed;
      }
      if (!changed) {
        // The first change: the lines before it are written as they were, only now, so that a chart
        // no line of which changes costs no copy at all.
        changed = true;
        std::size_t again = 0;
        std::string_view before;
        while (again < start && platform::NextLine(bytes.substr(0, start), again, before, ends)) {
          platform::AppendLine(out, before, ends, true);
          if (!flush(false)) return fail_writing();
        }
      }
      // Encoded a slice at a time, compared with the old line as it goes.
      bool same = true;
      std::size_t compared = 0;
      for (std::size_t from = 0; from < line.size() || from == 0; from += kSlice) {
        const std::size_t at = out.size();
        platform::EncodeCp932(std::u16string_view(line).substr(from, kSlice), out);
        const std::string_view piece = std::string_view(out).substr(at);
        same = same && raw.substr(compared, piece.size()) == piece;
        compared += piece.size();
        if (!flush(false)) return fail_writing();
        if (line.empty()) break;
      }
      if (!same || compared != raw.size()) {
        ++change.Count;
        // Only what is shown of the old line is decoded again.
        if (rewrite.ShowLines) {
          change.Lines.emplace_back(Shown(platform::DecodeCp932(raw.substr(0, 2 * kShownLineLength + 2))), Shown(line));
        }
      }
      if (ends == platform::LineEnds::CrLf) {
        out.append("\r\n", 2);
      } else if (ended) {
        out.push_back('\n');
      }
    } else if (changed) {
      platform::AppendLine(out, raw, ends, ended);
      if (!flush(false)) return fail_writing();
    }
  }
  if (changed && !flush(true)) return fail_writing();
  return changed ? Outcome::Rewritten : Outcome::Unchanged;
}

Outcome RewriteLines(std::string_view bytes, const LineRewrite& rewrite, std::string& out, ChartChange& change,
                     std::u16string& why) {
  out.clear();
  return RewriteLines(
      bytes, rewrite,
      [&out](std::string_view piece) {
        out.append(piece);
        return true;
      },
      change, why);
}

Outcome ChartFolder::Rewrite(const std::u16string& name, const LineRewrite& rewrite, ChartChange& change,
                             std::u16string& why) {
  change.Path = folder_.PathOf(name);
  change.Lines.clear();
  std::string bytes;
  platform::FileInfo info;
  platform::IoError error;
  if (!folder_.Read(name, bytes, info, error)) {
    why = platform::Explained(u"読み込めません", error);
    return Outcome::Failed;
  }
  // The look through the opened chart describes what a link points to; the listing tells links.
  info.IsLink = links_.count(name) != 0;
  // The temporary file is made at the first piece of new content: a chart that does not change
  // costs no file at all, and one that does is written as it goes.
  platform::File temp;
  std::u16string temp_why;
  auto sink = [&](std::string_view piece) {
    if (dry_run_) return true;
    if (!temp.IsOpen() && !CreateTemp(name, info.Mode | 0200, temp, temp_why)) return false;
    if (temp.Write(piece, error)) return true;
    temp_why = platform::Explained(u"一時ファイル " + folder_.PathOf(TempName(name)) + u" を書けません", error);
    return false;
  };
  const Outcome outcome = RewriteLines(bytes, rewrite, sink, change, why);
  if (!temp_why.empty()) why = temp_why;
  if (outcome == Outcome::Failed) return outcome;
  if (outcome == Outcome::Unchanged) {
    // Nothing to write: the chart only loses a read-only attribute, as every examined chart does (a
    // linked chart keeps it: it belongs to the file the link points to).
    if (!dry_run_ && !info.IsLink && !folder_.MakeWritable(name, info, error)) {
      why = platform::Explained(u"読み取り専用を解除できません", error);
      return Outcome::Failed;
    }
    return Outcome::Unchanged;
  }
  if (dry_run_) return Outcome::Rewritten;
  // Without a backup the folder is flushed once before the charts are replaced (Commit), far
  // cheaper than a flush per chart; with one, the old content survives in the backup.
  if (!temp.Finish(info, false, error)) {
    why = platform::Explained(u"一時ファイル " + folder_.PathOf(TempName(name)) + u" を書けません", error);
    return Outcome::Failed;
  }
  waiting_.push_back({name, change, info});
  return Outcome::Rewritten;
}

bool ChartFolder::CreateTemp(const std::u16string& name, std::uint32_t mode, platform::File& file,
                             std::u16string& why) {
  const std::u16string temp = TempName(name);
  platform::IoError error;
  bool made = folder_.Create(temp, file, error, mode);
  if (!made && error.AlreadyExists() && lock_.Exclusive()) {
    // The name is taken. With the folder locked by this run it can only be a leftover of a killed
    // run; a folder (or anything else that will not go) stays, and the chart with it.
    platform::FileInfo look;
    platform::IoError ignored;
    if (folder_.Info(temp, look, false, ignored) && !look.IsFolder && folder_.Remove(temp, ignored)) {
      error = {};
      made = folder_.Create(temp, file, error, mode);
    }
  }
  if (!made) why = platform::Explained(u"一時ファイル " + folder_.PathOf(temp) + u" を作れません", error);
  return made;
}

void ChartFolder::Commit() {
  if (waiting_.empty()) return;
  if (!backup_) folder_.Sync();
  std::vector<Waiting> charts;
  charts.swap(waiting_);
  for (const Waiting& chart : charts) Place(chart);
}

void ChartFolder::Place(const Waiting& chart) {
  const std::u16string temp = TempName(chart.name);
  platform::IoError error;
  auto fail = [&](const std::u16string& why) {
    platform::IoError ignored;
    (void)folder_.Remove(temp, ignored);
    if (report_.Failed) report_.Failed(folder_.PathOf(chart.name), why);
  };
  // The old chart loses a read-only attribute as every examined chart does; a linked chart keeps it.
  if (!chart.info.IsLink) (void)folder_.MakeWritable(chart.name, chart.info, error);
  std::u16string kept;
  if (backup_) {
    // A new name for the old content, never one that exists: the chart's path keeps the old content
    // until the new one takes its place in one step.
    for (int n = 1; n <= kMaxBackupNumber && kept.empty(); ++n) {
      const std::u16string candidate = chart.name + u"~" + mdlTools::Decimal(n) + u"." + ext_;
      if (names_.count(candidate) != 0) continue;
      const platform::KeepResult result = folder_.Keep(chart.name, candidate, error);
      if (result == platform::KeepResult::Failed) break;
      names_.insert(candidate);
      if (result == platform::KeepResult::Made) kept = candidate;
    }
    if (kept.empty()) return fail(platform::Explained(u"バックアップを作れません", error));
  }
  if (!folder_.Rename(temp, chart.name, error)) {
    platform::IoError ignored;
    if (!kept.empty()) (void)folder_.Remove(kept, ignored);  // a second name of the unchanged chart
    return fail(platform::Explained(u"書き換えたファイルを置けません", error));
  }
  if (report_.Placed) report_.Placed(chart.change);
}

}  // namespace mdlChartFile
