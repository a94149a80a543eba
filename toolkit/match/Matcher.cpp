#include "toolkit/match/Matcher.h"

#include <algorithm>

namespace {

using Kind = CompiledPattern::Kind;

const std::u16string kStar = u"*";
const std::u16string kAny = u"?";

bool IsWildcard(const std::u16string& t) { return t == kStar || t == kAny; }

bool OnlyWildcards(const std::u16string& text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c == u'*' || c == u'?'; });
}

std::u16string Join(const std::vector<std::u16string>& tokens) {
  std::u16string out;
  for (const auto& t : tokens) out += t;
  return out;
}

}  // namespace

// Splits a pattern into tokens. Search patterns keep only the first "*" of a run of adjacent
// wildcards; in substring mode a "*" that only wildcards separate from an end of the pattern also
// moves to that end. Empty tokens stand at both ends and between two wildcards, except between two
// "*"s, which only a replace pattern keeps.
std::vector<std::u16string> Matcher::BuildTokens(const std::u16string& text, bool search, bool substring) {
  struct Piece {
    std::u16string text;
    Kind kind;
    bool removed;
  };
  std::vector<Piece> pieces;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == u'*' || text[i] == u'?') {
      pieces.push_back({std::u16string(1, text[i]), text[i] == u'*' ? Kind::Star : Kind::Any, false});
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && text[j] != u'*' && text[j] != u'?') ++j;
    pieces.push_back({text.substr(i, j - i), Kind::Literal, false});
    i = j;
  }

  if (search) {
    bool haveStar = false;
    for (auto& piece : pieces) {
      if (piece.kind == Kind::Star) {
        if (haveStar) piece.removed = true;
        haveStar = true;
      } else if (piece.kind == Kind::Literal) {
        haveStar = false;
      }
    }
    if (substring && !pieces.empty()) {
      // "*?" and "?*" match the same names; keeping the "*" outermost lets an all-wildcard
      // pattern anchor at the start of the name. The wrapping "*" in front always stays; the one
      // at the back goes when only wildcards part it from an earlier "*", which then takes its place.
      for (std::size_t i = pieces.size(); i-- > 0;) {
        if (pieces[i].removed || pieces[i].kind == Kind::Any) continue;
        if (pieces[i].kind == Kind::Star) std::swap(pieces[i], pieces.back());
        break;
      }
    }
  }

  std::vector<std::u16string> tokens;
  tokens.reserve(pieces.size() * 2 + 2);
  tokens.emplace_back();
  Kind prev = Kind::Empty;
  for (auto& piece : pieces) {
    if (piece.removed) continue;
    if ((piece.kind == Kind::Star && prev == Kind::Any) ||
        (piece.kind == Kind::Any && (prev == Kind::Star || prev == Kind::Any))) {
      tokens.emplace_back();
    }
    tokens.push_back(std::move(piece.text));
    prev = piece.kind;
  }
  tokens.emplace_back();
  return tokens;
}

void Matcher::SetFileNameMode(bool value) {
  file_name_mode_ = value;
  SetMatchPattern(std::u16string(raw_pattern_));
}

void Matcher::SetMatchPattern(const std::u16string& text) {
  if (text.empty()) {
    // The old tokens stay, but nothing reads them while there is no pattern.
    raw_pattern_.clear();
    has_pattern_ = false;
    replace_status_ = ReplaceStatus::Unpaired;
    compiled_.Clear();
    built_mode_ = file_name_mode_;
    n_ = 0;
    return;
  }
  if (text == raw_pattern_ && file_name_mode_ == built_mode_) return;

  raw_pattern_ = text;
  built_mode_ = file_name_mode_;
  tokens_ = file_name_mode_ ? BuildTokens(text, true, false) : BuildTokens(u"*" + text + u"*", true, true);
  n_ = tokens_.size();
  norm_pattern_ = Join(tokens_);
  reversed_tokens_.assign(tokens_.rbegin(), tokens_.rend());
  compiled_.Compile(tokens_);
  has_pattern_ = true;
  SetReplacePattern(std::u16string(raw_replace_));
}

std::vector<std::u16string> Matcher::MatchTokens() const {
  return std::vector<std::u16string>(tokens_.begin(), tokens_.begin() + static_cast<std::ptrdiff_t>(n_));
}

void Matcher::SetReplacePattern(const std::u16string& text) {
  raw_replace_ = text;
  replace_status_ = ReplaceStatus::Unpaired;
  if (n_ < 3) return;
  if (text.empty() && file_name_mode_) {
    // Every matching name becomes empty.
    start_first_.assign(n_, std::u16string());
    end_first_ = start_first_;
    UsePairing(start_first_);
    replace_status_ = ReplaceStatus::Ready;
    return;
  }

  std::u16string wrapped = text;
  if (!file_name_mode_) {
    // The added "*"s pair with the search pattern's wrapping ones and keep the text around the
    // found place; where the search pattern's own "*" (or, for an all-wildcard pattern, its "?"
    // anchored at the start) takes that role, the added one is left out.
    wrapped = u"*" + text + u"*";
    if ((OnlyWildcards(raw_pattern_) && raw_pattern_.front() == u'?') || raw_pattern_.front() == u'*') {
      wrapped.erase(0, 1);
    }
    if (raw_pattern_.back() == u'*') wrapped.pop_back();
  }
  std::vector<std::u16string> replaceTokens = BuildTokens(wrapped, false, false);

  const ReplaceStatus forward = Pair(replaceTokens, tokens_, start_first_);
  std::reverse(replaceTokens.begin(), replaceTokens.end());
  const ReplaceStatus backward = Pair(replaceTokens, reversed_tokens_, end_first_);
  // The graver failure of the two directions stands.
  replace_status_ = std::max(forward, backward);

  auto count = [](const std::u16string& pattern, const std::u16string& wildcard) {
    return text::CountOccurrences(pattern, wildcard, text::CaseMode::Binary);
  };
  if (count(raw_replace_, kAny) > count(raw_pattern_, kAny) || count(raw_replace_, kStar) > count(raw_pattern_, kStar)) {
    replace_status_ = ReplaceStatus::ExtraWildcards;
  }

  if (replace_status_ == ReplaceStatus::Ready) {
    UsePairing(start_first_);
    // end_first_ runs from the last search token back; the tokens at both ends are always empty.
    for (std::size_t i = 1; i + 1 < n_; ++i) {
      const std::u16string& entry = start_first_[i];
      if (IsWildcard(entry) && entry != end_first_[n_ - 1 - i]) {
        replace_status_ = ReplaceStatus::Ambiguous;
        break;
      }
    }
  }
}

// Pairs the replace tokens with the search tokens. pairing receives, per search
// token, the replace token linked to it. Ready, or ExtraWildcards when the
// replacement has more "*" or "?" tokens than the search, or Unpaired when the
// links cannot be completed in order. Positions in the link tables count from
// 1, so that 0 can stand for "not linked" and the empty tokens at both ends (1,
// and p or q) stay out of every loop.
Matcher::ReplaceStatus Matcher::Pair(const std::vector<std::u16string> &replace,
                                     const std::vector<std::u16string> &search,
                                     std::vector<std::u16string> &pairing) {
  const std::size_t p = replace.size(), q = search.size();
  pairing.assign(q, std::u16string());
  auto tp = [&](std::size_t i) -> const std::u16string & {
    return replace[i - 1];
  };
  auto tq = [&](std::size_t j) -> const std::u16string & {
    return search[j - 1];
  };

  const auto starsP = std::count(replace.begin(), replace.end(), kStar),
             starsQ = std::count(search.begin(), search.end(), kStar);
  const auto anysP = std::count(replace.begin(), replace.end(), kAny),
             anysQ = std::count(search.begin(), search.end(), kAny);
  if (starsP > starsQ || anysP > anysQ) return ReplaceStatus::ExtraWildcards;

  // link[i]: search position of replace position i; back[j]: replace position of search position j.
  std::vector<std::size_t> link(p + 1, 0), back(q + 1, 0);
  auto connect = [&](std::size_t i, std::size_t j) {
    link[i] = j;
    back[j] = i;
  };
  const std::size_t m = std::min(p, q);

  // Tokens both patterns share at the start and at the end stay where they are.
  std::size_t k1 = 0;
  for (std::size_t i = 2; i + 1 <= m && tp(i) == tq(i); ++i) {
    connect(i, i);
    k1 = i;
  }
  std::size_t k2 = 0;
  for (std::size_t j = 2; j + k1 <= m && tp(p - j + 1) == tq(q - j + 1); ++j) {
    connect(p - j + 1, q - j + 1);
    k2 = j;
  }
  // A literal that the replace pattern only extends (a -> a_c) stays with its search literal.
  if (k1 + k2 < m) {
    auto extends = [](const std::u16string& replace, const std::u16string& search) {
      return text::Find(replace, search, text::CaseMode::Text) != std::u16string::npos;
    };
    if (k1 != 0 && link[k1 + 1] == 0 && extends(tp(k1 + 1), tq(k1 + 1))) connect(k1 + 1, k1 + 1);
    if (k2 != 0 && link[p - k2] == 0 && extends(tp(p - k2), tq(q - k2))) connect(p - k2, q - k2);
  }

  enum class Class { Star, Any, Literal, Wildcard };
  std::vector<Class> classes;
  if (starsP == starsQ) classes.push_back(Class::Star);
  if (anysP == anysQ) classes.push_back(Class::Any);
  classes.push_back(Class::Literal);
  classes.push_back(Class::Wildcard);
  for (const Class cls : classes) {
    std::size_t lastLink = 0;
    for (std::size_t i = 2; i + 1 <= p; ++i) {
      const std::u16string& t = tp(i);
      bool ofClass = false;
      switch (cls) {
        case Class::Star: ofClass = t == kStar; break;
        case Class::Any: ofClass = t == kAny; break;
        case Class::Literal: ofClass = CompiledPattern::KindOf(t) == Kind::Literal; break;
        case Class::Wildcard: ofClass = IsWildcard(t); break;
      }
      if (!ofClass || link[i] != 0) {
        lastLink = std::max(lastLink, link[i]);
        continue;
      }
      std::size_t bound = q + 1;
      for (std::size_t later = i + 1; later <= p; ++later) {
        if (link[later] != 0) {
          bound = link[later];
          break;
        }
      }
      for (std::size_t j = lastLink + 1; j < bound; ++j) {
        if (back[j] == 0 && text::Equal(tq(j), t, text::CaseMode::Text)) {
          connect(i, j);
          lastLink = j;
          break;
        }
      }
    }
  }

  // Links must be mutual and keep the order of both patterns.
  std::size_t prev = 0;
  for (std::size_t i = 1; i <= p; ++i) {
    if (link[i] == 0) continue;
    if (back[link[i]] != i || link[i] <= prev) return ReplaceStatus::Unpaired;
    prev = link[i];
  }
  for (std::size_t j = 1; j <= q; ++j) {
    if (back[j] != 0 && link[back[j]] != j) return ReplaceStatus::Unpaired;
  }

  // The remaining replace tokens take the search positions right after the previous link.
  std::size_t cursor = 1;
  for (std::size_t i = 2; i + 1 <= p; ++i) {
    if (link[i] != 0) {
      cursor = link[i] + 1;
      continue;
    }
    if (cursor > q || back[cursor] != 0) return ReplaceStatus::Unpaired;
    connect(i, cursor);
    ++cursor;
  }

  for (std::size_t j = 1; j <= q; ++j) {
    if (back[j] != 0) pairing[j - 1] = tp(back[j]);
  }
  return ReplaceStatus::Ready;
}

void Matcher::UsePairing(const std::vector<std::u16string>& pairing) {
  in_use_ = pairing;
  compiled_.UsePairing(pairing);
}

void Matcher::SetReplacePatternReverse(bool value) {
  if (replace_status_ != ReplaceStatus::Ambiguous) return;
  if (value) {
    UsePairing(std::vector<std::u16string>(end_first_.rbegin(), end_first_.rend()));
  } else {
    UsePairing(start_first_);
  }
}

std::vector<std::u16string> Matcher::ReplaceTokens(bool from_end) const {
  std::vector<std::u16string> tokens =
      from_end
          ? std::vector<std::u16string>(end_first_.rbegin(), end_first_.rend())
          : in_use_;
  tokens.resize(n_);
  return tokens;
}
