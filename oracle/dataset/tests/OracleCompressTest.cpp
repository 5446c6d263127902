// The built-in BLOB coder: exact coder output for known inputs (values stored by earlier versions
// must keep decoding, and new values must be what they would have written), round trips, the
// signature rules and hostile input.
#include "oracle/dataset/OracleCompress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string ToHex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (auto b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::uint64_t Fnv1a(const Bytes& bytes) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (auto b : bytes) h = (h ^ b) * 0x100000001b3ULL;
    return h;
}

// Deterministic data: the high byte of a linear congruential sequence ...
Bytes NoiseBytes(std::size_t n, std::uint32_t seed) {
    Bytes out(n);
    for (auto& b : out) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return out;
}

// ... and text of words picked by it, twelve to a line.
Bytes WordText(std::size_t n, std::uint32_t seed) {
    static const char* const words[] = {
        "the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "database", "module",
        "script", "install", "session", "commit", "rollback", "select", "from", "where", "table", "column",
        "index", "value", "oracle", "package", "procedure", "begin", "end", "exception", "cursor", "fetch"};
    std::string out;
    out.reserve(n + 16);
    for (int w = 1; out.size() < n; ++w) {
        seed = seed * 1103515245u + 12345u;
        out += words[(seed >> 16) % 30];
        out += w % 12 == 0 ? "\r\n" : " ";
    }
    out.resize(n);
    return FromString(out);
}

std::string Repeat(const std::string& s, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += s;
    return out;
}

Bytes AllByteValues() {
    Bytes out(256);
    for (int i = 0; i < 256; ++i) out[i] = static_cast<std::uint8_t>(i);
    return out;
}

// Coder output of small inputs, byte for byte.
TEST(LZHUFCoder, WritesTheMethodsExactOutput) {
    struct Case {
        const char* name;
        Bytes input;
        const char* hex;
    };
    const Case cases[] = {
        {"empty", {}, "00000000"},
        {"one byte", FromString("A"), "01000000e680"},
        {"100 blanks", Bytes(100, ' '), "64000000c51dd884c0"},
        {"repeated triple", FromString("abcabcabcabc"), "0c000000f6fbbdf24020"},
        // Past the end of the input the lookahead holds zero bytes, which a run of zeros matches.
        {"ten zeros", Bytes(10, 0), "0a000000c6490000"},
        {"repeated phrase", FromString("Hello, world! Hello, world!"), "1b000000ea7c7f187fbdc6b00f0bfd7be1ad970680"},
        {"all byte values", AllByteValues(),
         "00010000c66371d8fc86472593ca6572d97cc667359bce6773d9fd068745a3d26974da7d46a755abd66b75dafd86c765b3"
         "da6d76db7dc6e775bbde6f77dbfe070785c3e27178dc7e472795cbe67379dcfe8747a5d3ea757add7ec767b5dbee777bdd"
         "ff0787c5e3f2797cde7f47a7d5ebf67b7ddeff87c7e5f3fa7d7edf7fc7e7f5fbfe7f7fdff000102030405060708090a0b"
         "0c0d0e0f101112131415161718191a1b1c1d1e1f2021222324252627282827262524232221201f1e1d1c1b1a19181716"
         "1514131211100f0e0d0c0b0a09080706050403020100ffffbfbfcfdfebf3f8fbfdbebf4f9fcbe3f0f7fbbdbecf5fabd3"
         "e8f3f9bcbe4f1f8bc3e0eff7bbbdcedf6bb3d8ebf5babd4e9f4ba3d0e7f3b9bcce5f2b93c8e3f18"},
        {"sentence seven times", FromString(Repeat("The quick brown fox jumps over the lazy dog. ", 7)),
         "3b010000f07d3e3acfe80fd7dff7c2f77fbf607fab7f2ba04b7f6c0fcff3ff55602c3bba802303df8f68302d3f0aff3dd7"
         "8059322c922c9e2cdd0b00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes coded = LZHUFEncode(c.input);
        EXPECT_EQ(ToHex(coded), c.hex);
        EXPECT_EQ(LZHUFDecode(FromHex(c.hex)), c.input);
    }
}

// Longer inputs, pinned by size and hash of the coder output: 120000 noise bytes are sent as
// literals and rebuild the Huffman tree three times; the text wraps the ring buffer many times.
TEST(LZHUFCoder, LongInputsMatchTheMethodsOutput) {
    struct Case {
        const char* name;
        Bytes input;
        std::size_t codedSize;
        std::uint64_t codedHash;
    };
    const Case cases[] = {
        {"noise", NoiseBytes(120000, 7), 120192, 0x52b1be23c04dd6aaULL},
        {"text", WordText(200000, 11), 43898, 0xee461698b9166d73ULL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes coded = LZHUFEncode(c.input);
        EXPECT_EQ(coded.size(), c.codedSize);
        EXPECT_EQ(Fnv1a(coded), c.codedHash);
        EXPECT_EQ(LZHUFDecode(coded), c.input);
    }
}

TEST(LZHUFCoder, RoundTripsLargeValues) {
    struct Case {
        const char* name;
        Bytes input;
    };
    const Case cases[] = {
        {"1 MiB of noise", NoiseBytes(1 << 20, 3)},
        {"10 MiB of text", WordText(10 << 20, 5)},
        {"1 MiB of one byte", Bytes(1 << 20, 'x')},
        {"noise runs", [] {
             // Runs of one byte between noise: long matches, literals and match lengths mixed.
             Bytes out;
             const Bytes noise = NoiseBytes(300000, 9);
             for (std::size_t i = 0; i < noise.size(); i += 97) {
                 out.insert(out.end(), noise.begin() + i, noise.begin() + std::min(i + 37, noise.size()));
                 out.insert(out.end(), noise[i] % 70, noise[i]);
             }
             return out;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes coded = LZHUFEncode(c.input);
        const Bytes decoded = LZHUFDecode(coded);
        ASSERT_EQ(decoded.size(), c.input.size());
        EXPECT_TRUE(decoded == c.input);
    }
    // Noise cannot shrink; text shrinks well.
    EXPECT_LT(LZHUFEncode(WordText(1 << 20, 5)).size(), (1u << 20) / 3);
}

TEST(BlobCompression, SignatureMarksCompressedValues) {
    const Bytes blanks(100, ' ');
    const Bytes compressed = CompressBlobValue(blanks);
    EXPECT_EQ(ToHex(compressed), "9100a63888b7cc1b" "64000000c51dd884c0");
    EXPECT_LT(compressed.size(), 20u);
    EXPECT_TRUE(HasLZHUFSignature(compressed));
    EXPECT_EQ(DecompressBlobValue(compressed), blanks);

    // An empty value is never compressed, so it gains no signature.
    EXPECT_TRUE(CompressBlobValue(Bytes{}).empty());
    EXPECT_TRUE(DecompressBlobValue(Bytes{}).empty());

    const Bytes signature(LZHUFSignature, LZHUFSignature + LZHUFSignatureSize);
    const Bytes unchanged[] = {
        Bytes(signature.begin(), signature.begin() + 5), // the signature's first bytes only
        Bytes(signature.begin(), signature.begin() + 7),
        FromString("plain value that is not compressed"),
        LZHUFEncode(blanks),                             // coder output without the signature
        [&] { Bytes b = compressed; b[7] ^= 1; return b; }(),
    };
    for (const auto& value : unchanged) {
        SCOPED_TRACE(ToHex(value));
        EXPECT_FALSE(HasLZHUFSignature(value));
        EXPECT_EQ(DecompressBlobValue(value), value);
    }

    // The signature is recognised whatever the value holds; what follows it must be coder output.
    EXPECT_THROW(DecompressBlobValue(signature), ECompressionError);
    Bytes hostile = signature;
    hostile.insert(hostile.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0x00});
    EXPECT_THROW(DecompressBlobValue(hostile), ECompressionError);
}

TEST(LZHUFCoder, RefusesLengthsTheCodeCannotProduce) {
    struct Case {
        const char* name;
        Bytes coded;
        const char* message;
    };
    const Case cases[] = {
        {"nothing", {}, "LZHUF data is too short to hold its length"},
        {"three bytes", {1, 0, 0}, "LZHUF data is too short to hold its length"},
        {"length without code", {1, 0, 0, 0}, "LZHUF data states a length of 1 bytes, more than its 0 bytes of code can hold"},
        {"4 GiB from 5 bytes", {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5},
         "LZHUF data states a length of 4294967295 bytes, more than the largest value accepted (2147483647 bytes)"},
        {"97 bytes from 2", {97, 0, 0, 0, 0x12, 0x34}, "LZHUF data states a length of 97 bytes, more than its 2 bytes of code can hold"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            LZHUFDecode(c.coded);
            ADD_FAILURE() << "no error";
        } catch (const ECompressionError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    // 96 bytes is the most 2 bytes of code can give: accepted, decoded from zero bits after them.
    EXPECT_EQ(LZHUFDecode(Bytes{96, 0, 0, 0, 0x12, 0x34}).size(), 96u);
}

TEST(LZHUFCoder, TruncatedCodeReadsAsZeroBits) {
    const Bytes text = WordText(200000, 11);
    const Bytes coded = LZHUFEncode(text);
    Bytes cut(coded.begin(), coded.begin() + 20000);
    const Bytes decoded = LZHUFDecode(cut);
    ASSERT_EQ(decoded.size(), text.size());
    // 20000 bytes of code carry far more than the first 40000 bytes of text.
    EXPECT_TRUE(std::equal(text.begin(), text.begin() + 40000, decoded.begin()));
    // Explicit zero bytes in place of the missing code decode the same way.
    cut.resize(coded.size() + 8, 0);
    EXPECT_EQ(LZHUFDecode(cut), decoded);
}

TEST(LZHUFCoder, ConcurrentCallsEachGetTheirOwnResult) {
    std::vector<Bytes> inputs;
    std::vector<Bytes> expected;
    for (int i = 0; i < 4; ++i) {
        inputs.push_back(i % 2 ? NoiseBytes(40000, i) : WordText(60000, i));
        expected.push_back(LZHUFEncode(inputs.back()));
    }
    std::vector<int> failures(inputs.size(), 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < inputs.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                if (LZHUFEncode(inputs[t]) != expected[t]) ++failures[t];
                if (DecompressBlobValue(CompressBlobValue(inputs[t])) != inputs[t]) ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (std::size_t t = 0; t < inputs.size(); ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

} // namespace
} // namespace quorvel
