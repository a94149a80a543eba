// clsMatching against fnmatch(3) on the same file names and chart lines.
//
// Each benchmark walks the whole corpus once per iteration; items_per_second is names per second.
// fnmatch gets the names as UTF-8 in the C locale (its fastest path) with FNM_NOESCAPE, plus
// FNM_CASEFOLD when clsMatching compares in text mode. allocs_per_name counts heap allocations
// inside the timed loop.
#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <random>
#include <string>
#include <vector>

#include "toolkit/clsMatching.h"
#include "toolkit/platform/text.h"

// Heap allocations so far (alloc_counter.cpp).
long AllocationCount();

namespace {

struct Rule {
  const char16_t* search;
  const char16_t* replace;
};
const Rule kRules[] = {
    {u"*.wav", u"*.ogg"},
    {u"#WAV?? *.wav", u"#WAV?? *.ogg"},
    {u"*_*_*", u"*-*-*"},
    {u"a?c*x", u"A?C*X"},
};

// Material file names as charts name them, and the lines of charts: headers, material lines and
// the long channel lines that make up most of a chart.
struct Corpus {
  std::vector<std::u16string> names;
  std::vector<std::string> utf8;

  Corpus() {
    std::mt19937 rng(12345);
    auto pick = [&](auto const& list) { return list[rng() % std::size(list)]; };
    const char16_t* stems[] = {u"kick", u"snare", u"hihat_open", u"bgm_intro_a", u"se_hit", u"piano_c4_soft",
                               u"abcdex", u"a1c_mix_x", u"vox", u"ドラム", u"ベース_low", u"clap_2"};
    const char16_t* exts[] = {u".wav", u".WAV", u".ogg", u".bmp", u".png", u".wav.bak", u".Wav"};
    const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    auto fileName = [&] {
      std::u16string s = pick(stems);
      if (rng() % 2) s += u"_" + std::u16string(1, char16_t(u'0' + rng() % 10)) + char16_t(u'0' + rng() % 10);
      return s + pick(exts);
    };
    auto index = [&] {
      return std::u16string{char16_t(digits[rng() % 36]), char16_t(digits[rng() % 36])};
    };
    const std::size_t count = 300000;
    std::vector<std::u16string> made;
    made.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      switch (rng() % 8) {
        case 0:
        case 1:
        case 2:
          made.push_back(fileName());
          break;
        case 3:
        case 4:
          made.push_back(u"#WAV" + index() + u" " + fileName());
          break;
        case 5:
          made.push_back(u"#BMP" + index() + u" " + fileName());
          break;
        case 6: {
          std::u16string line = u"#0" + index() + u"11:";
          for (int k = 2 + rng() % 30; k > 0; --k) line += index();
          made.push_back(line);
          break;
        }
        default:
          // Header lines, and the occasional bare name (a folder, or a name without extension).
          if (rng() % 2) {
            made.push_back(u"#TITLE a_c_" + std::u16string(pick(stems)) + u" x");
          } else {
            made.push_back(pick(stems));
          }
          break;
      }
    }
    // Both copies are made afresh, one name after the other, so that each side finds its names on
    // the heap in corpus order, free of the gaps the temporaries above left.
    names.assign(made.begin(), made.end());
    utf8.reserve(count);
    for (const auto& n : names) utf8.push_back(platform::ToUtf8(n));
  }
};

const Corpus& TheCorpus() {
  static const Corpus corpus;
  return corpus;
}

void Report(benchmark::State& state, long matches, long allocs) {
  const auto n = static_cast<long>(TheCorpus().names.size());
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["match_rate"] = double(matches) / double(state.iterations() * n);
  state.counters["allocs_per_name"] = double(allocs) / double(state.iterations() * n);
}

clsMatching MakeRule(const Rule& rule, int cmpMode) {
  clsMatching m;
  m.SetCmpMode(cmpMode);
  m.SetFileNameMode(true);
  m.SetMatchPattern(rule.search);
  m.SetReplacePattern(rule.replace);
  return m;
}

void BM_fnmatch(benchmark::State& state) {
  const Rule& rule = kRules[state.range(0)];
  const std::string pattern = platform::ToUtf8(rule.search);
  const int flags = FNM_NOESCAPE | (state.range(1) ? FNM_CASEFOLD : 0);
  const auto& names = TheCorpus().utf8;
  long matches = 0;
  const long before = AllocationCount();
  for (auto _ : state) {
    for (const auto& name : names) matches += fnmatch(pattern.c_str(), name.c_str(), flags) == 0;
  }
  Report(state, matches, AllocationCount() - before);
}

void BM_IsMatch(benchmark::State& state) {
  clsMatching m = MakeRule(kRules[state.range(0)], static_cast<int>(state.range(1)));
  const auto& names = TheCorpus().names;
  long matches = 0;
  const long before = AllocationCount();
  for (auto _ : state) {
    for (const auto& name : names) matches += m.IsMatch(name);
  }
  Report(state, matches, AllocationCount() - before);
}

// Every name is rewritten in place, as a chart reader's line buffer is. Each pass works on a fresh
// copy of the corpus, made while the clock is stopped (the copy reuses the strings of the last
// pass, so it allocates nothing once they have grown). The copy leaves the names less warm than
// the corpus the other benchmarks read again and again, so BM_IsMatchOnCopy matches the same fresh
// copies: that is the number to set rewriting against.
template <bool Rewrite>
void OnFreshCopy(benchmark::State& state) {
  clsMatching m = MakeRule(kRules[state.range(0)], static_cast<int>(state.range(1)));
  const auto& names = TheCorpus().names;
  std::vector<std::u16string> work;
  long matches = 0;
  long allocs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    work = names;
    state.ResumeTiming();
    const long before = AllocationCount();
    for (auto& name : work) matches += Rewrite ? m.MatchAndReplaceFileName(name) : m.IsMatch(name);
    allocs += AllocationCount() - before;
  }
  Report(state, matches, allocs);
}

void BM_MatchAndReplaceFileName(benchmark::State& state) { OnFreshCopy<true>(state); }
void BM_IsMatchOnCopy(benchmark::State& state) { OnFreshCopy<false>(state); }

// Arguments: rule index (0 "*.wav", 1 "#WAV?? *.wav", 2 "*_*_*", 3 "a?c*x"), text mode.
void Args(benchmark::internal::Benchmark* b) {
  b->ArgNames({"rule", "text"});
  for (int rule = 0; rule < 4; ++rule) {
    for (int text = 1; text >= 0; --text) b->Args({rule, text});
  }
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_fnmatch)->Apply(Args);
BENCHMARK(BM_IsMatch)->Apply(Args);
BENCHMARK(BM_MatchAndReplaceFileName)->Apply(Args);
BENCHMARK(BM_IsMatchOnCopy)->Apply(Args);

}  // namespace

BENCHMARK_MAIN();
