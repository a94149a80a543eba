// libFuzzer target for Matcher: any search pattern, replace pattern and name, in both modes and
// both comparison modes. Besides crashes and sanitizer reports it checks that matching agrees with
// a plain backtracking matcher, that the compiled token list keeps its shape, that a rewritten
// name is the one a plain placement of the segments gives, and that the kernels this build uses
// answer as their scalar twins on the name.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/match/Matcher.h"
#include "toolkit/match/Kernels.h"
#include "toolkit/text/Compare.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Bytes to text: ASCII as it is, the rest spread over characters that text mode must not fold
// (full-width letters, kana, escaped bytes).
std::u16string Text(const std::string& bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (const unsigned char b : bytes) {
    if (b < 0x80) {
      out.push_back(char16_t(b));
    } else if (b < 0xC0) {
      out.push_back(char16_t(0xFF00 + (b - 0x80)));  // full-width forms, Ａ-Ｚ and ａ-ｚ among them
    } else if (b < 0xE0) {
      out.push_back(char16_t(0x3040 + (b - 0xC0)));
    } else {
      out.push_back(char16_t(0xDC00 + b));
    }
  }
  return out;
}

using text::CaseMode;

bool Same(char16_t a, char16_t b, CaseMode cmpMode) { return text::EqualChars(a, b, cmpMode); }

// Whole-name wildcard match with backtracking over the last "*".
bool Reference(const std::u16string& p, const std::u16string& s, CaseMode cmpMode) {
  std::size_t pi = 0, si = 0, starP = std::u16string::npos, starS = 0;
  while (si < s.size()) {
    if (pi < p.size() && p[pi] == u'*') {
      starP = pi++;
      starS = si;
    } else if (pi < p.size() && (p[pi] == u'?' || Same(p[pi], s[si], cmpMode))) {
      ++pi;
      ++si;
    } else if (starP != std::u16string::npos) {
      pi = starP + 1;
      si = ++starS;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  return pi == p.size();
}

bool IsWild(const std::u16string& t) { return t == u"*" || t == u"?"; }

// What each token covers in s: the first segment at the start, the last at the end, every middle
// one at its left-most place after the one before. Empty when the tokens do not match.
std::optional<std::vector<std::u16string>> Captures(const std::vector<std::u16string>& tokens,
                                                    const std::u16string& s, CaseMode cmpMode) {
  struct Segment {
    std::size_t first, last, length;  // tokens [first, last)
  };
  std::vector<Segment> segs{{0, 0, 0}};
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i] == u"*") {
      segs.back().last = i;
      segs.push_back({i + 1, i + 1, 0});
    } else {
      segs.back().length += tokens[i] == u"?" ? 1 : tokens[i].size();
    }
  }
  segs.back().last = tokens.size();
  auto fits = [&](const Segment& g, std::size_t at) {
    if (at + g.length > s.size()) return false;
    for (std::size_t i = g.first; i < g.last; ++i) {
      if (tokens[i] == u"?") {
        ++at;
        continue;
      }
      for (const char16_t c : tokens[i]) {
        if (!Same(c, s[at++], cmpMode)) return false;
      }
    }
    return true;
  };
  std::vector<std::size_t> place(segs.size());
  if (segs.size() == 1) {
    if (s.size() != segs[0].length || !fits(segs[0], 0)) return std::nullopt;
  } else {
    if (s.size() < segs.back().length) return std::nullopt;
    place.back() = s.size() - segs.back().length;
    if (!fits(segs.front(), 0) || !fits(segs.back(), place.back())) return std::nullopt;
    std::size_t pos = segs.front().length;
    for (std::size_t k = 1; k + 1 < segs.size(); ++k) {
      while (pos + segs[k].length <= place.back() && !fits(segs[k], pos)) ++pos;
      if (pos + segs[k].length > place.back()) return std::nullopt;
      place[k] = pos;
      pos += segs[k].length;
    }
    if (pos > place.back()) return std::nullopt;
  }
  std::vector<std::u16string> out(tokens.size());
  for (std::size_t k = 0; k < segs.size(); ++k) {
    std::size_t at = place[k];
    for (std::size_t i = segs[k].first; i < segs[k].last; ++i) {
      const std::size_t n = tokens[i] == u"?" ? 1 : tokens[i].size();
      out[i] = s.substr(at, n);
      at += n;
    }
    if (k + 1 < segs.size()) out[segs[k].last] = s.substr(at, place[k + 1] - at);
  }
  return out;
}

// The name a usable rule makes of s: per search position, the captured text where the pairing
// in use holds a wildcard, else the pairing's literal.
std::optional<std::u16string> Rewritten(const Matcher& m, const std::u16string& s) {
  const std::vector<std::u16string> tokens = m.MatchTokens(), pairing = m.ReplaceTokens(false);
  const auto captured = Captures(tokens, s, m.CmpMode());
  if (!captured) return std::nullopt;
  std::u16string out;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::u16string& entry = i < pairing.size() ? pairing[i] : std::u16string();
    out += IsWild(entry) ? (*captured)[i] : entry;
  }
  return out;
}

void CheckTokens(const Matcher& m) {
  const std::vector<std::u16string> dec = m.MatchTokens();
  Check(m.CanMatching() != dec.empty());
  if (!m.CanMatching()) return;
  Check(dec.size() >= 3 && dec.front().empty() && dec.back().empty());
  std::u16string joined;
  for (std::size_t i = 0; i < dec.size(); ++i) {
    joined += dec[i];
    if (i == 0) continue;
    const bool litPrev = !dec[i - 1].empty() && !IsWild(dec[i - 1]);
    const bool lit = !dec[i].empty() && !IsWild(dec[i]);
    Check(!(lit && litPrev));
    Check(!(IsWild(dec[i]) && IsWild(dec[i - 1])));
  }
  Check(joined == m.MatchPattern());
}

void Exercise(Matcher& m, const std::u16string& search, const std::u16string& replace,
              const std::u16string& name, bool reverse) {
  const CaseMode cmpMode = m.CmpMode();
  CheckTokens(m);
  const bool matched = m.IsMatch(name);
  if (search.empty()) {
    Check(!matched && !m.CanMatching());
  } else {
    const std::u16string whole = m.FileNameMode() ? search : u"*" + search + u"*";
    Check(matched == Reference(whole, name, cmpMode));
  }

  const std::size_t n = m.MatchTokens().size();
  Check(m.ReplaceTokens(false).size() == n && m.ReplaceTokens(true).size() == n);

  std::u16string out = name;
  const bool replaced = m.MatchAndReplaceFileName(out);
  if (!m.CanRewrite()) {
    Check(!replaced && out == name);
  } else {
    Check(replaced == matched);
    if (!replaced) Check(out == name);
    const auto expected = Rewritten(m, name);
    Check(expected.has_value() == replaced);
    if (replaced) Check(out == *expected);
    // A rule that gives back its own search pattern keeps the name (up to case in text mode).
    if (replaced && m.FileNameMode() && replace == search) {
      Check(text::Equal(out, name, cmpMode));
    }
  }

  m.SetReplacePatternReverse(reverse);
  out = name;
  const bool again = m.MatchAndReplaceFileName(out);
  Check(again == replaced);
  if (!again) Check(out == name);
  if (again) {
    const auto expected = Rewritten(m, name);
    Check(expected.has_value() && out == *expected);
  }
}

// The kernels on the name, with the pattern's characters as literal, block and character: the
// active set must give what the scalar twins give.
void CheckKernels(const std::u16string& name, const std::u16string& search) {
  namespace active = matchKernels::active;
  namespace plain = matchKernels::scalar;
  const std::size_t len = name.size();
  const char16_t* s = name.data();
  std::u16string lit = search.substr(0, len), folded;
  lit.resize(len, u'a');
  for (const char16_t c : lit) folded.push_back(text::FoldAscii(c));
  Check(active::EqualRun<false>(s, lit.data(), len) == plain::EqualRun<false>(s, lit.data(), len));
  Check(active::EqualRun<true>(s, folded.data(), len) == plain::EqualRun<true>(s, folded.data(), len));
  for (const char16_t p : search.substr(0, 4)) {
    const char16_t lower = text::FoldAscii(p);
    const char16_t fold = (lower >= u'a' && lower <= u'z') ? 0x20 : 0;
    for (const char16_t f : {char16_t(0), fold}) {
      const std::size_t start = len / 3, n = std::min<std::size_t>(len - start, 64);
      Check(active::MaskOf(s, start, n, lower, f) == plain::MaskOf(s, start, n, lower, f));
      Check(active::FindChar(s, len, start, len, lower, f) == plain::FindChar(s, len, start, len, lower, f));
      if (len >= 8 && len <= 64) {
        Check(active::NameMask(s, len, active::Lanes(lower, f)) == plain::NameMask(s, len, plain::Lanes(lower, f)));
      }
    }
  }
  if (len < 8) return;
  // Lanes taken from the pattern: "?" cares about nothing, a letter's lane folds by its bit.
  matchKernels::Block b{};
  for (std::size_t i = 0; i < 8; ++i) {
    const char16_t p = i < search.size() ? search[i] : u'?';
    const char16_t lower = text::FoldAscii(p);
    b.set[i] = p == u'?' ? 0xFFFF : (lower >= u'a' && lower <= u'z') ? 0x20 : 0;
    b.want[i] = p == u'?' ? 0xFFFF : lower;
  }
  Check(active::BlockFits(s, b) == plain::BlockFits(s, b));
  Check(active::BlockFits(s + len - 8, b) == plain::BlockFits(s + len - 8, b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  const std::uint8_t flags = fdp.ConsumeIntegral<std::uint8_t>();
  const std::u16string search = Text(fdp.ConsumeRandomLengthString(256));
  const std::u16string replace = Text(fdp.ConsumeRandomLengthString(256));
  const std::u16string name = Text(fdp.ConsumeRandomLengthString(1024));
  const bool fileNameMode = flags & 1;
  const CaseMode cmpMode = (flags & 2) ? CaseMode::Text : CaseMode::Binary;
  const bool reverse = flags & 4;

  CheckKernels(name, search);

  Matcher m;
  if (flags & 8) {
    // Patterns first, then the modes: the mode change must rebuild and pair again.
    m.SetMatchPattern(search);
    m.SetReplacePattern(replace);
    m.SetCmpMode(cmpMode);
    m.SetFileNameMode(fileNameMode);
  } else {
    m.SetCmpMode(cmpMode);
    m.SetFileNameMode(fileNameMode);
    m.SetMatchPattern(search);
    m.SetReplacePattern(replace);
  }
  Exercise(m, search, replace, name, reverse);

  m.SetFileNameMode(!fileNameMode);
  Exercise(m, search, replace, name, !reverse);

  m.SetMatchPattern(search);  // unchanged: no rebuild
  m.SetCmpMode(cmpMode == CaseMode::Text ? CaseMode::Binary : CaseMode::Text);
  Exercise(m, search, replace, name, reverse);

  m.SetMatchPattern(u"");
  Check(!m.IsMatch(name) && !m.CanRewrite());
  std::u16string out = name;
  Check(!m.MatchAndReplaceFileName(out) && out == name);
  m.SetReplacePatternReverse(!reverse);
  Check(m.MatchTokens().empty() && m.ReplaceTokens(reverse).empty());
  return 0;
}
