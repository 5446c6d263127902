#pragma once
// The text rules of a script run, apart from any session: substitution variables, command
// word patterns, and the columns of fetched-row output.
#include <functional>
#include <string>
#include <string_view>

namespace quorvel::script {

// Replaces the &name references of text by lookup(name). "\&" stands for a plain "&" (the
// backslash is dropped); nothing is replaced inside /* */ and -- comments; quotes are not
// special. A "." right after a name ends it and is dropped, unless it is the text's last
// character.
std::string SubstituteReferences(std::string_view text,
                                 const std::function<std::string(const std::string& name)>& lookup);

// Whether word (upper case) matches a command pattern: a "*" marks the shortest accepted
// abbreviation ("REM*ARK" accepts REM, REMA, REMAR, REMARK); without "*" the word must be
// the pattern.
bool MatchesCommandPattern(std::string_view word, std::string_view pattern);

// The display width of a fetched column of the given type code.
int ColumnDisplayWidth(int fieldType, int size, int precision, int scale, std::string_view name,
                       int colWidth);
// The first count characters of text.
std::string FirstCharacters(std::string_view text, int count);
// The text cut to width characters and padded with spaces: on the left when rightAlign.
std::string PlaceInColumn(std::string_view text, int width, bool rightAlign);
// A number in fixed-point notation with precision significant digits and scale decimals.
std::string FixedPointText(double value, int precision, int scale, char decimalSeparator);

} // namespace quorvel::script
