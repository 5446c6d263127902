// Reading a tnsnames.ora of 20,000 entries (each a six-line descriptor, names in random order)
// with the library's reader, beside a hand-written baseline doing the least the same job needs:
// load the lines, take the text before "=" of every line that starts an entry, and keep the
// names in a case-ignoring std::set. Prints the ratio of thread CPU time, best of five rounds each.
#include "oracle/ci/internal/TNSNamesReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "base/StrUtils.h"
#include "base/Strings.h"
#include "base/TextCase.h"

using namespace quorvel;

namespace {

constexpr int kEntries = 20000;

const std::string& TnsFile()
{
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / "quorvel-bench-tnsnames.ora";
        std::ofstream out(file, std::ios::binary);
        uint32_t seed = 2024;
        out << "# generated\n";
        for (int i = 0; i < kEntries; ++i) {
            seed = seed * 1103515245u + 12345u;
            const std::string name = "DB" + std::to_string(seed % 1000000) + "_" + std::to_string(i);
            out << name << ".WORLD =\n  (DESCRIPTION =\n    (ADDRESS = (PROTOCOL = TCP)(HOST = host" << i
                << ")(PORT = 1521))\n    (CONNECT_DATA =\n      (SERVICE_NAME = " << name << ")\n    )\n  )\n\n";
        }
        return file.string();
    }();
    return path;
}

struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const { return AnsiCompareText(a, b) < 0; }
};

std::size_t Baseline()
{
    TStringList lines;
    lines.LoadFromFile(TnsFile());
    std::set<std::string, CaseLess> names;
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == ' ' || line[0] == '#' || line[0] == ')')
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string name = Trim(std::string_view(line).substr(0, eq));
        if (name.size() > 6 && AnsiSameText(std::string_view(name).substr(name.size() - 6), ".WORLD"))
            name.resize(name.size() - 6);
        names.insert(std::move(name));
    }
    return names.size();
}

std::size_t Library()
{
    TStringList names;
    tns_internal::PrepareNameList(names);
    tns_internal::ReadTNSNamesFile(TnsFile(), names, {"WORLD", false, true});
    return static_cast<std::size_t>(names.Count());
}

double ThreadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double BestSeconds(std::size_t (*work)(), std::size_t& result)
{
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const double start = ThreadSeconds();
        result = work();
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}

void BM_Baseline(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Baseline());
}
void BM_Library(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Library());
}
BENCHMARK(BM_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Library)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::size_t base = 0, lib = 0;
    const double baseSeconds = BestSeconds(Baseline, base);
    const double libSeconds = BestSeconds(Library, lib);
    std::printf("tnsnames.ora of %d entries: baseline %zu names, library %zu names\n", kEntries, base, lib);
    std::printf("library / baseline time: %.2f\n", libSeconds / baseSeconds);
    std::filesystem::remove(TnsFile());
    return base == lib ? 0 : 1;
}
