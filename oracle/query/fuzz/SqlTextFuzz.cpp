// Arbitrary text never crashes the scanners, and the blanker keeps length and line breaks.
#include "oracle/query/SqlText.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string blanked = quorvel::BlankLiteralsAndComments(text);
    if (blanked.size() != text.size()) std::abort();
    for (size_t i = 0; i < text.size(); ++i)
        if ((text[i] == '\r' || text[i] == '\n') != (blanked[i] == '\r' || blanked[i] == '\n')) std::abort();
    for (const auto& v : quorvel::FindVariables(text, true))
        if (v.Position < 1 || size_t(v.Position) > text.size() || text[v.Position - 1] != ':' || v.Name.empty())
            std::abort();
    quorvel::RemoveComments(text, true);
    quorvel::RemoveComments(text, false);
    const std::string same = quorvel::SubstituteVariables(text, [](const std::string& n) { return ":" + n; });
    (void)same;
    quorvel::SubstituteVariables(text, [](const std::string&) { return std::string("x"); });
    return 0;
}
