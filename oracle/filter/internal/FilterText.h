#pragma once
// Text services of the filter language: messages, case folding, wildcard match, and the
// regional number and date-time formats of base/FormatSettings.
#include "oracle/filter/OracleFilter.h"

#include <string>
#include <string_view>

namespace quorvel::filter_detail {

// UTF-8 of a UTF-16 text, for messages; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

[[noreturn]] void Raise(std::string message);

// Locale-aware upper case (not only ASCII: ä -> Ä, я -> Я), one character for one.
void UpperCase(std::u16string_view text, std::u16string& out);

// The whole of text matches the whole of pattern; * matches any run, ? one character.
bool WildcardMatch(std::u16string_view text, std::u16string_view pattern);

// The decimal separator of the current regional settings.
char16_t DecimalSeparator();
// General format with at most 15 significant digits and the regional decimal separator.
void FormatFloat(double value, std::u16string& out);
// Short date, then a blank and the long time when the value has a time of day.
void FormatDateTime(TDateTime value, std::u16string& out);
// A date, date and time, or time in the regional formats; raises EConvertError otherwise.
TDateTime ParseDateTime(std::u16string_view text);
// A number literal as the lexer collected it (digits, separator, E, -); false when out of range.
bool ParseFloatLiteral(std::u16string_view text, double& value);

} // namespace quorvel::filter_detail
