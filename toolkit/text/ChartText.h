// A chart's text: the encoding it is read and written in, and how its lines end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "toolkit/text/Codecs.h"

namespace text {

// How a chart's text is encoded, decided once when the chart is read: a UTF-8 byte-order mark, or
// valid UTF-8 that holds at least one character beyond ASCII, makes a UTF-8 chart; every other chart
// is read as Shift-JIS (EUC-KR or broken text included: its bytes come back as they were).
enum class ChartEncoding { ShiftJis, Utf8 };
ChartEncoding ChartEncodingOf(std::string_view bytes);
// The encoding's name as messages give it.
std::u16string EncodingName(ChartEncoding encoding);
// A chart's bytes to text, and text to the chart's bytes (appended to `out`), losslessly as the codecs do
// (codecs.h). Encoding returns false when a character has no form in the chart's encoding (written as "?").
void DecodeChartText(std::string_view bytes, ChartEncoding encoding, std::u16string& out);
std::u16string DecodeChartText(std::string_view bytes, ChartEncoding encoding);
bool EncodeChartText(std::u16string_view text, ChartEncoding encoding, std::string& out);

// How a chart's lines end. A chart that holds at least one LF and no CR at all (written on Linux or
// macOS, or kept in git) has LF lines; every other chart ends its lines at CR LF or a lone CR, and a
// lone LF stays inside its line.
enum class LineEnds { CrLf, Lf };
LineEnds ChartLineEnds(std::string_view data);

// Byte-level line splitting. Starting with pos = 0, each call yields the next line without its end
// and advances pos; false when no line is left. A last line without an end is still a line; an
// empty input has no lines.
bool NextLine(std::string_view data, std::size_t& pos, std::string_view& line, LineEnds ends = LineEnds::CrLf);
// Appends `line` and its end as a rewritten chart writes it: CR LF after every line; in an LF chart
// LF, except after a last line that had no end (`ended` false).
void AppendLine(std::string& out, std::string_view line, LineEnds ends = LineEnds::CrLf, bool ended = true);

}  // namespace text
