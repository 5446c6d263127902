// Evaluating a parsed filter of three comparisons joined by OR over 1,000,000 in-memory
// records, beside hand-written C++ doing the same comparisons on the same records: once
// through the field-resolver interface the filter reads (the data set's access path) and
// once straight from the record arrays. Prints the ratios of thread CPU time, best of
// several rounds each, and how many allocations the filter makes while it reads the records.
#include "oracle/filter/OracleFilter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>
#include <vector>

namespace {
std::atomic<long> gAllocations{0};
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete" // free() of what this operator new got from malloc()
#endif
void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }

using namespace quorvel;

namespace {

constexpr int kRecords = 1000000;
constexpr char16_t kFilter[] = u"([N] > 999000) OR ([X] < 0.001) OR ([NAME] = 'zz9')";

class TRecords final : public TFieldResolver {
public:
    TRecords() {
        uint32_t seed = 12345;
        auto next = [&] { return seed = seed * 1103515245u + 12345u; };
        N.resize(kRecords);
        X.resize(kRecords);
        Name.resize(kRecords);
        NameNull.resize(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            N[i] = static_cast<int32_t>(next() % 1000000);
            X[i] = (next() % 1000000) / 1000.0;
            Name[i] = u"zz" + std::u16string(1, static_cast<char16_t>(u'0' + next() % 10));
            NameNull[i] = next() % 50 == 0;
        }
    }
    int FieldIndex(std::u16string_view name) const override {
        if (name == u"N") return 0;
        if (name == u"X") return 1;
        if (name == u"NAME") return 2;
        throw Exception("Field '" + std::string(name.begin(), name.end()) + "' not found");
    }
    TExprType FieldType(int index) const override { return index == 0 ? ttInteger : index == 1 ? ttFloat : ttString; }
    bool FieldIsNull(int index) const override { return index == 2 && NameNull[Current]; }
    TDateTime FieldAsDateTime(int index) const override { return TDateTime(FieldAsFloat(index)); }
    double FieldAsFloat(int index) const override { return index == 0 ? N[Current] : X[Current]; }
    int32_t FieldAsInteger(int index) const override { return N[Current]; }
    bool FieldAsBoolean(int index) const override { return false; }
    std::u16string_view FieldAsString(int index, std::u16string&) const override {
        return NameNull[Current] ? std::u16string_view() : std::u16string_view(Name[Current]);
    }
    bool FieldInteger(int index, int32_t& value) const override {
        value = N[Current];
        return true;
    }
    bool FieldFloat(int index, double& value) const override {
        value = index == 0 ? N[Current] : X[Current];
        return true;
    }
    bool FieldString(int index, std::u16string_view& value, std::u16string&) const override {
        if (NameNull[Current]) return false;
        value = Name[Current];
        return true;
    }

    std::vector<int32_t> N;
    std::vector<double> X;
    std::vector<std::u16string> Name;
    std::vector<char> NameNull;
    int Current = 0;
};

TRecords& Records() {
    static TRecords records;
    return records;
}

long CountWithFilter(TRecords& records, const TExpression& filter) {
    long count = 0;
    for (int i = 0; i < kRecords; ++i) {
        records.Current = i;
        count += filter.AsBoolean();
    }
    return count;
}

// The same comparisons through the interface the filter reads, one call per field.
__attribute__((noinline)) bool HandWritten(const TFieldResolver& r, std::u16string& buffer) {
    int32_t n;
    double x;
    std::u16string_view name;
    return (r.FieldInteger(0, n) && n > 999000) || (r.FieldFloat(1, x) && x < 0.001) ||
           (r.FieldString(2, name, buffer) && name == u"zz9");
}

long CountHandWritten(TRecords& records) {
    long count = 0;
    std::u16string buffer;
    for (int i = 0; i < kRecords; ++i) {
        records.Current = i;
        count += HandWritten(records, buffer);
    }
    return count;
}

long CountDirect(const TRecords& r) {
    long count = 0;
    for (int i = 0; i < kRecords; ++i)
        count += r.N[i] > 999000 || r.X[i] < 0.001 || (!r.NameNull[i] && r.Name[i] == u"zz9");
    return count;
}

void BM_Filter(benchmark::State& state) {
    auto filter = ParseFilter(kFilter, {}, Records());
    for (auto _ : state) benchmark::DoNotOptimize(CountWithFilter(Records(), *filter));
    state.SetItemsProcessed(state.iterations() * kRecords);
}
void BM_HandWrittenThroughResolver(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(CountHandWritten(Records()));
    state.SetItemsProcessed(state.iterations() * kRecords);
}
void BM_HandWrittenDirect(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(CountDirect(Records()));
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Filter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandWrittenThroughResolver)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandWrittenDirect)->Unit(benchmark::kMillisecond);

double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Best of several rounds of this thread's CPU time, so other load on the machine counts less.
template <class F>
double BestSeconds(F&& work, long& result) {
    double best = 1e9;
    for (int round = 0; round < 9; ++round) {
        double start = ThreadSeconds();
        result = work();
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    TRecords& records = Records();
    auto filter = ParseFilter(kFilter, {}, records);
    long viaFilter = 0, viaHand = 0, direct = 0;
    double tFilter = BestSeconds([&] { return CountWithFilter(records, *filter); }, viaFilter);
    double tHand = BestSeconds([&] { return CountHandWritten(records); }, viaHand);
    double tDirect = BestSeconds([&] { return CountDirect(records); }, direct);
    if (viaFilter != viaHand || viaFilter != direct) {
        std::printf("MISMATCH: filter %ld, hand-written %ld, direct %ld\n", viaFilter, viaHand, direct);
        return 1;
    }
    long before = gAllocations.load();
    CountWithFilter(records, *filter);
    long allocations = gAllocations.load() - before;
    std::printf("records %d, matching %ld\n", kRecords, viaFilter);
    std::printf("allocations while the filter reads all records: %ld\n", allocations);
    std::printf("filter / hand-written through the field resolver: %.2f (%.1f ms / %.1f ms)\n", tFilter / tHand,
                tFilter * 1e3, tHand * 1e3);
    std::printf("filter / hand-written on the record arrays:       %.2f (%.1f ms / %.1f ms)\n", tFilter / tDirect,
                tFilter * 1e3, tDirect * 1e3);
    return 0;
}
