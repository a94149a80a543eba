// Matcher against fnmatch(3) on the same file names and chart lines.
//
// Each benchmark walks the whole corpus once per iteration; items_per_second is names per second.
// fnmatch gets the names as UTF-8 in the C locale (its fastest path) with FNM_NOESCAPE, plus
// FNM_CASEFOLD when Matcher compares in text mode. allocs_per_name counts heap allocations
// inside the timed loop; best_ns is the fastest pass over the corpus in this thread's CPU time,
// per name.
//
// The names are not laid out for the benchmark: each side's strings are allocated in a shuffled
// order with unrelated blocks in between, as a program that gathered them from folders and charts
// holds them, so walking the list jumps about the heap. After the runs a summary sets the best_ns
// of the runs side by side: fnmatch's time over IsMatch's per rule and mode, the cost of a name
// rejected by its first or last character, and rewriting's time over matching's on the same
// copies. The best pass, as other work on the machine only ever adds time.
#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "toolkit/match/Matcher.h"
#include "toolkit/text/Codecs.h"

// Heap allocations so far (alloc_counter.cpp).
long AllocationCount();

namespace {

struct Rule {
  const char16_t* search;
  const char16_t* replace;
};
// The first four are rules chart authors write; the last two reject every name of the corpus, one
// by its first character and one by its last ("~" ends or starts no name), to time what a call
// costs when it has nothing to do.
const Rule kRules[] = {
    {u"*.wav", u"*.ogg"}, {u"#WAV?? *.wav", u"#WAV?? *.ogg"}, {u"*_*_*", u"*-*-*"},
    {u"a?c*x", u"A?C*X"}, {u"~*_*", u"~*-*"},                 {u"*.wa~", u"*.og~"},
};
constexpr int kRewriteRules = 4;
constexpr int kAllRules = 6;

// Copies of `source`, allocated in a shuffled order, each followed by a block of 16 to 143 bytes
// that stays allocated, while now and then an older block is freed and leaves a hole for a later
// name: neighbours in the list lie apart on the heap, and apart from the other side's copies.
template <class Str>
std::vector<Str> Scatter(const std::vector<Str>& source, std::mt19937& rng,
                         std::vector<std::unique_ptr<char[]>>& keep) {
  std::vector<std::size_t> order(source.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::shuffle(order.begin(), order.end(), rng);
  std::vector<Str> out(source.size());
  for (const std::size_t i : order) {
    out[i] = source[i];
    keep.push_back(std::make_unique<char[]>(16 + rng() % 128));
    if (rng() % 4 == 0) {
      std::swap(keep[rng() % keep.size()], keep.back());
      keep.pop_back();
    }
  }
  return out;
}

// Material file names as charts name them, and the lines of charts: headers, material lines and
// the long channel lines that make up most of a chart.
struct Corpus {
  std::vector<std::u16string> names;
  std::vector<std::string> utf8;
  std::vector<std::unique_ptr<char[]>> between;  // the unrelated blocks, kept for the layout

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
    const std::size_t count = 200000;
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
    names = Scatter(made, rng, between);
    std::vector<std::string> encoded;
    encoded.reserve(count);
    for (const auto& n : made) encoded.push_back(text::ToUtf8(n));
    utf8 = Scatter(encoded, rng, between);
  }
};

const Corpus& TheCorpus() {
  static const Corpus corpus;
  return corpus;
}

std::vector<std::u16string> ScatteredCopy() {
  static std::vector<std::unique_ptr<char[]>> keep;
  std::mt19937 rng(777);
  return Scatter(TheCorpus().names, rng, keep);
}

// Times every pass of a benchmark over its names by this thread's CPU clock, so that the time the
// scheduler gives to other work is left out, and keeps the fastest.
class Passes {
 public:
  template <class Pass>
  void Time(Pass&& pass) {
    const double start = Now();
    pass();
    // A virtual machine's clock now and then reports a pass as taking no time at all.
    const double took = Now() - start;
    if (took > 0) best_ = std::min(best_, took);
  }

  void Report(benchmark::State& state, long matches, long allocs,
              long n = static_cast<long>(TheCorpus().names.size())) const {
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["match_rate"] = double(matches) / double(state.iterations() * n);
    state.counters["allocs_per_name"] = double(allocs) / double(state.iterations() * n);
    state.counters["best_ns"] = best_ / double(n);
  }

 private:
  static double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
  }
  double best_ = 1e300;
};

Matcher MakeRule(const Rule& rule, int cmpMode) {
  Matcher m;
  m.SetCmpMode(cmpMode != 0 ? text::CaseMode::Text : text::CaseMode::Binary);
  m.SetFileNameMode(true);
  m.SetMatchPattern(rule.search);
  m.SetReplacePattern(rule.replace);
  return m;
}

void BM_fnmatch(benchmark::State& state) {
  const Rule& rule = kRules[state.range(0)];
  const std::string pattern = text::ToUtf8(rule.search);
  const int flags = FNM_NOESCAPE | (state.range(1) ? FNM_CASEFOLD : 0);
  const auto& names = TheCorpus().utf8;
  Passes passes;
  long matches = 0;
  const long before = AllocationCount();
  for (auto _ : state) {
    passes.Time([&] {
      for (const auto& name : names) matches += fnmatch(pattern.c_str(), name.c_str(), flags) == 0;
    });
  }
  passes.Report(state, matches, AllocationCount() - before);
}

void BM_IsMatch(benchmark::State& state) {
  Matcher m = MakeRule(kRules[state.range(0)], static_cast<int>(state.range(1)));
  const auto& names = TheCorpus().names;
  Passes passes;
  long matches = 0;
  const long before = AllocationCount();
  for (auto _ : state) {
    passes.Time([&] {
      for (const auto& name : names) matches += m.IsMatch(name);
    });
  }
  passes.Report(state, matches, AllocationCount() - before);
}

// Every name is rewritten in place, as a chart reader's line buffer is. Each pass works on a fresh
// copy of the corpus, made while the clock is stopped into strings scattered as the corpus is
// (the copy reuses them, so it allocates nothing once they have grown). The copy leaves the names
// less warm than the corpus the other benchmarks read again and again, so BM_IsMatchOnCopy matches
// the same fresh copies: that is the number to set rewriting against.
template <bool Rewrite>
void OnFreshCopy(benchmark::State& state) {
  Matcher m = MakeRule(kRules[state.range(0)], static_cast<int>(state.range(1)));
  const auto& names = TheCorpus().names;
  std::vector<std::u16string> work = ScatteredCopy();
  Passes passes;
  long matches = 0;
  long allocs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    work = names;
    state.ResumeTiming();
    const long before = AllocationCount();
    passes.Time([&] {
      for (auto& name : work) matches += Rewrite ? m.MatchAndReplaceFileName(name) : m.IsMatch(name);
    });
    allocs += AllocationCount() - before;
  }
  passes.Report(state, matches, allocs);
}

void BM_MatchAndReplaceFileName(benchmark::State& state) { OnFreshCopy<true>(state); }
void BM_IsMatchOnCopy(benchmark::State& state) { OnFreshCopy<false>(state); }

// The two rejecting rules on the first 4,096 names only, passed over again and again: they stay in
// the cache, so this is what a call costs besides fetching the name. A pass goes over them 32
// times, long enough for the clock.
void BM_IsMatchWarm(benchmark::State& state) {
  Matcher m = MakeRule(kRules[state.range(0)], static_cast<int>(state.range(1)));
  const auto& all = TheCorpus().names;
  const std::vector<std::u16string> names(all.begin(), all.begin() + 4096);
  const int sweeps = 32;
  Passes passes;
  long matches = 0;
  for (auto _ : state) {
    passes.Time([&] {
      for (int k = 0; k < sweeps; ++k) {
        for (const auto& name : names) matches += m.IsMatch(name);
      }
    });
  }
  passes.Report(state, matches, 0, static_cast<long>(names.size()) * sweeps);
}

// What any matcher pays to look at a name at all: the first (0) or the last (1) character of every
// name is read and compared, and nothing else is done. The rejected rules can come no closer.
void BM_TouchName(benchmark::State& state) {
  const auto& names = TheCorpus().names;
  const bool last = state.range(0) != 0;
  Passes passes;
  long matches = 0;
  for (auto _ : state) {
    passes.Time([&] {
      for (const auto& name : names) {
        const std::size_t len = name.size();
        matches += len != 0 && name.data()[last ? len - 1 : 0] == u'~';
      }
    });
  }
  passes.Report(state, matches, 0);
}

// Arguments: rule index (see kRules), text mode.
void Args(benchmark::internal::Benchmark* b, int first, int end, benchmark::TimeUnit unit) {
  b->ArgNames({"rule", "text"});
  for (int rule = first; rule < end; ++rule) {
    for (int text = 1; text >= 0; --text) b->Args({rule, text});
  }
  b->Unit(unit);
}
void AllRules(benchmark::internal::Benchmark* b) { Args(b, 0, kAllRules, benchmark::kMillisecond); }
void RewriteRules(benchmark::internal::Benchmark* b) { Args(b, 0, kRewriteRules, benchmark::kMillisecond); }
void RejectingRules(benchmark::internal::Benchmark* b) { Args(b, kRewriteRules, kAllRules, benchmark::kMicrosecond); }

BENCHMARK(BM_fnmatch)->Apply(AllRules);
BENCHMARK(BM_IsMatch)->Apply(AllRules);
BENCHMARK(BM_IsMatchWarm)->Apply(RejectingRules);
BENCHMARK(BM_TouchName)->ArgName("last")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchAndReplaceFileName)->Apply(RewriteRules);
BENCHMARK(BM_IsMatchOnCopy)->Apply(RewriteRules);

// The console report, and the best_ns of every run kept for the summary (the best of repetitions).
class Summary : public benchmark::ConsoleReporter {
 public:
  Summary() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& r : reports) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred || r.iterations == 0) continue;
      const auto best = r.counters.find("best_ns");
      if (best == r.counters.end()) continue;
      const double ns = best->second.value;
      auto [it, fresh] = best_.emplace(r.benchmark_name(), ns);
      if (!fresh) it->second = std::min(it->second, ns);
    }
  }

  void Print() const {
    auto time = [&](const char* family, int rule, int text) {
      const auto it = best_.find(std::string(family) + "/rule:" + std::to_string(rule) + "/text:" + std::to_string(text));
      return it == best_.end() ? 0.0 : it->second;
    };
    auto line = [](const char16_t* pattern, int text, double a, double b) {
      const std::string p = text::ToUtf8(pattern);
      std::printf("  %-14s %-5s %9.2f %9.2f %8.2fx\n", p.c_str(), text ? "text" : "exact", a, b, a / b);
    };
    std::printf("\nfnmatch over IsMatch, ns per name\n  %-14s %-5s %9s %9s %9s\n", "rule", "mode", "fnmatch",
                "IsMatch", "ratio");
    for (int rule = 0; rule < kAllRules; ++rule) {
      if (rule == kRewriteRules) std::printf("  rejected by the first or the last character:\n");
      for (int text = 1; text >= 0; --text) {
        const double f = time("BM_fnmatch", rule, text), m = time("BM_IsMatch", rule, text);
        if (f > 0 && m > 0) line(kRules[rule].search, text, f, m);
      }
    }
    for (int last = 0; last <= 1; ++last) {
      const auto it = best_.find("BM_TouchName/last:" + std::to_string(last));
      if (it != best_.end()) {
        std::printf("  reading the %s character of every name and nothing more: %.2f ns\n", last ? "last" : "first",
                    it->second);
      }
    }
    for (int rule = kRewriteRules; rule < kAllRules; ++rule) {
      for (int text = 1; text >= 0; --text) {
        const double w = time("BM_IsMatchWarm", rule, text);
        if (w > 0) {
          std::printf("  %-14s %-5s IsMatch on names already in the cache: %.2f ns\n",
                      text::ToUtf8(kRules[rule].search).c_str(), text ? "text" : "exact", w);
        }
      }
    }
    std::printf("\nrewriting over matching on the same fresh copies, ns per name\n  %-14s %-5s %9s %9s %9s\n",
                "rule", "mode", "rewrite", "match", "ratio");
    for (int rule = 0; rule < kRewriteRules; ++rule) {
      for (int text = 1; text >= 0; --text) {
        const double w = time("BM_MatchAndReplaceFileName", rule, text), m = time("BM_IsMatchOnCopy", rule, text);
        if (w > 0 && m > 0) line(kRules[rule].search, text, w, m);
      }
    }
  }

 private:
  std::map<std::string, double> best_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Summary summary;
  benchmark::RunSpecifiedBenchmarks(&summary);
  summary.Print();
  benchmark::Shutdown();
  return 0;
}
