// What the console layers of both systems share: formatted output, and the reading of a Windows
// command line (pure text, so that it is the same wherever it is tested).
#include <cstdarg>

#include "toolkit/platform/console.h"

namespace platform {

void Print(std::FILE* stream, const char* format, ...) {
  std::va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (size > 0) {
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    text.pop_back();
    WriteText(stream, text);
  }
  va_end(again);
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
  std::vector<std::u16string> args;
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  std::size_t i = 0;
  // The program's own name: up to the next quote when it begins with one (no escapes), else to a
  // blank.
  std::u16string program;
  if (i < line.size() && line[i] == u'"') {
    for (++i; i < line.size() && line[i] != u'"'; ++i) program += line[i];
    if (i < line.size()) ++i;
  } else {
    for (; i < line.size() && !blank(line[i]); ++i) program += line[i];
  }
  args.push_back(std::move(program));
  for (;;) {
    while (i < line.size() && blank(line[i])) ++i;
    if (i >= line.size()) return args;
    std::u16string arg;
    bool quoted = false, has_quote = false;
    for (; i < line.size() && (quoted || !blank(line[i])); ++i) {
      std::size_t backslashes = 0;
      while (i < line.size() && line[i] == u'\\') ++backslashes, ++i;
      if (i >= line.size() || line[i] != u'"') {
        arg.append(backslashes, u'\\');
        if (i >= line.size()) break;
        arg += line[i];
        continue;
      }
      // Backslashes before a quote: two stand for one, and an odd one makes the quote a character.
      arg.append(backslashes / 2, u'\\');
      const bool ends_word = i + 1 >= line.size() || blank(line[i + 1]);
      if (backslashes % 2 == 1 && quoted && ends_word && !has_quote) {
        // "C:\dir\": the shell's user meant the backslash, and the quote to close.
        arg += u'\\';
        quoted = false;
      } else if (backslashes % 2 == 1) {
        arg += u'"';
        has_quote = true;
      } else if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
        arg += u'"';  // "" inside quotes: one quote, still quoted
        has_quote = true;
        ++i;
      } else {
        quoted = !quoted;
      }
    }
    args.push_back(std::move(arg));
  }
}

}  // namespace platform
