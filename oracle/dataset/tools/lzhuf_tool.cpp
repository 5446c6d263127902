// lzhuf_tool encode|decode INPUT OUTPUT
// Encodes a file into raw LZHUF coder output (4-byte little-endian length, then the code bits;
// no signature), or decodes such a file. A stored BLOB value is the signature followed by this
// output, so its bytes from offset 8 on can be decoded here.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "oracle/dataset/OracleCompress.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: lzhuf_tool encode|decode INPUT OUTPUT\n"
                 "  encode  writes the LZHUF coder output of INPUT to OUTPUT\n"
                 "  decode  writes the bytes coded in INPUT to OUTPUT\n");
    return 2;
}

bool ReadFile(const char* path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const char* path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) return Usage();
    const bool encode = std::strcmp(argv[1], "encode") == 0;
    if (!encode && std::strcmp(argv[1], "decode") != 0) return Usage();

    std::vector<std::uint8_t> input;
    if (!ReadFile(argv[2], input)) {
        std::fprintf(stderr, "lzhuf_tool: cannot read %s\n", argv[2]);
        return 1;
    }
    std::vector<std::uint8_t> output;
    try {
        output = encode ? quorvel::LZHUFEncode(input) : quorvel::LZHUFDecode(input);
    } catch (const quorvel::Exception& e) {
        std::fprintf(stderr, "lzhuf_tool: %s: %s\n", argv[2], e.Message().c_str());
        return 1;
    }
    if (!WriteFile(argv[3], output)) {
        std::fprintf(stderr, "lzhuf_tool: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
