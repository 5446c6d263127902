#pragma once
// Code pages: the process ANSI code page, conversions between 8-bit text in a code page,
// UTF-8 and UTF-16, and detection of the byte-order mark at the start of a text file.
//
// Decoding never fails: a byte sequence that is not valid in its code page becomes U+FFFD.
// Encoding replaces a character the code page cannot represent by '?', as the Windows
// conversion does with its default character.
#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// Windows code page numbers used for the encodings the system meets.
constexpr unsigned cpUTF8 = 65001;
constexpr unsigned cpUTF16LE = 1200;
constexpr unsigned cpUTF16BE = 1201;
constexpr unsigned cpLatin1 = 28591;
constexpr unsigned cpWindows1251 = 1251;
constexpr unsigned cpWindows1252 = 1252;

// The process ANSI code page: the environment variable QUORVEL_CODEPAGE when it holds a
// code page number, else the code set of the user's locale (UTF-8 for the C locale).
// Read once; SetAnsiCodePage replaces it for the rest of the process (tests).
unsigned AnsiCodePage();
void SetAnsiCodePage(unsigned codePage);
// The code page number of a code set name such as "UTF-8", "CP1251", "ISO-8859-1", "KOI8-R";
// 0 when unknown.
unsigned CodePageFromName(std::string_view name);
// True when text in the code page can be converted (known to the converter).
bool IsCodePageSupported(unsigned codePage);

// 8-bit text in a code page to UTF-16 and back.
std::u16string CodePageToUtf16(std::string_view text, unsigned codePage);
std::string Utf16ToCodePage(std::u16string_view text, unsigned codePage);

// The same for the process ANSI code page.
std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);

// UTF-8 and UTF-16. Malformed UTF-8 (overlong forms, surrogates, truncated sequences, code
// points above U+10FFFF) gives one U+FFFD per maximal bad subsequence; an unpaired surrogate
// in UTF-16 becomes U+FFFD in UTF-8.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
bool IsValidUtf8(std::string_view text);

// Byte-order marks.
enum class TTextEncoding { teNone, teUTF8, teUTF16LE, teUTF16BE, teUTF32LE, teUTF32BE };
struct TBomInfo {
    TTextEncoding Encoding = TTextEncoding::teNone;
    std::size_t Length = 0; // bytes of the mark, 0 when there is none
};
TBomInfo DetectBom(std::string_view bytes);

// The text of a file's bytes as UTF-16: the mark decides the encoding (and is dropped);
// without one, the bytes are taken in defaultCodePage.
std::u16string DecodeText(std::string_view bytes, unsigned defaultCodePage);

} // namespace quorvel
