// Rewriting a chart without ever losing it. The new content goes to a temporary file beside the
// chart; once that is on the disk it takes the chart's place in one atomic rename, the old chart
// kept under a backup name when asked. At every moment the chart's path holds its old or its new
// content, and a failure leaves the chart as it was.
#pragma once

#include <string>

namespace mdlChartFile {

// The most backup numbers tried for one chart before it is left as it was.
inline constexpr int kMaxBackupNumber = 9999;

// Reads the whole chart. Returns why it failed, empty when the bytes are read.
std::u16string Read(const std::u16string& chart, std::string& bytes);

// A program names its temporary and backup files by its own extension (ext, without the dot):
// chart + "." + ext + "1" while the new content waits, chart + "~" + n + "." + ext for a backup.
std::u16string TempPath(const std::u16string& chart, const std::u16string& ext);

// Writes the chart's new content to its temporary file. Durable, it is on the disk when this
// returns; else MakeDurable must come before Replace. Returns why it failed (no temporary file is
// left then), empty when it is written.
std::u16string WriteTemp(const std::u16string& chart, const std::u16string& ext, const std::string& bytes,
                         bool durable);
// Puts everything written without durability on the file system that holds the folder onto the
// disk: one flush for many charts costs far less than a flush per chart.
void MakeDurable(const std::u16string& folder);

// Puts the written temporary file in the chart's place: the chart's times carried over, the old
// chart kept under the first free backup name when backup is on, then one atomic rename. Returns
// why it failed, empty when the chart holds its new content; on a failure the temporary file and a
// backup this made are gone and the chart is as it was.
std::u16string Replace(const std::u16string& chart, const std::u16string& ext, bool backup);

}  // namespace mdlChartFile
