// libFuzzer target for the lossless codecs: any bytes decode, as CP932 and as UTF-8, to a text
// that encodes back to exactly the same bytes; a name shown for reading never breaks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "toolkit/text/ChartText.h"
#include "toolkit/text/Codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string cp932 = text::DecodeCp932(bytes);
  if (text::ToCp932(cp932) != bytes) std::abort();
  if (!text::CanEncodeCp932(cp932)) std::abort();
  const std::u16string utf8 = text::DecodeUtf8(bytes);
  if (text::ToUtf8(utf8) != bytes) std::abort();
  (void)text::ReadableName(utf8);
  // Lines: every byte of the input lies in a line or in a line end.
  const text::LineEnds ends = text::ChartLineEnds(bytes);
  std::size_t pos = 0, covered = 0, lines = 0;
  std::string_view line;
  while (text::NextLine(bytes, pos, line, ends)) {
    if (line.data() < bytes.data() + covered) std::abort();
    covered = pos;
    ++lines;
  }
  if (covered != bytes.size() || lines > bytes.size()) std::abort();
  return 0;
}
