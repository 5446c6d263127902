// Feeds arbitrary bytes to the tnsnames.ora reader: it must not crash or hang, and what it
// collects must be a sorted list of non-empty names without duplicates (ignoring case).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/Strings.h"
#include "base/TextCase.h"
#include "oracle/ci/internal/TNSNamesReader.h"

using namespace quorvel;

namespace {

void Check(const TStringList& names)
{
    for (int i = 0; i < names.Count(); ++i) {
        if (names[i].empty())
            std::abort();
        if (i > 0 && AnsiCompareText(names[i - 1], names[i]) >= 0)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static const tns_internal::TNSReadOptions options[] = {
        {"", false, false},
        {"WORLD", false, false},
        {"example.com", true, false},
    };
    for (const auto& option : options) {
        TStringList names;
        tns_internal::PrepareNameList(names);
        tns_internal::ReadTNSNamesText(text, names, option);
        Check(names);
    }
    if (size < 4096) {
        for (const std::string& name : tns_internal::SplitNameList(text))
            if (name.empty())
                std::abort();
    }
    return 0;
}
