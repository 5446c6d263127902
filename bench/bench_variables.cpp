// Array DML input and output: a 20,000-element array of integers and one of short strings set into
// bind variables (SetVariable) and read back (GetVariable), beside a hand-written baseline doing
// the least the same job needs: convert every element of the same variant arrays into a buffer of
// fixed-size slots with an indicator per slot, and build the variant arrays back from the slots.
// Prints the ratio of thread CPU time, best of five rounds each.
#include "oracle/query/Variables.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

constexpr int kElements = 20000;
constexpr int kStringSize = 40;

struct NoOwner : TVariableOwner {
    TOracleSession* VariableSession() const override { return nullptr; }
    bool UseDefaultVariableCharSet() const override { return false; }
    void VariablesRedeclared() override {}
};

const Variant& Integers() {
    static const Variant v = [] {
        VariantArray a;
        for (int i = 0; i < kElements; ++i) a.push_back(i % 97 == 0 ? Variant::Null() : Variant(i * 7));
        return Variant::Array(std::move(a), 1);
    }();
    return v;
}

const Variant& Strings() {
    static const Variant v = [] {
        VariantArray a;
        for (int i = 0; i < kElements; ++i)
            a.push_back(i % 97 == 0 ? Variant::Null() : Variant("name " + std::to_string(i) + " of the list"));
        return Variant::Array(std::move(a), 1);
    }();
    return v;
}

std::size_t Baseline() {
    std::vector<std::int32_t> ints(kElements);
    std::vector<char> texts(size_t(kElements) * (kStringSize + 1));
    std::vector<std::int16_t> intInd(kElements), textInd(kElements);
    const Variant& in = Integers();
    const Variant& st = Strings();
    for (int i = 0; i < kElements; ++i) {
        const Variant e = in.Element(i + 1);
        intInd[size_t(i)] = e.IsNullOrUnassigned() ? -1 : 0;
        if (!e.IsNullOrUnassigned()) ints[size_t(i)] = e.ToInteger();
        const Variant s = st.Element(i + 1);
        textInd[size_t(i)] = s.IsNullOrUnassigned() ? -1 : 0;
        if (!s.IsNullOrUnassigned()) {
            const std::string t = s.ToString();
            const size_t n = std::min(t.size(), size_t(kStringSize));
            char* slot = texts.data() + size_t(i) * (kStringSize + 1);
            std::memcpy(slot, t.data(), n);
            slot[n] = 0;
        }
    }
    VariantArray outInts, outTexts;
    outInts.reserve(kElements);
    outTexts.reserve(kElements);
    for (int i = 0; i < kElements; ++i) {
        outInts.push_back(intInd[size_t(i)] < 0 ? Variant() : Variant(ints[size_t(i)]));
        outTexts.push_back(textInd[size_t(i)] < 0 ? Variant()
                                                  : Variant(std::string(texts.data() + size_t(i) * (kStringSize + 1))));
    }
    Variant a = Variant::Array(std::move(outInts), 1), b = Variant::Array(std::move(outTexts), 1);
    return size_t(a.Count() + b.Count());
}

std::size_t Library() {
    NoOwner owner;
    TVariables vars(&owner);
    vars.DeclareVariable("IDS", otInteger);
    vars.DeclareVariable("NAMES", otString);
    vars.DimPLSQLTable("NAMES", kElements, kStringSize);
    vars.SetVariable("IDS", Integers());
    vars.SetVariable("NAMES", Strings());
    Variant a = vars.GetVariable("IDS"), b = vars.GetVariable("NAMES");
    return size_t(a.Count() + b.Count());
}

double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double BestSeconds(std::size_t (*work)(), std::size_t& result) {
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const double start = ThreadSeconds();
        result = work();
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}

void BM_Baseline(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Baseline());
}
void BM_Library(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Library());
}
BENCHMARK(BM_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Library)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Integers();
    Strings();
    std::size_t base = 0, lib = 0;
    const double baseSeconds = BestSeconds(Baseline, base);
    const double libSeconds = BestSeconds(Library, lib);
    std::printf("arrays of %d integers and %d strings in and out: baseline %zu, library %zu elements\n", kElements,
                kElements, base, lib);
    std::printf("library / baseline time: %.2f\n", libSeconds / baseSeconds);
    return base == lib ? 0 : 1;
}
