// The session's own UTF-8 decoding and encoding of 4 MB of mixed Latin and Cyrillic text beside
// the base library's UTF-8 conversions of the same text, and the CR LF conversion of text read
// from the server beside a plain copy of it. Prints the ratios of thread CPU time, best of five
// rounds each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "base/CodePage.h"
#include "oracle/session/SessionPreferences.h"
#include "oracle/session/UTF8.h"

using namespace quorvel;

namespace {

const std::string& Utf8Text() {
    static const std::string text = [] {
        std::string line = "Module 42: \xD0\xA3\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBA\xD0\xB0 "
                           "\xD0\xBC\xD0\xBE\xD0\xB4\xD1\x83\xD0\xBB\xD1\x8F - installed \xE2\x82\xAC 100\n";
        std::string s;
        while (s.size() < (4u << 20)) s += line;
        return s;
    }();
    return text;
}

const std::u16string& WideText() {
    static const std::u16string text = Utf8ToUtf16(Utf8Text());
    return text;
}

std::size_t LibraryDecode() { return UTF8Decode(Utf8Text()).size(); }
std::size_t BaseDecode() { return Utf8ToUtf16(Utf8Text()).size(); }
std::size_t LibraryEncode() { return UTF8Encode(WideText()).size(); }
std::size_t BaseEncode() { return Utf16ToUtf8(WideText()).size(); }
std::size_t LibraryCRLF() { return ToCRLF(Utf8Text()).size(); }
std::size_t PlainCopy() { return std::string(Utf8Text()).size(); }

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

template <std::size_t (*Work)()>
void Run(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Work());
}
BENCHMARK(Run<LibraryDecode>)->Name("UTF8Decode")->Unit(benchmark::kMillisecond);
BENCHMARK(Run<BaseDecode>)->Name("base Utf8ToUtf16")->Unit(benchmark::kMillisecond);
BENCHMARK(Run<LibraryEncode>)->Name("UTF8Encode")->Unit(benchmark::kMillisecond);
BENCHMARK(Run<BaseEncode>)->Name("base Utf16ToUtf8")->Unit(benchmark::kMillisecond);
BENCHMARK(Run<LibraryCRLF>)->Name("ToCRLF")->Unit(benchmark::kMillisecond);
BENCHMARK(Run<PlainCopy>)->Name("plain copy")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::size_t a = 0, b = 0;
    const double decode = BestSeconds(LibraryDecode, a) / BestSeconds(BaseDecode, b);
    const bool sameDecode = a == b;
    const double encode = BestSeconds(LibraryEncode, a) / BestSeconds(BaseEncode, b);
    const bool sameEncode = a == b;
    const double crlf = BestSeconds(LibraryCRLF, a) / BestSeconds(PlainCopy, b);
    std::printf("text of %zu bytes\n", Utf8Text().size());
    std::printf("UTF8Decode / base Utf8ToUtf16 time: %.2f\n", decode);
    std::printf("UTF8Encode / base Utf16ToUtf8 time: %.2f\n", encode);
    std::printf("ToCRLF / plain copy time: %.2f\n", crlf);
    return sameDecode && sameEncode ? 0 : 1;
}
