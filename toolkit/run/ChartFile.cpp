#include "toolkit/run/ChartFile.h"

#include <algorithm>

#include "toolkit/files/Paths.h"
#include "toolkit/text/ChartText.h"
#include "toolkit/text/Compare.h"
#include "toolkit/text/Codecs.h"

namespace run {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

bool HasEscape(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(), text::IsEscapeUnit);
}

// Whether a rewritten line can be written in the chart's encoding. A Shift-JIS chart holds what CP932
// holds (an escaped byte is its own byte). A UTF-8 chart holds every character, but a stray byte only
// where the line as read had stray bytes too: new text never brings bytes that are no UTF-8.
bool Holds(std::u16string_view line, text::ChartEncoding encoding, bool read_escapes) {
  if (encoding == text::ChartEncoding::ShiftJis) return text::CanEncodeCp932(line);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (text::IsEscapeUnit(c)) {
      if (!read_escapes) return false;
    } else if (IsHighSurrogate(c)) {
      if (i + 1 >= line.size() || line[i + 1] < 0xDC00 || line[i + 1] > 0xDFFF || text::IsEscapeUnit(line[i + 1])) {
        return false;
      }
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// What a change keeps of a line for showing: a huge line is never copied whole, and a cut never
// splits a surrogate pair.
std::u16string Shown(std::u16string_view text) {
  if (text.size() <= kShownLineLength) return std::u16string(text);
  const std::size_t cut = IsHighSurrogate(text[kShownLineLength - 1]) ? kShownLineLength - 1 : kShownLineLength;
  return std::u16string(text.substr(0, cut)) + u"…";
}

// A line as read, decoded as its chart's encoding; only what is shown is decoded.
std::u16string ShownRead(std::string_view raw, text::ChartEncoding encoding) {
  return Shown(text::DecodeChartText(raw.substr(0, 4 * kShownLineLength + 4), encoding));
}

// A rewritten line as it reads once written: bytes a name was stored in (a Shift-JIS name in a
// Shift-JIS chart) read as their text.
std::u16string ShownWritten(std::u16string_view line, text::ChartEncoding encoding) {
  std::string bytes;
  text::EncodeChartText(line.substr(0, kShownLineLength + 1), encoding, bytes);
  return Shown(text::DecodeChartText(bytes, encoding));
}

}  // namespace

bool LockFolder(platform::FolderLock& lock, const platform::Folder& folder, std::u16string& why) {
  platform::IoError error;
  if (lock.Acquire(folder, error)) return true;
  why = error ? platform::Explained(u"フォルダをロックできません", error) : u"別の実行がこのフォルダを処理中です";
  if (!error && !lock.Holder().empty()) why += u" (" + lock.Holder() + u")";
  return false;
}

bool IsOwnFile(std::u16string_view name) {
  // Whether the name ends with `tail` (lower case), ASCII letters in any case, after a name of its own.
  auto ends_with = [&name](std::u16string_view tail) {
    if (name.size() <= tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
      if (text::FoldAscii(name[name.size() - tail.size() + i]) != tail[i]) return false;
    }
    return true;
  };
  for (const std::u16string_view ext : {std::u16string_view(u".mbk"), std::u16string_view(u".cbk")}) {
    if (ends_with(std::u16string(ext) + u"1")) return true;
    if (!ends_with(ext)) continue;
    std::size_t at = name.size() - ext.size();
    const std::size_t digits_end = at;
    while (at > 0 && name[at - 1] >= u'0' && name[at - 1] <= u'9') --at;
    if (at < digits_end && at >= 2 && name[at - 1] == u'~') return true;
  }
  return false;
}

ChartFolder::ChartFolder(const platform::Folder& folder, std::u16string ext, bool backup, bool dry_run)
    : folder_(folder), ext_(std::move(ext)), backup_(backup), dry_run_(dry_run) {}

bool ChartFolder::IsLeftover(const platform::DirEntry& entry, const std::set<std::u16string>& files) const {
  const std::u16string tail = u"." + ext_ + u"1";
  const std::u16string& name = entry.Name;
  if (!entry.IsFile() || entry.IsLink || name.size() <= tail.size() ||
      name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
    return false;
  }
  const std::u16string chart = name.substr(0, name.size() - tail.size());
  if (files.count(chart) == 0 || IsOwnFile(chart)) return false;
  // A run writes its temporary file alone, and only for a chart that has no other name.
  platform::FileInfo temp, original;
  platform::IoError error;
  return folder_.Info(name, temp, false, error) && !temp.IsFolder && !temp.IsLink && temp.Links == 1 &&
         folder_.Info(chart, original, false, error) && !original.IsFolder && !original.IsLink && original.Links == 1;
}

bool ChartFolder::Begin(const std::vector<platform::DirEntry>& listing, std::u16string& why,
                        const std::function<void(const std::u16string& path)>& leftover) {
  std::set<std::u16string> files;  // the regular files that are no links: the charts a run can rewrite
  for (const platform::DirEntry& e : listing) {
    if (e.IsLink) links_.insert(e.Name);
    if (e.IsFile() && !e.IsLink) files.insert(e.Name);
  }
  if (dry_run_) {
    // Reading needs no lock: every chart is replaced in one step. A lock held for a moment tells
    // whether another run is at work here, whose temporary files are no leftovers.
    platform::FolderLock probe;
    platform::IoError error;
    if (leftover && probe.Acquire(folder_, error) && probe.Exclusive()) {
      for (const platform::DirEntry& e : listing) {
        if (IsLeftover(e, files)) leftover(folder_.PathOf(e.Name));
      }
    }
    return true;
  }
  if (!LockFolder(lock_, folder_, why)) return false;
  for (const platform::DirEntry& e : listing) names_.insert(e.Name);
  if (!lock_.Exclusive()) return true;
  // No run holds the folder but this one, so a temporary file beside a chart is what a killed run
  // left behind.
  platform::IoError error;
  for (const platform::DirEntry& e : listing) {
    if (!IsLeftover(e, files) || !folder_.Remove(e.Name, error)) continue;
    names_.erase(e.Name);
    if (leftover) leftover(folder_.PathOf(e.Name));
  }
  return true;
}

Outcome RewriteLines(std::string_view bytes, const LineRewrite& rewrite, const ContentSink& sink, ChartChange& change,
                     std::u16string& why) {
  change.Lines.clear();
  change.Count = 0;
  const text::ChartEncoding encoding = text::ChartEncodingOf(bytes);
  // A byte-order mark belongs to no line: it stays in front of the first one, which is matched
  // without it.
  std::string_view mark;
  if (bytes.substr(0, text::kUtf8Mark.size()) == text::kUtf8Mark) {
    mark = bytes.substr(0, text::kUtf8Mark.size());
    bytes.remove_prefix(mark.size());
  }
  const text::LineEnds ends = text::ChartLineEnds(bytes);
  // The new content goes out in pieces of about this size: a huge chart is never held twice.
  constexpr std::size_t kPiece = 1 << 20;
  constexpr std::size_t kSlice = 1 << 16;  // characters of a line encoded at a time
  std::string out;
  out.reserve(std::min(bytes.size() + bytes.size() / 8, kPiece) + 4 * kSlice + 16);
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
  while (text::NextLine(bytes, pos, raw, ends)) {
    const std::size_t start = static_cast<std::size_t>(raw.data() - bytes.data());
    const bool ended = pos > start + raw.size();
    bool replaced = false;
    bool read_escapes = false;
    if (!rewrite.MayChange || rewrite.MayChange(raw)) {
      text::DecodeChartText(raw, encoding, line);  // one buffer for every line of the chart
      read_escapes = encoding == text::ChartEncoding::Utf8 && HasEscape(line);
      replaced = rewrite.Rewrite(line, encoding);
    }
    if (replaced) {
      if (!Holds(line, encoding, read_escapes)) {
        why = u"書き換えた行に " + text::EncodingName(encoding) + u" で書けない文字があります: " + Shown(line);
        return Outcome::Failed;
      }
      if (!changed) {
        // The first change: the lines before it are written as they were, only now, so that a chart
        // no line of which changes costs no copy at all.
        changed = true;
        out.append(mark);
        std::size_t again = 0;
        std::string_view before;
        while (again < start && text::NextLine(bytes.substr(0, start), again, before, ends)) {
          text::AppendLine(out, before, ends, true);
          if (!flush(false)) return fail_writing();
        }
      }
      // Encoded a slice at a time, compared with the old line as it goes; a slice never ends inside
      // a surrogate pair.
      bool same = true;
      std::size_t compared = 0;
      for (std::size_t from = 0; from < line.size() || from == 0;) {
        std::size_t count = std::min(kSlice, line.size() - from);
        if (from + count < line.size() && IsHighSurrogate(line[from + count - 1])) --count;
        const std::size_t at = out.size();
        text::EncodeChartText(std::u16string_view(line).substr(from, count), encoding, out);
        const std::string_view piece = std::string_view(out).substr(at);
        same = same && raw.substr(compared, piece.size()) == piece;
        compared += piece.size();
        if (!flush(false)) return fail_writing();
        if (line.empty()) break;
        from += count;
      }
      if (!same || compared != raw.size()) {
        ++change.Count;
        if (rewrite.ShowLines) change.Lines.emplace_back(ShownRead(raw, encoding), ShownWritten(line, encoding));
      }
      if (ends == text::LineEnds::CrLf) {
        out.append("\r\n", 2);
      } else if (ended) {
        out.push_back('\n');
      }
    } else if (changed) {
      text::AppendLine(out, raw, ends, ended);
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
  // A new chart would take this one name alone: the link's target, or the file's other names, would
  // keep the old content. Such a chart is left as it is.
  std::u16string refusal;
  if (info.IsLink) {
    refusal = u"シンボリックリンクなので書き換えません";
  } else if (info.Links > 1) {
    refusal = u"ほかの名前 (ハードリンク) もあるファイルなので書き換えません";
  }
  // The temporary file is made at the first piece of new content: a chart that does not change
  // costs no file at all, and one that does is written as it goes.
  platform::File temp;
  std::u16string temp_why;
  auto sink = [&](std::string_view piece) {
    if (!refusal.empty()) {
      temp_why = refusal;
      return false;
    }
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
    // linked chart keeps it: it belongs to its other names as well).
    if (!dry_run_ && refusal.empty() && !folder_.MakeWritable(name, info, error)) {
      why = platform::Explained(u"読み取り専用を解除できません", error);
      return Outcome::Failed;
    }
    return Outcome::Unchanged;
  }
  if (dry_run_) return Outcome::Rewritten;
  // Without a backup the new content is on the disk before it replaces the old; with one, the old
  // content survives in the backup.
  if (!temp.Finish(info, !backup_, error)) {
    why = platform::Explained(u"一時ファイル " + folder_.PathOf(TempName(name)) + u" を書けません", error);
    return Outcome::Failed;
  }
  return Place(name, info, why) ? Outcome::Rewritten : Outcome::Failed;
}

bool ChartFolder::CreateTemp(const std::u16string& name, std::uint32_t mode, platform::File& file,
                             std::u16string& why) {
  // A name that is taken is never written into: what a killed run left there went at Begin.
  const std::u16string temp = TempName(name);
  platform::IoError error;
  if (folder_.Create(temp, file, error, mode)) return true;
  why = platform::Explained(u"一時ファイル " + folder_.PathOf(temp) + u" を作れません", error);
  return false;
}

bool ChartFolder::Place(const std::u16string& name, const platform::FileInfo& read, std::u16string& why) {
  const std::u16string temp = TempName(name);
  platform::IoError error;
  auto fail = [&](const std::u16string& reason) {
    platform::IoError ignored;
    (void)folder_.Remove(temp, ignored);
    why = reason;
    return false;
  };
  // The chart must still be the file that was read: one saved meanwhile (a new file put at its name,
  // or the file written in place) keeps the user's version, and no backup is made of it.
  platform::FileInfo now;
  if (!folder_.Info(name, now, false, error) || now.IsLink || now.Device != read.Device || now.Id != read.Id ||
      now.Size != read.Size || now.Times.Write != read.Times.Write || now.Change != read.Change ||
      now.Links != read.Links) {
    return fail(platform::Explained(u"実行中に変更されたので書き換えません", error));
  }
  // The old chart loses a read-only attribute as every examined chart does.
  (void)folder_.MakeWritable(name, now, error);
  std::u16string kept;
  if (backup_) {
    // A new name for the old content, never one that exists: the chart's path keeps the old content
    // until the new one takes its place in one step. The chart has no other name, so after the
    // rename the backup is the old content's only name.
    for (int n = 1; n <= kMaxBackupNumber && kept.empty(); ++n) {
      const std::u16string candidate = name + u"~" + paths::Decimal(n) + u"." + ext_;
      if (names_.count(candidate) != 0) continue;
      const platform::KeepResult result = folder_.Keep(name, candidate, error);
      if (result == platform::KeepResult::Failed) break;
      names_.insert(candidate);
      if (result == platform::KeepResult::Made) kept = candidate;
    }
    if (kept.empty()) return fail(platform::Explained(u"バックアップを作れません", error));
  }
  if (!folder_.Rename(temp, name, error)) {
    platform::IoError ignored;
    if (!kept.empty()) (void)folder_.Remove(kept, ignored);  // a second name of the unchanged chart
    return fail(platform::Explained(u"書き換えたファイルを置けません", error));
  }
  return true;
}

}  // namespace run
