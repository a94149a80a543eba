#include "toolkit/mdlChartFile.h"

#include "toolkit/mdlTools.h"
#include "toolkit/platform/text.h"

namespace mdlChartFile {
namespace {

std::u16string Shown(std::u16string text) {
  if (text.size() > kShownLineLength) {
    text.resize(kShownLineLength);
    text += u"…";
  }
  return text;
}

std::u16string Because(const std::u16string& what, const platform::IoError& error) {
  return what + u" (" + platform::ErrorText(error) + u")";
}

}  // namespace

ChartFolder::ChartFolder(const platform::Folder& folder, std::u16string ext, bool backup, bool dry_run,
                         CommitReport report)
    : folder_(folder), ext_(std::move(ext)), backup_(backup), dry_run_(dry_run), report_(std::move(report)) {}

ChartFolder::~ChartFolder() { Commit(); }

bool ChartFolder::Begin(const std::vector<platform::DirEntry>& listing, std::u16string& why) {
  for (const platform::DirEntry& e : listing) {
    if (e.IsLink) links_.insert(e.Name);
  }
  if (dry_run_) return true;  // reading needs no lock: every chart is replaced in one step
  platform::IoError error;
  if (!lock_.Acquire(folder_, error)) {
    why = error ? Because(u"フォルダをロックできません", error) : u"別の実行がこのフォルダを処理中です";
    return false;
  }
  for (const platform::DirEntry& e : listing) names_.insert(e.Name);
  if (!lock_.Exclusive()) return true;
  // No run holds the folder but this one, so a temporary file beside a chart is what a killed run
  // left behind.
  const std::u16string tail = u"." + ext_ + u"1";
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

Outcome RewriteLines(std::string_view bytes, const LineRewrite& rewrite, std::string& out, ChartChange& change,
                     std::u16string& why) {
  out.clear();
  change.Lines.clear();
  const platform::LineEnds ends = platform::ChartLineEnds(bytes);
  bool changed = false;
  std::size_t pos = 0;
  std::string_view raw;
  std::u16string line;
  std::string encoded;
  while (platform::NextLine(bytes, pos, raw, ends)) {
    const std::size_t start = static_cast<std::size_t>(raw.data() - bytes.data());
    const bool ended = pos > start + raw.size();
    bool replaced = false;
    if (!rewrite.MayChange || rewrite.MayChange(raw)) {
      platform::DecodeCp932(raw, line);  // one buffer for every line of the chart
      replaced = rewrite.Rewrite(line);
    }
    if (replaced) {
      encoded.clear();
      if (!platform::EncodeCp932(line, encoded)) {
        why = u"書き換えた行に Shift-JIS で書けない文字があります: " + Shown(line);
        return Outcome::Failed;
      }
      if (!changed) {
        // The first change: the lines before it are written as they were, only now, so that a chart
        // no line of which changes costs no copy at all.
        changed = true;
        out.reserve(bytes.size() + bytes.size() / 8 + 16);
        std::size_t again = 0;
        std::string_view before;
        while (again < start && platform::NextLine(bytes.substr(0, start), again, before, ends)) {
          platform::AppendLine(out, before, ends, true);
        }
      }
      if (encoded != raw) change.Lines.emplace_back(Shown(platform::DecodeCp932(raw)), Shown(line));
      platform::AppendLine(out, encoded, ends, ended);
    } else if (changed) {
      platform::AppendLine(out, raw, ends, ended);
    }
  }
  return changed ? Outcome::Rewritten : Outcome::Unchanged;
}

Outcome ChartFolder::Rewrite(const std::u16string& name, const LineRewrite& rewrite, ChartChange& change,
                             std::u16string& why) {
  change.Path = folder_.PathOf(name);
  change.Lines.clear();
  std::string bytes;
  platform::FileInfo info;
  platform::IoError error;
  if (!folder_.Read(name, bytes, info, error)) {
    why = Because(u"読み込めません", error);
    return Outcome::Failed;
  }
  std::string out;
  const Outcome outcome = RewriteLines(bytes, rewrite, out, change, why);
  if (outcome == Outcome::Failed) return outcome;
  // The look through the opened chart describes what a link points to; the listing tells links.
  info.IsLink = links_.count(name) != 0;
  if (outcome == Outcome::Unchanged) {
    // Nothing to write: the chart only loses a read-only attribute, as every examined chart does (a
    // linked chart keeps it: it belongs to the file the link points to).
    if (!dry_run_ && !info.IsLink && !folder_.MakeWritable(name, info, error)) {
      why = Because(u"読み取り専用を解除できません", error);
      return Outcome::Failed;
    }
    return Outcome::Unchanged;
  }
  if (dry_run_) return Outcome::Rewritten;
  bytes = std::string();  // the old content is not needed any more: a huge chart is held once
  if (!WriteTemp(name, out, info, why)) return Outcome::Failed;
  waiting_.push_back({name, change, info});
  return Outcome::Rewritten;
}

bool ChartFolder::WriteTemp(const std::u16string& name, const std::string& bytes, const platform::FileInfo& info,
                            std::u16string& why) {
  const std::u16string temp = TempName(name);
  platform::IoError error;
  platform::File file;
  bool made = folder_.Create(temp, file, error);
  if (!made && error.AlreadyExists() && lock_.Exclusive()) {
    // The name is taken. With the folder locked by this run it can only be a leftover of a killed
    // run; a folder (or anything else that will not go) stays, and the chart with it.
    platform::FileInfo look;
    platform::IoError ignored;
    if (folder_.Info(temp, look, false, ignored) && !look.IsFolder && folder_.Remove(temp, ignored)) {
      error = {};
      made = folder_.Create(temp, file, error);
    }
  }
  if (!made) {
    why = Because(u"一時ファイル " + folder_.PathOf(temp) + u" を作れません", error);
    return false;
  }
  // Without a backup the folder is flushed once before the charts are replaced (Commit), far
  // cheaper than a flush per chart; with one, the old content survives in the backup.
  if (!file.Write(bytes, error) || !file.Finish(info, false, error)) {
    why = Because(u"一時ファイル " + folder_.PathOf(temp) + u" を書けません", error);
    return false;
  }
  return true;
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
    if (kept.empty()) return fail(error ? Because(u"バックアップを作れません", error) : u"バックアップを作れません");
  }
  if (!folder_.Rename(temp, chart.name, error)) {
    platform::IoError ignored;
    if (!kept.empty()) (void)folder_.Remove(kept, ignored);  // a second name of the unchanged chart
    return fail(Because(u"書き換えたファイルを置けません", error));
  }
  if (report_.Placed) report_.Placed(chart.change);
}

}  // namespace mdlChartFile
