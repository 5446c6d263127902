// Arbitrary script text run by a script without a session never crashes: client commands run,
// SQL commands fail with a general exception that leaves the run. Substitution with empty
// values never lengthens a text and leaves a text without "&" alone; a placed column is
// always as wide as asked.
#include "base/Exception.h"
#include "oracle/script/OracleScript.h"
#include "oracle/script/ScriptFormat.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int width = data[0] % 50;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::string empty = quorvel::script::SubstituteReferences(text, [](const std::string&) { return std::string(); });
    if (empty.size() > text.size()) std::abort();
    if (text.find('&') == std::string::npos && empty != text) std::abort();
    const std::string placed = quorvel::script::PlaceInColumn(text, width, data[0] & 1);
    if (placed.size() < std::size_t(width)) std::abort();

    quorvel::TOracleScript script;
    script.OutputOptions = quorvel::TScriptOutputOptions::FromBits(data[0] & 31);
    script.Lines().SetText(text);
    for (int run = 0; run < 2; ++run) {
        try {
            script.Execute();
        } catch (const quorvel::Exception&) {
            // a SQL command without a session, or a malformed command the script refuses
        }
    }
    for (int i = 0; i < script.Output().Count(); ++i)
        if (script.Output()[i].find_first_of("\r\n") != std::string::npos) std::abort();
    return 0;
}
