#pragma once
// Small text helpers: trimming as the component framework does it (every character up to and
// including the blank, control characters too, is removed at the ends) and quoting.
#include <string>
#include <string_view>

namespace quorvel {

std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
std::u16string Trim(std::u16string_view s);
std::u16string TrimLeft(std::u16string_view s);
std::u16string TrimRight(std::u16string_view s);

// s between quote characters, a quote inside doubled: QuotedStr("it's") is 'it''s'.
std::string QuotedStr(std::string_view s, char quote = '\'');
// s with every occurrence of from replaced (all of them when all is true, else the first);
// ignoring ASCII case when ignoreCase is set.
std::string StringReplace(std::string_view s, std::string_view from, std::string_view to, bool all = true,
                          bool ignoreCase = false);

} // namespace quorvel
