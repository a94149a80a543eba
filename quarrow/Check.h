// The reference check: which files the charts of a folder tree name, and whether each is there as
// named, only in another letter case (a problem for players on case-sensitive systems), only with
// another extension of its kind, or not at all; then the sound and picture files that no chart
// names. Nothing is changed. The report is rows of texts for a list, and the rules that respell
// the names found only in another case, for a run to fix them.
//
// Lines read: #WAVxx and #BMPxx (a "<set>" before the name is a sound set under the material base
// folder), #STAGEFILE, #BANNER, #BACKBMP and #MIDIFILE, the command followed by a blank. A #BGA line
// names a #BMP index, not a file: its picture is checked through that #BMP line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quarrow/Run.h"
#include "toolkit/run/Run.h"
#include "toolkit/text/ChartText.h"

namespace quarrow {

enum class RefState { Found, OtherCase, OtherExtension, Missing };

// What a file-naming line's command names: the extensions it may have in place of its own.
enum class RefKind {
  Sound,    // #WAV: .wav .ogg .flac .mp3
  Image,    // #BMP: a picture or a video
  Picture,  // #STAGEFILE, #BANNER, #BACKBMP: .bmp .png .jpg .jpeg
  Other,    // #MIDIFILE: no other extension
};

// A line that names a file: the command as written (with its index), and where the name stands.
struct RefLine {
  RefKind Kind = RefKind::Other;
  std::u16string Command;
  std::size_t NameAt = 0;  // where the name begins in the line
  std::u16string Name;     // as written, "<set>" included, blanks after it left out
  std::size_t SetSize = 0;  // the length of "<set>" at the name's start, 0 when there is none
};
// The name a line gives, or nothing for a line that names no file (other commands, an empty name).
std::optional<RefLine> ParseRefLine(std::u16string_view line);

struct Reference {
  std::size_t Line = 0;  // from 1
  std::u16string Text;   // the whole line as read
  RefLine Ref;
  RefState State = RefState::Missing;
  // OtherCase and OtherExtension: the name as stored, "<set>" and folders included, in the chart's
  // own text and separators. Empty for the others.
  std::u16string Stored;
};

struct ChartReport {
  std::u16string Path;
  text::ChartEncoding Encoding = text::ChartEncoding::ShiftJis;
  std::vector<Reference> References;
};

// The sound, picture and video files of one folder of the walk that no chart names.
struct FolderReport {
  std::u16string Path;
  std::vector<std::u16string> Unreferenced;  // stored names
};

struct CheckCounts {
  std::int64_t Charts = 0, Found = 0, OtherCase = 0, OtherExtension = 0, Missing = 0, Unreferenced = 0;
};

struct CheckReport : RunRecord {
  RunOutcome Outcome = RunOutcome::Warned;
  bool ListFailures = true;  // whether the summary names what could not be read
  std::vector<ChartReport> Charts;
  std::vector<FolderReport> Folders;  // only folders with unreferenced files
  CheckCounts Counts;
};

// Reads every chart the filter selects in the target folder (and, when recursive, its subfolders)
// behind the progress dialog, and reports; the folder boxes are checked as a run checks them, with
// the same warnings (then Outcome is Warned). A chart or folder that cannot be read is a failure.
CheckReport CheckReferences(const RunContext& context, const RunOptions& options, const RunHooks& hooks = {});

// The result line: the counts, and the failures when there are any.
std::u16string CheckSummary(const CheckReport& report);
std::u16string StateText(RefState state);

// One row of the report as a list shows it: the chart (or folder), the line number, the reference,
// its state and the stored name; a folder's unreferenced file has its name as the reference.
struct CheckRow {
  std::u16string Place, Line, Reference, State, Stored;
};
inline constexpr const char16_t* kCheckColumns[] = {u"譜面・フォルダ", u"行", u"参照", u"状態", u"実際の名前"};
std::vector<CheckRow> CheckRows(const CheckReport& report);

// The rules that respell each line found only in another letter case, each line once, exactly as it
// stands (for a run with the text mode off). Lines that no literal rule can serve are left out, with
// why: a line holding "*" or "?", one whose same text another chart needs spelled otherwise, one a
// rule file cannot hold.
struct LeftOutLine {
  std::u16string Chart;
  std::size_t Line = 0;
  std::u16string Text, Reason;
};
struct CaseRules {
  std::vector<RuleEntry> Rules;
  std::vector<LeftOutLine> LeftOut;
};
CaseRules CaseFixRules(const CheckReport& report);

}  // namespace quarrow
