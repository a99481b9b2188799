// Tokenizing a generated corpus of realistic command lines, in bytes per second, with two
// baselines on the same corpus: a plain white-space split (no quotes, no escapes: the
// ceiling) and GLib's g_shell_parse_argv (a parser people use for the same job).
//   tokenizer_bench [--benchmark_repetitions=5 ...]
#include <stddef.h>

#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <glib.h>

#include "framework/CmdLineParser.h"

namespace {

using Corvane::TalisFramework::CmdLineParser;

const char* const kWords[] = {"SET",  "gain", "mode", "fast",   "RUN",   "probe", "-v",
                              "--id", "42",   "0.25", "sensor", "DEPTH", "on",    "OFF"};
const char* const kPhrases[] = {"hello world", "probe one", "calibration run 3",
                                "a b c d",     "north-east sector"};
const char* const kFieldTypes[] = {"double", "float", "long", "ulong", "string", "bool"};

template <size_t N>
const char* Pick(std::mt19937& random, const char* const (&choices)[N]) {
  return choices[random() % N];
}

std::string PlainLine(std::mt19937& random) {
  std::string line = Pick(random, kWords);
  for (unsigned i = 0, n = 2 + random() % 6; i < n; ++i) {
    line += ' ';
    line += Pick(random, kWords);
  }
  return line;
}

std::string QuotedLine(std::mt19937& random) {
  std::string line = "SAY \"";
  line += Pick(random, kPhrases);
  line += "\" '";
  line += Pick(random, kPhrases);
  line += "' --name=\"";
  line += Pick(random, kPhrases);
  line += "\" end";
  return line;
}

std::string EscapedLine(std::mt19937& random) {
  std::string line = "CD /data/run\\ ";
  line += std::to_string(random() % 100);
  line += "/file\\ name.txt say\\ \\\"hi\\\" back\\\\slash ";
  line += Pick(random, kWords);
  return line;
}

std::string TelemLine(std::mt19937& random) {
  std::string line = "TELEM fast";
  for (unsigned i = 0, n = 20 + random() % 20; i < n; ++i) {
    const char* type = Pick(random, kFieldTypes);
    line += " Field";
    line += std::to_string(i);
    line += ',';
    line += type;
    line += ',';
    if (std::string(type) == "string") {
      line += "\"";
      line += Pick(random, kPhrases);
      line += "\"";
    } else {
      line += std::to_string(random() % 100000);
      line += ".5";
    }
  }
  return line;
}

// About half of the bytes come from TELEM lines, the rest from short commands.
const std::vector<std::string>& Corpus() {
  static const std::vector<std::string> corpus = [] {
    std::mt19937 random(20261211);
    std::vector<std::string> lines;
    for (int i = 0; i < 2000; ++i) {
      switch (i % 8) {
        case 0:
          lines.push_back(TelemLine(random));
          break;
        case 1:
        case 2:
        case 3:
          lines.push_back(PlainLine(random));
          break;
        case 4:
        case 5:
          lines.push_back(QuotedLine(random));
          break;
        default:
          lines.push_back(EscapedLine(random));
          break;
      }
    }
    return lines;
  }();
  return corpus;
}

int64_t CorpusBytes() {
  int64_t bytes = 0;
  for (const std::string& line : Corpus()) {
    bytes += static_cast<int64_t>(line.size());
  }
  return bytes;
}

struct SpaceTable {
  bool space[256] = {};
  SpaceTable() {
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
      space[c] = true;
    }
  }
  bool operator()(char c) const { return space[static_cast<unsigned char>(c)]; }
};

// Splits at white space only, as tightly as a table lookup per byte allows.
void PlainSplit(const std::string& line, std::vector<std::string>& tokens) {
  static const SpaceTable isSpace;
  tokens.clear();
  const char* p = line.data();
  const char* end = p + line.size();
  while (p < end) {
    while (p < end && isSpace(*p)) {
      ++p;
    }
    const char* start = p;
    while (p < end && !isSpace(*p)) {
      ++p;
    }
    if (p > start) {
      tokens.emplace_back(start, p);
    }
  }
}

void BM_CmdLineParser(benchmark::State& state) {
  std::vector<std::string> tokens;
  for (auto _ : state) {
    for (const std::string& line : Corpus()) {
      CmdLineParser::Tokenize(line, tokens);
      benchmark::DoNotOptimize(tokens.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * CorpusBytes());
}
BENCHMARK(BM_CmdLineParser);

void BM_PlainSplit(benchmark::State& state) {
  std::vector<std::string> tokens;
  for (auto _ : state) {
    for (const std::string& line : Corpus()) {
      PlainSplit(line, tokens);
      benchmark::DoNotOptimize(tokens.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * CorpusBytes());
}
BENCHMARK(BM_PlainSplit);

void BM_GShellParseArgv(benchmark::State& state) {
  for (auto _ : state) {
    for (const std::string& line : Corpus()) {
      gchar** argv = nullptr;
      if (!g_shell_parse_argv(line.c_str(), nullptr, &argv, nullptr)) {
        state.SkipWithError("g_shell_parse_argv refused a corpus line");
        return;
      }
      benchmark::DoNotOptimize(argv);
      g_strfreev(argv);
    }
  }
  state.SetBytesProcessed(state.iterations() * CorpusBytes());
}
BENCHMARK(BM_GShellParseArgv);

}  // namespace

BENCHMARK_MAIN();
