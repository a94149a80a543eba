#include "toolkit/text/ChartText.h"

#include <cstring>

namespace text {

LineEnds ChartLineEnds(std::string_view data) {
  const bool lf = std::memchr(data.data(), '\n', data.size()) != nullptr;
  return lf && std::memchr(data.data(), '\r', data.size()) == nullptr ? LineEnds::Lf : LineEnds::CrLf;
}

bool NextLine(std::string_view data, std::size_t& pos, std::string_view& line, LineEnds ends) {
  if (pos >= data.size()) return false;
  const char* start = data.data() + pos;
  const std::size_t left = data.size() - pos;
  const void* end = std::memchr(start, ends == LineEnds::Lf ? '\n' : '\r', left);
  if (end == nullptr) {
    line = std::string_view(start, left);
    pos = data.size();
    return true;
  }
  const std::size_t len = static_cast<std::size_t>(static_cast<const char*>(end) - start);
  line = std::string_view(start, len);
  pos += len + 1;
  if (ends == LineEnds::CrLf && pos < data.size() && data[pos] == '\n') ++pos;
  return true;
}

void AppendLine(std::string& out, std::string_view line, LineEnds ends, bool ended) {
  out.append(line);
  if (ends == LineEnds::CrLf) {
    out.append("\r\n", 2);
  } else if (ended) {
    out.push_back('\n');
  }
}

ChartEncoding ChartEncodingOf(std::string_view bytes) {
  if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark || IsUtf8Text(bytes)) return ChartEncoding::Utf8;
  return ChartEncoding::ShiftJis;
}

std::u16string EncodingName(ChartEncoding encoding) {
  return encoding == ChartEncoding::Utf8 ? u"UTF-8" : u"Shift-JIS";
}

void DecodeChartText(std::string_view bytes, ChartEncoding encoding, std::u16string& out) {
  if (encoding == ChartEncoding::Utf8) {
    out = DecodeUtf8(bytes);
  } else {
    DecodeCp932(bytes, out);
  }
}

std::u16string DecodeChartText(std::string_view bytes, ChartEncoding encoding) {
  std::u16string out;
  DecodeChartText(bytes, encoding, out);
  return out;
}

bool EncodeChartText(std::u16string_view text, ChartEncoding encoding, std::string& out) {
  return encoding == ChartEncoding::Utf8 ? EncodeUtf8(text, out) : EncodeCp932(text, out);
}

}  // namespace text
