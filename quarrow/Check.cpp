#include "quarrow/Check.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "quarrow/RuleFile.h"
#include "toolkit/files/FolderIndex.h"
#include "toolkit/files/Paths.h"
#include "toolkit/text/Compare.h"

namespace quarrow {
namespace {

using Extensions = std::vector<std::u16string_view>;
const Extensions kSounds = {u"wav", u"ogg", u"flac", u"mp3"};
const Extensions kPictures = {u"bmp", u"png", u"jpg", u"jpeg"};
const Extensions kVideos = {u"mpg", u"mpeg", u"avi", u"wmv", u"mp4", u"webm", u"m4v"};

struct CommandSpec {
  std::u16string_view Name;
  bool Indexed;
  RefKind Kind;
};
constexpr CommandSpec kCommands[] = {
    {u"#WAV", true, RefKind::Sound},         {u"#BMP", true, RefKind::Image},
    {u"#STAGEFILE", false, RefKind::Picture}, {u"#BANNER", false, RefKind::Picture},
    {u"#BACKBMP", false, RefKind::Picture},   {u"#MIDIFILE", false, RefKind::Other},
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsIndexChar(char16_t c) {
  const char16_t folded = text::FoldAscii(c);
  return (c >= u'0' && c <= u'9') || (folded >= u'a' && folded <= u'z');
}
bool IsNameSeparator(char16_t c) { return c == u'\\' || platform::IsSeparator(c); }

// The extension after the last point of a name's last part, folded; empty when it has none.
std::u16string ExtensionOf(std::u16string_view name, std::size_t* dot = nullptr) {
  std::size_t at = name.size();
  while (at > 0 && !IsNameSeparator(name[at - 1]) && name[at - 1] != u'.') --at;
  if (at == 0 || name[at - 1] != u'.') {
    if (dot != nullptr) *dot = name.size();
    return std::u16string();
  }
  if (dot != nullptr) *dot = at - 1;
  return FolderIndex::Folded(std::u16string(name.substr(at)));
}

Extensions Alternatives(RefKind kind) {
  switch (kind) {
    case RefKind::Sound: return kSounds;
    case RefKind::Picture: return kPictures;
    case RefKind::Image: {
      Extensions all = kPictures;
      all.insert(all.end(), kVideos.begin(), kVideos.end());
      return all;
    }
    case RefKind::Other: break;
  }
  return {};
}

FolderIndex::ChartEncoder EncoderOf(text::ChartEncoding encoding) {
  return encoding == text::ChartEncoding::Utf8 ? text::EncodeUtf8 : text::EncodeCp932;
}

std::int64_t& CountOf(CheckCounts& counts, RefState state) {
  switch (state) {
    case RefState::Found: return counts.Found;
    case RefState::OtherCase: return counts.OtherCase;
    case RefState::OtherExtension: return counts.OtherExtension;
    case RefState::Missing: break;
  }
  return counts.Missing;
}

bool IsMediaName(const std::u16string& name) {
  const std::u16string ext = ExtensionOf(name);
  for (const Extensions* group : {&kSounds, &kPictures, &kVideos}) {
    for (std::u16string_view known : *group) {
      if (ext == known) return true;
    }
  }
  return false;
}

struct CheckRun : RunStateBase {
  using RunStateBase::RunStateBase;
  CheckReport Report;
  RunParams Params;
  StoredFiles Files;
  std::set<std::u16string> LookupFailures;  // reported once each
  // The stored names of the files found so far, by the folder they lie in.
  std::unordered_map<std::u16string, std::unordered_set<std::u16string>> Named;
};

// `written` with each of its names as stored (`stored` from `k` on), in the chart's text: a name
// found by its text keeps the stored text, one found by its bytes reads as the chart reads them.
// `exact` turns false when a name differs from the stored one.
std::u16string Respell(std::u16string_view written, const std::vector<platform::DirEntry>& stored, std::size_t& k,
                       text::ChartEncoding encoding, bool& exact) {
  const FolderIndex::ChartEncoder encode = EncoderOf(encoding);
  std::u16string out;
  for (std::size_t i = 0; i <= written.size();) {
    std::size_t j = i;
    while (j < written.size() && !IsNameSeparator(written[j])) ++j;
    const std::u16string part(written.substr(i, j - i));
    if (!part.empty() && k < stored.size()) {
      const std::u16string& name = stored[k++].Name;
      std::string bytes;
      if (name == part || (encode(part, bytes) && bytes == platform::NativeBytes(name))) {
        out += part;
      } else {
        exact = false;
        out += FolderIndex::Folded(name) == FolderIndex::Folded(part)
                   ? name
                   : text::DecodeChartText(platform::NativeBytes(name), encoding);
      }
    } else {
      out += part;
    }
    if (j < written.size()) out += written[j];
    i = j + 1;
  }
  return out;
}

// Looks the reference up, as named and then with the other extensions of its kind. False when a
// folder on the way cannot be read: that is no answer.
bool Resolve(CheckRun& run, const std::u16string& folder, text::ChartEncoding encoding, Reference& ref) {
  const std::u16string_view name = ref.Ref.Name;
  const std::u16string_view set = ref.Ref.SetSize > 0 ? name.substr(1, ref.Ref.SetSize - 2) : std::u16string_view();
  const std::u16string file(name.substr(ref.Ref.SetSize));
  if (ref.Ref.SetSize > 0 && run.Params.MaterialBase.empty()) return true;  // no sound set without a base
  const std::u16string base = ref.Ref.SetSize > 0 ? run.Params.MaterialBase : folder;
  const std::u16string prefix = ref.Ref.SetSize > 0 ? std::u16string(set) + u'\\' : std::u16string();

  std::vector<std::u16string> candidates = {file};
  std::size_t dot = 0;
  const std::u16string own = ExtensionOf(file, &dot);
  for (std::u16string_view ext : Alternatives(ref.Ref.Kind)) {
    if (ext != own) candidates.push_back(file.substr(0, dot) + u"." + std::u16string(ext));
  }
  std::vector<platform::DirEntry> stored;
  for (std::size_t c = 0; c < candidates.size(); ++c) {
    std::u16string why;
    const StoredFiles::Result found =
        run.Files.FindFile(base, prefix + candidates[c], why, EncoderOf(encoding), &stored);
    if (found == StoredFiles::Result::Failed) {
      if (run.LookupFailures.insert(why).second) run.Fail(base, u"素材ファイルを確かめられません: " + why);
      return false;
    }
    if (found != StoredFiles::Result::Found) continue;
    bool exact = true;
    std::size_t k = 0;
    std::u16string spelled = Respell(set, stored, k, encoding, exact);
    spelled = (ref.Ref.SetSize > 0 ? u"<" + spelled + u">" : std::u16string()) +
              Respell(candidates[c], stored, k, encoding, exact);
    ref.State = c > 0 ? RefState::OtherExtension : exact ? RefState::Found : RefState::OtherCase;
    if (ref.State != RefState::Found) ref.Stored = spelled;
    std::u16string where = base;
    for (std::size_t i = 0; i + 1 < stored.size(); ++i) where = platform::JoinPath(where, stored[i].Name);
    run.Named[where].insert(stored.back().Name);
    return true;
  }
  return true;
}

void CheckChart(CheckRun& run, const platform::Folder& folder, const std::u16string& name) {
  ChartReport chart;
  chart.Path = folder.PathOf(name);
  std::string bytes;
  platform::FileInfo info;
  platform::IoError error;
  if (!folder.Read(name, bytes, info, error)) {
    run.Fail(chart.Path, platform::Explained(u"読み込めません", error));
    return;
  }
  chart.Encoding = text::ChartEncodingOf(bytes);
  std::string_view text = bytes;
  if (text.substr(0, text::kUtf8Mark.size()) == text::kUtf8Mark) text.remove_prefix(text::kUtf8Mark.size());
  const text::LineEnds ends = text::ChartLineEnds(text);
  std::size_t pos = 0, number = 0;
  std::string_view raw;
  while (text::NextLine(text, pos, raw, ends)) {
    ++number;
    // Only lines that begin with "#" and the first letter of a file command are decoded.
    if (raw.size() < 6 || raw[0] != '#' || std::string_view("wbsmWBSM").find(raw[1]) == std::string_view::npos) {
      continue;
    }
    Reference ref;
    ref.Text = text::DecodeChartText(raw, chart.Encoding);
    std::optional<RefLine> parsed = ParseRefLine(ref.Text);
    if (!parsed) continue;
    ref.Line = number;
    ref.Ref = std::move(*parsed);
    if (!Resolve(run, folder.Path(), chart.Encoding, ref)) continue;
    ++CountOf(run.Report.Counts, ref.State);
    chart.References.push_back(std::move(ref));
  }
  ++run.Report.Counts.Charts;
  run.Report.Charts.push_back(std::move(chart));
}

bool CheckFolder(CheckRun& run, const platform::Folder& folder) {
  if (run::ListingStopped(run.Context().Progress, folder.Path())) return false;
  std::optional<run::FolderListing> listing = run::ListFiles(run, folder);
  if (!listing) return true;
  const std::vector<std::u16string>& names = listing->Names;
  const FolderIndex index(std::move(listing->Entries));
  run.Files.Seed(folder, index.Entries());
  bool stopped = false;
  for (const std::u16string& name : names) {
    if (run::IsOwnFile(name)) continue;
    // Missing references over charts read, as a run shows rewritten over examined charts.
    stopped = run::ItemStopped(run.Context().Progress, u"参照確認中", run.Report.Counts.Missing,
                                  run.Report.Counts.Charts, name);
    if (stopped) break;
    CheckChart(run, folder, name);
  }
  run.Files.Forget(folder.Path());
  if (stopped) return false;
  // Every chart that can name a file here has been read: those of the folders above and this one's.
  FolderReport unused{folder.Path(), {}};
  const auto named = run.Named.find(folder.Path());
  for (const platform::DirEntry& entry : index.Entries()) {
    if (!entry.IsFile() || !IsMediaName(entry.Name)) continue;
    if (named == run.Named.end() || named->second.count(entry.Name) == 0) unused.Unreferenced.push_back(entry.Name);
  }
  if (named != run.Named.end()) run.Named.erase(named);
  run.Report.Counts.Unreferenced += static_cast<std::int64_t>(unused.Unreferenced.size());
  if (!unused.Unreferenced.empty()) run.Report.Folders.push_back(std::move(unused));
  if (!run.RecursiveOn) return true;
  return run::EachSubfolder(run, folder, index.Subfolders(),
                               [&run](const platform::Folder& sub) { return CheckFolder(run, sub); });
}

}  // namespace

std::optional<RefLine> ParseRefLine(std::u16string_view line) {
  for (const CommandSpec& command : kCommands) {
    if (!text::StartsWith(line, command.Name, text::CaseMode::Text)) continue;
    std::size_t at = command.Name.size();
    if (command.Indexed) {
      if (line.size() < at + 2 || !IsIndexChar(line[at]) || !IsIndexChar(line[at + 1])) return std::nullopt;
      at += 2;
    }
    // A blank parts the command from the name: "#WAVCMD" or a bare "#BMP01" name nothing.
    if (at >= line.size() || !IsBlank(line[at])) return std::nullopt;
    RefLine out;
    out.Kind = command.Kind;
    out.Command = std::u16string(line.substr(0, at));
    while (at < line.size() && IsBlank(line[at])) ++at;
    // Blanks after the name are no part of it, as players and the Windows file system read it.
    std::size_t end = line.size();
    while (end > at && IsBlank(line[end - 1])) --end;
    if (end == at) return std::nullopt;
    out.NameAt = at;
    out.Name = std::u16string(line.substr(at, end - at));
    const std::size_t close = out.Name.find(u'>');
    if (command.Indexed && out.Name[0] == u'<' && close != std::u16string::npos) out.SetSize = close + 1;
    return out;
  }
  return std::nullopt;
}

CheckReport CheckReferences(const RunContext& context, const RunOptions& options, const RunHooks& hooks) {
  CheckRun run(context);
  run.ReadBase(options);
  run::SetFileFilter(context.Files, options);
  run.Report.ListFailures = run.ListFailures;
  std::u16string material_why, target_why;
  const bool material_given = options.ExactPaths ? !options.MaterialText.empty()
                                                 : !paths::TrimLeadingBlanks(options.MaterialText).empty();
  if (material_given) {
    run.Params.MaterialBase = run::RunFolder(options.MaterialText, options.ExactPaths, context.RelativeBase, material_why);
  }
  if (hooks.PathChecked) hooks.PathChecked(0, !material_given || !run.Params.MaterialBase.empty());
  run.Params.TargetFolder = run::RunFolder(options.TargetText, options.ExactPaths, context.RelativeBase, target_why);
  if (hooks.PathChecked) hooks.PathChecked(1, !run.Params.TargetFolder.empty());
  if (run.Params.TargetFolder.empty()) {
    context.Messages.ShowMessage(run::WithReason(u"正確なターゲットパスを指定してください。", target_why),
                                 u"パスの指定", MsgIcon::Exclamation);
    return std::move(run.Report);
  }
  // The sound sets are looked up there: a base that is not there would call every one missing.
  if (material_given && run.Params.MaterialBase.empty()) {
    context.Messages.ShowMessage(
        run::WithReason(u"正確なマテリアルベースパスを指定してください。\r\n指定しない場合は、空白にしてください。",
                           material_why),
        u"パスの指定", MsgIcon::Exclamation);
    return std::move(run.Report);
  }
  run::BeginWork(context, hooks, u"参照の確認を準備中");
  bool finished = true;
  {
    const platform::Folder target = run::OpenFolder(run, run.Params.TargetFolder);
    finished = !target.IsOpen() || CheckFolder(run, target);
  }
  run.Files.Clear();
  context.Progress.SetVisible(false);
  if (hooks.End) hooks.End();
  run.Report.Outcome = finished ? RunOutcome::Finished : RunOutcome::Cancelled;
  run.Report.Failures = std::move(run.Failures);
  return std::move(run.Report);
}

std::u16string StateText(RefState state) {
  switch (state) {
    case RefState::Found: return u"あり";
    case RefState::OtherCase: return u"大文字・小文字が違う";
    case RefState::OtherExtension: return u"拡張子が違う";
    case RefState::Missing: break;
  }
  return u"なし";
}

std::u16string CheckSummary(const CheckReport& report) {
  const CheckCounts& n = report.Counts;
  using paths::Decimal;
  return u"譜面 = " + Decimal(n.Charts) + u"　参照: あり " + Decimal(n.Found) + u" / 大文字・小文字違い " +
         Decimal(n.OtherCase) + u" / 拡張子違い " + Decimal(n.OtherExtension) + u" / なし " + Decimal(n.Missing) +
         u"　未使用ファイル = " + Decimal(n.Unreferenced) +
         report.FailedLines(u"確認できなかった譜面・フォルダ", report.ListFailures);
}

std::vector<CheckRow> CheckRows(const CheckReport& report) {
  std::vector<CheckRow> rows;
  for (const ChartReport& chart : report.Charts) {
    const std::u16string place = text::ReadableName(chart.Path);
    for (const Reference& ref : chart.References) {
      rows.push_back({place, paths::Decimal(static_cast<std::int64_t>(ref.Line)),
                      text::ReadableName(ref.Ref.Command + u" " + ref.Ref.Name), StateText(ref.State),
                      text::ReadableName(ref.Stored)});
    }
  }
  for (const FolderReport& folder : report.Folders) {
    const std::u16string place = text::ReadableName(folder.Path);
    for (const std::u16string& name : folder.Unreferenced) {
      rows.push_back({place, u"", text::ReadableName(name), u"どの譜面も使っていない", u""});
    }
  }
  return rows;
}

CaseRules CaseFixRules(const CheckReport& report) {
  // What each line's text needs to become, over every chart: the same text in two charts may name
  // files stored in other spellings, and one rule serves both.
  std::unordered_map<std::u16string, std::set<std::u16string>> wanted;
  // Blanks after the name go: a run's file check would take them for part of the name.
  auto fixed = [](const Reference& ref) {
    return ref.State != RefState::OtherCase ? ref.Text : ref.Text.substr(0, ref.Ref.NameAt) + ref.Stored;
  };
  for (const ChartReport& chart : report.Charts) {
    for (const Reference& ref : chart.References) wanted[ref.Text].insert(fixed(ref));
  }
  CaseRules out;
  for (const ChartReport& chart : report.Charts) {
    for (const Reference& ref : chart.References) {
      if (ref.State != RefState::OtherCase) continue;
      const std::u16string replace = fixed(ref);
      std::u16string why;
      if ((ref.Text + replace).find_first_of(u"*?") != std::u16string::npos) {
        why = u"「*」か「?」を含む行は、文字どおりに置き換えるルールにできません";
      } else if (wanted[ref.Text].size() > 1) {
        why = u"同じ行が、ほかの譜面では別の綴りのファイルを指しています";
      } else {
        why = RuleReason(ref.Text, replace, text::CaseMode::Binary);
      }
      if (!why.empty()) {
        out.LeftOut.push_back({chart.Path, ref.Line, ref.Text, why});
        continue;
      }
      const RuleEntry entry = MakeRuleEntry(ref.Text, replace);
      if (std::find(out.Rules.begin(), out.Rules.end(), entry) != out.Rules.end()) continue;
      out.Rules.push_back(entry);
    }
  }
  return out;
}

}  // namespace quarrow
