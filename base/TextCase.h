#pragma once
// Upper- and lower-casing and case-insensitive comparison of text.
//
// The Ansi and Wide forms follow the letters of the language (Latin-1 and Latin Extended-A,
// Greek, Cyrillic: ä→Ä, я→Я, ё→Ё); 8-bit text is taken in the process ANSI code page. The plain
// forms change only the ASCII letters a-z and A-Z.
#include <string>
#include <string_view>

namespace quorvel {

char16_t WideUpperChar(char16_t c);
char16_t WideLowerChar(char16_t c);
std::u16string WideUpperCase(std::u16string_view text);
std::u16string WideLowerCase(std::u16string_view text);
// Compares by UTF-16 code unit after upper-casing: < 0, 0 or > 0.
int WideCompareText(std::u16string_view a, std::u16string_view b);
bool WideSameText(std::u16string_view a, std::u16string_view b);

std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
// Exact comparison by byte value (as unsigned): < 0, 0 or > 0.
int AnsiCompareStr(std::string_view a, std::string_view b);

std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

} // namespace quorvel
