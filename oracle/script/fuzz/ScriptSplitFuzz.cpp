// Arbitrary script text never crashes the splitter; every command lies inside the text, and
// the incremental blanker agrees with the one-shot blanker wherever the text is cut.
#include "oracle/query/SqlText.h"
#include "oracle/script/ScriptParsing.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool allSQL = data[0] & 1;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    quorvel::TSqlTextBlanker blanker;
    const std::size_t cut = size > 2 ? data[1] % (text.size() + 1) : 0;
    blanker.Append(std::string_view(text).substr(0, cut));
    if (blanker.Text() != quorvel::BlankLiteralsAndComments(text.substr(0, cut))) std::abort();
    blanker.Append(std::string_view(text).substr(cut));
    if (blanker.Text() != quorvel::BlankLiteralsAndComments(text)) std::abort();

    const auto split = quorvel::SplitScript(quorvel::SplitTextLines(text), allSQL);
    int lastLine = -1;
    for (const auto& c : split.Commands) {
        if (c.Text.empty() || c.ScriptLine <= lastLine || std::size_t(c.ScriptLine) >= split.Lines.size() ||
            c.ScriptPos < 0 || c.ScriptPos >= split.OriginalTextLength)
            std::abort();
        lastLine = c.ScriptLine;
        quorvel::CommentProperty(c.Text, "NAME");
        quorvel::SplitCommandWords(c.Text);
    }
    quorvel::SplitScript(quorvel::SplitTextLines(quorvel::JoinScriptCommands(split.Commands)), allSQL);
    return 0;
}
