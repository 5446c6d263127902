// Splitting script text into commands, against a baseline of the least any splitter must do
// with the same text: one pass of the literal and comment blanker and one split into lines.
// Report the ratio split / baseline for each text, not the absolute times.
#include "oracle/query/SqlText.h"
#include "oracle/script/OracleCommands.h"
#include "oracle/script/ScriptParsing.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

using namespace quorvel;

namespace {

std::string ReadModule() {
    std::ifstream in(std::string(QUORVEL_SCRIPT_BENCH_DATA) + "/warehouse.sql", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// texts: 0 = the warehouse module repeated 40 times (about 5500 lines),
//        1 = a 5000-line comment header before one statement,
//        2 = one statement of 5000 lines with fewer than four words until its last line.
std::string Text(int which) {
    std::string text;
    if (which == 0) {
        const std::string module = ReadModule();
        for (int i = 0; i < 40; ++i) text += module;
    } else if (which == 1) {
        for (int i = 0; i < 5000; ++i) text += "-- licence text line " + std::to_string(i) + " of the header\n";
        text += "select 1 from dual;\n";
    } else {
        text += "begin\n";
        for (int i = 0; i < 5000; ++i) text += "  /* step " + std::to_string(i) + " */\n";
        text += "  null; end;\n/\n";
    }
    return text;
}

void BM_Baseline(benchmark::State& state) {
    const std::string text = Text(int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(BlankLiteralsAndComments(text));
        benchmark::DoNotOptimize(SplitTextLines(text));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_SplitScript(benchmark::State& state) {
    const std::vector<std::string> lines = SplitTextLines(Text(int(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(SplitScript(lines, false));
}

void BM_BuildAndRegenerate(benchmark::State& state) {
    TStringList lines;
    lines.SetText(Text(int(state.range(0))));
    for (auto _ : state) {
        TScriptText script;
        script.SetLines(lines);
        script.Commands()[0].SetText("prompt changed");
        benchmark::DoNotOptimize(script.Lines().Count());
    }
}

BENCHMARK(BM_Baseline)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitScript)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildAndRegenerate)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
