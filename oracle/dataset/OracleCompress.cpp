// The LZHUF coder of BLOB values (Yoshizaki's 1988 method: Okumura's LZSS with a binary search
// tree over the ring buffer, and an adaptive Huffman code for literals and match lengths).
//
// Values written by earlier versions are stored in databases, so every choice the coder makes
// (which match it takes, how the Huffman tree adapts, how bits fill bytes) follows the published
// method exactly; only the way the state is held differs: it lives in one object per call.
#include "oracle/dataset/OracleCompress.h"

#include <bit>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace quorvel {

ECompressionError::~ECompressionError() = default;

const std::uint8_t LZHUFSignature[LZHUFSignatureSize] = {0x91, 0x00, 0xA6, 0x38, 0x88, 0xB7, 0xCC, 0x1B};

namespace {

constexpr int RingSize = 4096;            // dictionary: the ring buffer
constexpr int MaxMatch = 60;              // longest match
constexpr int Threshold = 2;              // matches this long or shorter go out as literals
constexpr int Nil = RingSize;             // "no node" in the search tree
constexpr int StartPos = RingSize - MaxMatch; // coding starts here; the bytes before are blanks
constexpr int SymbolCount = 256 - Threshold + MaxMatch; // 256 literals and lengths 3..60
constexpr int TableSize = SymbolCount * 2 - 1;          // nodes of the Huffman tree
constexpr int RootNode = TableSize - 1;
constexpr std::uint32_t RebuildFreq = 0x8000;           // the tree is rebuilt at this root frequency

// Upper 6 bits of a distance: the method's fixed prefix code. The codes are the top bits of
// these bytes; their lengths are 3 bits for the first code, then 4, 5, 6, 7 and 8 bits in
// groups of 3, 8, 12, 24 and 16 codes.
constexpr std::uint8_t DistanceCode[64] = {
    0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90, 0x94, 0x98, 0x9C,
    0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2, 0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE,
    0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC, 0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

struct DistanceTables {
    std::uint8_t length[64] = {};    // code length of each upper-6-bit value
    std::uint8_t upperOf[256] = {};  // decoding: the value whose code begins a byte
    std::uint8_t lengthOf[256] = {}; // decoding: the length of that code
    bool complete = false;           // every byte begins with exactly one code
};

constexpr DistanceTables MakeDistanceTables() {
    DistanceTables t;
    constexpr int groupEnd[] = {1, 4, 12, 24, 48, 64};
    int len = 3;
    int filled = 0;
    for (int upper = 0; upper < 64; ++upper) {
        while (upper >= groupEnd[len - 3]) ++len;
        t.length[upper] = static_cast<std::uint8_t>(len);
        const int first = DistanceCode[upper];
        const int span = 1 << (8 - len);
        if (first != filled || (first & (span - 1)) != 0) return t; // not a complete prefix code
        for (int b = first; b < first + span; ++b) {
            t.upperOf[b] = static_cast<std::uint8_t>(upper);
            t.lengthOf[b] = static_cast<std::uint8_t>(len);
        }
        filled += span;
    }
    t.complete = filled == 256;
    return t;
}

constexpr DistanceTables Distances = MakeDistanceTables();
static_assert(Distances.complete, "the distance code must cover every byte exactly once");

std::mutex gCoderLock; // one value at a time in the process

// ---------------------------------------------------------------- adaptive Huffman tree

// Nodes are kept in order of frequency; son[n] is the smaller child of node n (the larger is
// son[n] + 1), or leaf + TableSize for a leaf; prnt[] maps nodes to parents and, from
// TableSize on, symbols to their leaves.
struct HuffmanTree {
    std::uint32_t freq[TableSize + 1];
    std::int32_t prnt[TableSize + SymbolCount];
    std::int32_t son[TableSize];

    void Start() {
        for (int i = 0; i < SymbolCount; ++i) {
            freq[i] = 1;
            son[i] = i + TableSize;
            prnt[i + TableSize] = i;
        }
        for (int i = 0, j = SymbolCount; j <= RootNode; i += 2, ++j) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
        }
        freq[TableSize] = 0xFFFF; // sentinel above every real frequency
        prnt[RootNode] = 0;
    }

    // Halves the leaf frequencies (rounding up) and builds the tree again from them.
    void Rebuild() {
        int j = 0;
        for (int i = 0; i < TableSize; ++i) {
            if (son[i] >= TableSize) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                ++j;
            }
        }
        for (int i = 0, j2 = SymbolCount; j2 < TableSize; i += 2, ++j2) {
            const std::uint32_t f = freq[i] + freq[i + 1];
            freq[j2] = f;
            int k = j2 - 1;
            while (f < freq[k]) --k;
            ++k;
            std::memmove(&freq[k + 1], &freq[k], sizeof(freq[0]) * static_cast<std::size_t>(j2 - k));
            freq[k] = f;
            std::memmove(&son[k + 1], &son[k], sizeof(son[0]) * static_cast<std::size_t>(j2 - k));
            son[k] = i;
        }
        for (int i = 0; i < TableSize; ++i) {
            const int k = son[i];
            if (k >= TableSize) {
                prnt[k] = i;
            } else {
                prnt[k] = prnt[k + 1] = i;
            }
        }
    }

    // Counts one more occurrence of symbol c and restores the frequency order.
    void Update(int c) {
        if (freq[RootNode] == RebuildFreq) Rebuild();
        c = prnt[c + TableSize];
        do {
            const std::uint32_t k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                while (k > freq[++l]) {
                }
                --l;
                freq[c] = freq[l];
                freq[l] = k;

                const int i = son[c];
                prnt[i] = l;
                if (i < TableSize) prnt[i + 1] = l;

                const int j = son[l];
                son[l] = i;
                prnt[j] = c;
                if (j < TableSize) prnt[j + 1] = c;
                son[c] = j;

                c = l;
            }
        } while ((c = prnt[c]) != 0);
    }
};

// ---------------------------------------------------------------- bits

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : FOut(out) {}

    // Writes the low `count` bits of `value`, most significant first (count <= 56).
    void Put(int count, std::uint64_t value) {
        FAcc = (FAcc << count) | value;
        FCount += count;
        while (FCount >= 8) {
            FCount -= 8;
            FOut.push_back(static_cast<std::uint8_t>(FAcc >> FCount));
        }
    }

    // Completes a last partial byte with zero bits.
    void Finish() {
        if (FCount > 0) FOut.push_back(static_cast<std::uint8_t>(FAcc << (8 - FCount)));
        FCount = 0;
    }

private:
    std::vector<std::uint8_t>& FOut;
    std::uint64_t FAcc = 0;
    int FCount = 0;
};

class BitReader {
public:
    BitReader(const std::uint8_t* data, const std::uint8_t* end) : FPos(data), FEnd(end) {}

    int Bit() {
        if (FCount == 0) Refill();
        const int bit = static_cast<int>(FAcc >> 63);
        FAcc <<= 1;
        --FCount;
        return bit;
    }

    unsigned Byte() {
        if (FCount < 8) Refill();
        const auto byte = static_cast<unsigned>(FAcc >> 56);
        FAcc <<= 8;
        FCount -= 8;
        return byte;
    }

private:
    // Past the end of the data the input reads as zero bits.
    void Refill() {
        while (FCount <= 56) {
            const std::uint64_t b = FPos < FEnd ? *FPos++ : 0;
            FAcc |= b << (56 - FCount);
            FCount += 8;
        }
    }

    const std::uint8_t* FPos;
    const std::uint8_t* FEnd;
    std::uint64_t FAcc = 0; // unread bits, most significant first
    int FCount = 0;
};

// ---------------------------------------------------------------- encoder

// Number of equal bytes of a[i] and b[i] for i = 1 .. MaxMatch - 1, plus one: the first index
// where they differ, or MaxMatch.
inline int MatchLength(const std::uint8_t* a, const std::uint8_t* b) {
    int i = 1;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= MaxMatch; i += 8) {
            std::uint64_t x, y;
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x != y) return i + std::countr_zero(x ^ y) / 8;
        }
    }
    for (; i < MaxMatch; ++i)
        if (a[i] != b[i]) return i;
    return MaxMatch;
}

struct Encoder {
    // The ring buffer, with its first MaxMatch - 1 bytes repeated after it so that a string
    // starting near the end can be compared without wrapping.
    std::uint8_t text[RingSize + MaxMatch - 1];
    std::int16_t lson[RingSize + 1];
    std::int16_t rson[RingSize + 257]; // RingSize + 1 + b is the root of strings beginning with b
    std::int16_t dad[RingSize + 1];
    int matchPosition = 0; // distance - 1 of the match found by the last insertion
    int matchLength = 0;
    HuffmanTree huff;

    void Init() {
        std::memset(text, 0, sizeof text);
        std::memset(text, ' ', StartPos);
        for (int i = RingSize + 1; i <= RingSize + 256; ++i) rson[i] = Nil;
        for (int i = 0; i < RingSize; ++i) dad[i] = Nil;
        huff.Start();
    }

    // Inserts the string at r into the tree and finds the longest match among the strings met on
    // the way (the nearest of equally long ones). An equal string of full length is replaced by r.
    void InsertNode(int r) {
        int cmp = 1;
        const std::uint8_t* key = &text[r];
        int p = RingSize + 1 + key[0];
        rson[r] = lson[r] = Nil;
        matchLength = 0;
        for (;;) {
            if (cmp >= 0) {
                if (rson[p] != Nil) {
                    p = rson[p];
                } else {
                    rson[p] = static_cast<std::int16_t>(r);
                    dad[r] = static_cast<std::int16_t>(p);
                    return;
                }
            } else {
                if (lson[p] != Nil) {
                    p = lson[p];
                } else {
                    lson[p] = static_cast<std::int16_t>(r);
                    dad[r] = static_cast<std::int16_t>(p);
                    return;
                }
            }
            const int i = MatchLength(key, &text[p]);
            cmp = i < MaxMatch ? int(key[i]) - int(text[p + i]) : 0;
            if (i > Threshold) {
                const int distance = ((r - p) & (RingSize - 1)) - 1;
                if (i > matchLength) {
                    matchPosition = distance;
                    if ((matchLength = i) >= MaxMatch) break;
                } else if (i == matchLength && distance < matchPosition) {
                    matchPosition = distance;
                }
            }
        }
        dad[r] = dad[p];
        lson[r] = lson[p];
        rson[r] = rson[p];
        dad[lson[p]] = static_cast<std::int16_t>(r);
        dad[rson[p]] = static_cast<std::int16_t>(r);
        if (rson[dad[p]] == p)
            rson[dad[p]] = static_cast<std::int16_t>(r);
        else
            lson[dad[p]] = static_cast<std::int16_t>(r);
        dad[p] = Nil;
    }

    void DeleteNode(int p) {
        if (dad[p] == Nil) return;
        int q;
        if (rson[p] == Nil) {
            q = lson[p];
        } else if (lson[p] == Nil) {
            q = rson[p];
        } else {
            q = lson[p];
            if (rson[q] != Nil) {
                do {
                    q = rson[q];
                } while (rson[q] != Nil);
                rson[dad[q]] = lson[q];
                dad[lson[q]] = dad[q];
                lson[q] = lson[p];
                dad[lson[p]] = static_cast<std::int16_t>(q);
            }
            rson[q] = rson[p];
            dad[rson[p]] = static_cast<std::int16_t>(q);
        }
        dad[q] = dad[p];
        if (rson[dad[p]] == p)
            rson[dad[p]] = static_cast<std::int16_t>(q);
        else
            lson[dad[p]] = static_cast<std::int16_t>(q);
        dad[p] = Nil;
    }

    // The code of a symbol is the path from the root to its leaf; collected from the leaf up,
    // so the leaf's bit is the last one written.
    void EncodeChar(BitWriter& out, int c) {
        std::uint64_t code = 0;
        int length = 0;
        int k = huff.prnt[c + TableSize];
        do {
            code |= static_cast<std::uint64_t>(k & 1) << length;
            ++length;
            k = huff.prnt[k];
        } while (k != RootNode);
        // Frequencies stay below 32768, which bounds the depth of the tree far below this.
        if (length > 56) throw ECompressionError("LZHUF code tree is deeper than 56 levels");
        out.Put(length, code);
        huff.Update(c);
    }

    static void EncodePosition(BitWriter& out, int distance) {
        const int upper = distance >> 6;
        const int length = Distances.length[upper];
        const unsigned code = DistanceCode[upper] >> (8 - length);
        out.Put(length + 6, (code << 6) | static_cast<unsigned>(distance & 0x3F));
    }

    void Encode(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& outBytes) {
        BitWriter out(outBytes);
        const std::uint8_t* in = data.data();
        const std::uint8_t* const inEnd = in + data.size();
        int s = 0;
        int r = StartPos;
        int len = 0;
        while (len < MaxMatch && in < inEnd) text[r + len++] = *in++;
        for (int i = 1; i <= MaxMatch; ++i) InsertNode(r - i);
        InsertNode(r);
        do {
            if (matchLength > len) matchLength = len;
            if (matchLength <= Threshold) {
                matchLength = 1;
                EncodeChar(out, text[r]);
            } else {
                EncodeChar(out, 255 - Threshold + matchLength);
                EncodePosition(out, matchPosition);
            }
            const int lastMatchLength = matchLength;
            int i = 0;
            for (; i < lastMatchLength && in < inEnd; ++i) {
                const std::uint8_t c = *in++;
                DeleteNode(s);
                text[s] = c;
                if (s < MaxMatch - 1) text[s + RingSize] = c;
                s = (s + 1) & (RingSize - 1);
                r = (r + 1) & (RingSize - 1);
                InsertNode(r);
            }
            while (i++ < lastMatchLength) {
                DeleteNode(s);
                s = (s + 1) & (RingSize - 1);
                r = (r + 1) & (RingSize - 1);
                if (--len) InsertNode(r);
            }
        } while (len > 0);
        out.Finish();
    }
};

void PutLength(std::vector<std::uint8_t>& out, std::uint32_t n) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
}

void EncodeUnlocked(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) {
    if (data.size() > LZHUFMaxSize)
        throw ECompressionError("Value of " + std::to_string(data.size()) +
                                " bytes is too large for the LZHUF coder");
    out.reserve(out.size() + 4 + data.size() / 2 + 64);
    PutLength(out, static_cast<std::uint32_t>(data.size()));
    if (data.empty()) return;
    auto encoder = std::make_unique<Encoder>();
    encoder->Init();
    encoder->Encode(data, out);
}

// ---------------------------------------------------------------- decoder

// One bit of code yields at most 6 bytes: a literal takes at least 1 bit, a match of at most 60
// bytes at least 10 (1 for the length, 3 + 6 for the distance). A stated length above this
// cannot come from the coder.
constexpr std::uint64_t MaxBytesPerCodeByte = 48;

std::vector<std::uint8_t> DecodeUnlocked(std::span<const std::uint8_t> coded) {
    if (coded.size() < 4) throw ECompressionError("LZHUF data is too short to hold its length");
    const std::uint32_t n = static_cast<std::uint32_t>(coded[0]) | static_cast<std::uint32_t>(coded[1]) << 8 |
                            static_cast<std::uint32_t>(coded[2]) << 16 | static_cast<std::uint32_t>(coded[3]) << 24;
    std::vector<std::uint8_t> out;
    if (n == 0) return out;
    const std::uint64_t codeBytes = coded.size() - 4;
    if (n > LZHUFMaxSize)
        throw ECompressionError("LZHUF data states a length of " + std::to_string(n) +
                                " bytes, more than the largest value accepted (" +
                                std::to_string(LZHUFMaxSize) + " bytes)");
    if (n > codeBytes * MaxBytesPerCodeByte)
        throw ECompressionError("LZHUF data states a length of " + std::to_string(n) + " bytes, more than its " +
                                std::to_string(codeBytes) + " bytes of code can hold");
    out.resize(n);

    auto huff = std::make_unique<HuffmanTree>();
    huff->Start();
    std::uint8_t ring[RingSize];
    std::memset(ring, ' ', StartPos);
    std::memset(ring + StartPos, 0, RingSize - StartPos);
    BitReader in(coded.data() + 4, coded.data() + coded.size());
    std::uint8_t* dst = out.data();
    std::uint8_t* const dstEnd = dst + n;
    unsigned r = StartPos;
    const std::int32_t* const son = huff->son;
    while (dst < dstEnd) {
        unsigned c = static_cast<unsigned>(son[RootNode]);
        while (c < static_cast<unsigned>(TableSize)) c = static_cast<unsigned>(son[c + static_cast<unsigned>(in.Bit())]);
        c -= TableSize;
        huff->Update(static_cast<int>(c));
        if (c < 256) {
            *dst++ = static_cast<std::uint8_t>(c);
            ring[r] = static_cast<std::uint8_t>(c);
            r = (r + 1) & (RingSize - 1);
        } else {
            unsigned i = in.Byte();
            const unsigned upper = static_cast<unsigned>(Distances.upperOf[i]) << 6;
            for (int j = Distances.lengthOf[i] - 2; j > 0; --j) i = (i << 1) + static_cast<unsigned>(in.Bit());
            const unsigned distance = upper | (i & 0x3F);
            unsigned from = (r - distance - 1) & (RingSize - 1);
            const unsigned length = c - 255 + Threshold;
            for (unsigned k = 0; k < length && dst < dstEnd; ++k) {
                const std::uint8_t b = ring[from];
                from = (from + 1) & (RingSize - 1);
                *dst++ = b;
                ring[r] = b;
                r = (r + 1) & (RingSize - 1);
            }
        }
    }
    return out;
}

} // namespace

std::vector<std::uint8_t> LZHUFEncode(std::span<const std::uint8_t> data) {
    std::lock_guard<std::mutex> lock(gCoderLock);
    std::vector<std::uint8_t> out;
    EncodeUnlocked(data, out);
    return out;
}

std::vector<std::uint8_t> LZHUFDecode(std::span<const std::uint8_t> coded) {
    std::lock_guard<std::mutex> lock(gCoderLock);
    return DecodeUnlocked(coded);
}

bool HasLZHUFSignature(std::span<const std::uint8_t> value) {
    return value.size() > 7 && std::memcmp(value.data(), LZHUFSignature, LZHUFSignatureSize) == 0;
}

std::vector<std::uint8_t> CompressBlobValue(std::span<const std::uint8_t> value) {
    std::vector<std::uint8_t> out;
    if (value.empty()) return out;
    std::lock_guard<std::mutex> lock(gCoderLock);
    out.assign(LZHUFSignature, LZHUFSignature + LZHUFSignatureSize);
    EncodeUnlocked(value, out);
    return out;
}

std::vector<std::uint8_t> DecompressBlobValue(std::span<const std::uint8_t> value) {
    if (!HasLZHUFSignature(value)) return std::vector<std::uint8_t>(value.begin(), value.end());
    std::lock_guard<std::mutex> lock(gCoderLock);
    return DecodeUnlocked(value.subspan(LZHUFSignatureSize));
}

} // namespace quorvel
