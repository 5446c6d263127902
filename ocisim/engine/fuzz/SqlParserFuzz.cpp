// Feeds arbitrary text to the SQL front end: it must either parse or fail with an Oracle error
// whose offset lies inside the text, and never crash, hang or leak.
#include "ocisim/engine/internal/Sql.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view sql(reinterpret_cast<const char*>(data), size);
    try {
        auto st = ocisim::sql::Parse(sql);
        (void)st;
    } catch (const ocisim::EngineError& e) {
        if (e.Code <= 0 || e.Text.rfind("ORA-", 0) != 0) std::abort();
        if (e.ParseOffset > static_cast<int>(size)) std::abort();
    }
    auto ph = ocisim::sql::FindPlaceholders(sql);
    for (const auto& p : ph)
        if (p.Offset >= size) std::abort();
    (void)ocisim::sql::HeadingOf(sql);
    return 0;
}
