#pragma once
// The built-in BLOB coder: the LZHUF method (LZSS over a 4096-byte ring buffer with adaptive
// Huffman coding of literals and match lengths) and the signature that marks a stored value as
// compressed by it.
//
// Coder output is the input length as 4 bytes little-endian followed by the code bits, most
// significant bit first. Values compressed for a BLOB column carry the 8 signature bytes in front
// of that output, so that they are recognised when read back.
//
// Every operation holds one process-wide lock for its whole length: only one value is compressed
// or decompressed at a time in the process. The coder's working state belongs to the call.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/Exception.h"

namespace quorvel {

// Raised when a coded value cannot be decoded (too short, or a stated length that the coded
// bytes cannot produce) or a value is too large to be coded.
class ECompressionError : public Exception {
public:
    using Exception::Exception;
    ~ECompressionError() override;
};

// 91 00 A6 38 88 B7 CC 1B
inline constexpr std::size_t LZHUFSignatureSize = 8;
extern const std::uint8_t LZHUFSignature[LZHUFSignatureSize];

// The largest value the coder accepts and the largest stated length the decoder believes.
inline constexpr std::uint32_t LZHUFMaxSize = 0x7FFFFFFF;

// Raw coder output, without signature. Encoding an empty block gives the 4 length bytes only.
std::vector<std::uint8_t> LZHUFEncode(std::span<const std::uint8_t> data);
// Decodes raw coder output. Reading past the end of the code bits yields zero bits; a stated
// length the input cannot possibly produce is refused with ECompressionError.
std::vector<std::uint8_t> LZHUFDecode(std::span<const std::uint8_t> coded);

// True for a value of more than 7 bytes that begins with the signature.
bool HasLZHUFSignature(std::span<const std::uint8_t> value);
// The signature followed by the coder output; an empty value gives an empty result.
std::vector<std::uint8_t> CompressBlobValue(std::span<const std::uint8_t> value);
// A value that has the signature is decoded from byte 8 on; any other value comes back unchanged.
std::vector<std::uint8_t> DecompressBlobValue(std::span<const std::uint8_t> value);

} // namespace quorvel
