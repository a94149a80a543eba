// libFuzzer target for the chart line rewriting of Quarrow and Fennick: any chart bytes and any rule
// (Quarrow) or any conversion mode (Fennick) rewrite without a crash, and every line that the
// program did not replace comes out byte for byte, with the line ends of its chart.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "fennick/Run.h"
#include "quarrow/Run.h"
#include "toolkit/run/ChartFile.h"
#include "toolkit/platform/fs.h"
#include "toolkit/text/ChartText.h"
#include "toolkit/text/Codecs.h"

namespace {

// The chart's lines as the rewrite pass splits them.
std::vector<std::string> Lines(std::string_view bytes) {
  std::vector<std::string> lines;
  const text::LineEnds ends = text::ChartLineEnds(bytes);
  std::size_t pos = 0;
  std::string_view line;
  while (text::NextLine(bytes, pos, line, ends)) lines.emplace_back(line);
  return lines;
}

// Rewrites the chart with `rewrite`, noting which lines it replaced, and checks the others.
void Check(const std::string& chart, const std::function<bool(std::u16string&)>& replace) {
  std::vector<bool> replaced;
  run::LineRewrite rewrite;
  rewrite.Rewrite = [&](std::u16string& line, text::ChartEncoding) {
    replaced.push_back(replace(line));
    return replaced.back();
  };
  std::string out;
  run::ChartChange change;
  std::u16string why;
  const run::Outcome outcome = run::RewriteLines(chart, rewrite, out, change, why);
  if (outcome != run::Outcome::Rewritten) return;
  const std::vector<std::string> before = Lines(chart);
  std::vector<std::string> after = Lines(out);
  // A last line that became empty and had no line end leaves nothing behind it.
  if (after.size() + 1 == before.size() && replaced.back()) after.emplace_back();
  if (before.size() != after.size() || replaced.size() != before.size()) std::abort();
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (!replaced[i] && before[i] != after[i]) std::abort();
  }
}

// A pattern as a window takes it: one line.
std::u16string Pattern(FuzzedDataProvider& in) {
  std::u16string text = text::DecodeCp932(in.ConsumeRandomLengthString(40));
  for (char16_t& c : text) {
    if (c == u'\r' || c == u'\n') c = u' ';
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::u16string search = Pattern(in);
  const std::u16string replace = Pattern(in);
  const int mode = in.ConsumeIntegralInRange(0, 2);
  const std::string chart = in.ConsumeRemainingBytesAsString();

  // Nothing is listed or shown: the lines are rewritten on their own.
  SilentProgressView view;
  RunProgress progress(view);
  FileFilter files;
  SilentMessages messages;
  const RunContext context{files, progress, messages, u""};
  quarrow::RunState q(context);
  q.TextModeOn = true;
  quarrow::BuildRules(q, {quarrow::MakeRuleEntry(search, replace)});
  Check(chart, [&](std::u16string& line) { return quarrow::ReplaceLine(q, u"/nonexistent-fuzz-folder", line); });

  fennick::RunState f(context);
  f.ConvertMode = fennick::ConvertModeOf(mode);
  Check(chart, [&](std::u16string& line) {
    return fennick::ConvertMaterialLine(f, u"/nonexistent-fuzz-folder", u"<set>", line);
  });
  return 0;
}
