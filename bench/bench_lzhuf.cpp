// Compression and decompression throughput of the built-in BLOB coder on 10 MiB of text, beside
// zlib at level 6 on the same data in the same run: "vs_zlib" is the LZHUF / zlib time ratio,
// "lzhuf_ratio" and "zlib_ratio" the compression ratios.
#include "bench/BenchSupport.h"
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "oracle/dataset/OracleCompress.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Words picked by a linear congruential sequence, twelve to a line: text with the repetition of
// real scripts and logs, reproducible from run to run.
const Bytes& Text() {
    static const Bytes text = [] {
        static const char* const words[] = {
            "the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "database", "module",
            "script", "install", "session", "commit", "rollback", "select", "from", "where", "table", "column",
            "index", "value", "oracle", "package", "procedure", "begin", "end", "exception", "cursor", "fetch"};
        const std::size_t n = 10u << 20;
        std::string out;
        out.reserve(n + 16);
        std::uint32_t seed = 5;
        for (int w = 1; out.size() < n; ++w) {
            seed = seed * 1103515245u + 12345u;
            out += words[(seed >> 16) % 30];
            out += w % 12 == 0 ? "\r\n" : " ";
        }
        out.resize(n);
        return Bytes(out.begin(), out.end());
    }();
    return text;
}

Bytes ZlibCompress(const Bytes& in) {
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), 6) != Z_OK)
        throw std::runtime_error("zlib compress2 failed");
    out.resize(size);
    return out;
}

Bytes ZlibDecompress(const Bytes& in, std::size_t size) {
    Bytes out(size);
    uLongf outSize = static_cast<uLongf>(size);
    if (uncompress(out.data(), &outSize, in.data(), static_cast<uLong>(in.size())) != Z_OK || outSize != size)
        throw std::runtime_error("zlib uncompress failed");
    return out;
}



// Every iteration codes the text with LZHUF and with zlib at level 6, one after the other, so
// both see the same machine load. The benchmark's own time is LZHUF's; "vs_zlib" is the LZHUF
// time divided by the zlib time over all iterations.
void BM_Compress(benchmark::State& state) {
    const Bytes& text = Text();
    Bytes lzhuf, zlib;
    double lzhufTime = 0, zlibTime = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        lzhuf = quorvel::LZHUFEncode(text);
        benchmark::DoNotOptimize(lzhuf.data());
        const double t = Seconds(t0);
        t0 = Clock::now();
        zlib = ZlibCompress(text);
        benchmark::DoNotOptimize(zlib.data());
        zlibTime += Seconds(t0);
        lzhufTime += t;
        state.SetIterationTime(t);
    }
    const double n = static_cast<double>(text.size());
    const double iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["vs_zlib"] = lzhufTime / zlibTime;
    state.counters["zlib_MiB/s"] = n * iterations / zlibTime / (1 << 20);
    state.counters["lzhuf_ratio"] = n / static_cast<double>(lzhuf.size());
    state.counters["zlib_ratio"] = n / static_cast<double>(zlib.size());
}

void BM_Decompress(benchmark::State& state) {
    const Bytes& text = Text();
    const Bytes lzhuf = quorvel::LZHUFEncode(text);
    const Bytes zlib = ZlibCompress(text);
    double lzhufTime = 0, zlibTime = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        Bytes a = quorvel::LZHUFDecode(lzhuf);
        benchmark::DoNotOptimize(a.data());
        const double t = Seconds(t0);
        t0 = Clock::now();
        Bytes b = ZlibDecompress(zlib, text.size());
        benchmark::DoNotOptimize(b.data());
        zlibTime += Seconds(t0);
        lzhufTime += t;
        state.SetIterationTime(t);
        if (a != text || b != text) state.SkipWithError("decoded text differs");
    }
    const double n = static_cast<double>(text.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["vs_zlib"] = lzhufTime / zlibTime;
    state.counters["zlib_MiB/s"] = n * static_cast<double>(state.iterations()) / zlibTime / (1 << 20);
}

BENCHMARK(BM_Compress)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);
BENCHMARK(BM_Decompress)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
