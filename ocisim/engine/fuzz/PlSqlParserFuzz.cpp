// Feeds arbitrary text to the PL/SQL front end (lexer, block and unit parser): it must either
// parse or report compilation errors whose lines lie inside the text, and never crash, hang or leak.
#include "ocisim/engine/plsql/Ast.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    int lines = 1;
    for (char c : text) if (c == '\n') ++lines;
    auto check = [&](const ocisim::pl::CompileFailure& f) {
        if (f.errors.empty()) std::abort();
        for (const auto& e : f.errors)
            if (e.line < 1 || e.line > lines || e.col < 1 || e.text.rfind("PLS-", 0) != 0) std::abort();
    };
    try {
        auto u = ocisim::pl::ParseBlock(text);
        (void)u;
    } catch (const ocisim::pl::CompileFailure& f) {
        check(f);
    }
    try {
        auto u = ocisim::pl::ParseSource(text);
        (void)u;
    } catch (const ocisim::pl::CompileFailure& f) {
        check(f);
    }
    return 0;
}
