// Feeds arbitrary bytes to the BLOB decoder (raw and behind the signature): it must either
// decode them or refuse them with ECompressionError, never read or write out of bounds, and
// never allocate more than the input can justify. Each input is also coded and decoded again,
// which must give it back exactly.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "oracle/dataset/OracleCompress.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quorvel::ECompressionError;
    const std::span<const std::uint8_t> input(data, size);
    try {
        const auto decoded = quorvel::LZHUFDecode(input);
        // A stated length above 48 bytes per byte of code is refused before decoding.
        if (size < 4 || decoded.size() > (size - 4) * 48) std::abort();
    } catch (const ECompressionError&) {
    }

    std::vector<std::uint8_t> signed_(quorvel::LZHUFSignature, quorvel::LZHUFSignature + quorvel::LZHUFSignatureSize);
    signed_.insert(signed_.end(), data, data + size);
    try {
        (void)quorvel::DecompressBlobValue(signed_);
    } catch (const ECompressionError&) {
    }

    const auto coded = quorvel::LZHUFEncode(input);
    if (quorvel::LZHUFDecode(coded) != std::vector<std::uint8_t>(data, data + size)) std::abort();
    return 0;
}
