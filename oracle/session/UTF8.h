#pragma once
// The library's own UTF-8 conversions between the client's bytes and UTF-16 text. They keep the
// client's historic decoding rules: only one-, two- and three-byte sequences, no check of the
// value a sequence gives, and a failure of the whole text for a bad continuation byte or a
// sequence cut off at the end.
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// Bytes to UTF-16 code units. A byte below 128 is one unit; a byte from 128 up with the bit of
// value 32 set starts a three-byte sequence ((b1 & 63) * 4096 + (b2 & 63) * 64 + (b3 & 63), cut
// to 16 bits), any other such byte a two-byte sequence ((b1 & 63) * 64 + (b2 & 63)). Writes at
// most destUnits units. Returns the number of units written, or -1 when a continuation byte lies
// outside 128..191 or a sequence is cut off by the end of the input.
std::ptrdiff_t UTF8ToUnicode(char16_t* dest, std::size_t destUnits, const char* source, std::size_t sourceBytes);
// UTF-16 code units to bytes: one byte below 128, two below 2048, three otherwise; surrogate
// halves are encoded one by one. Stops before a sequence that would not fit in destBytes.
// Returns the number of bytes written.
std::size_t UnicodeToUTF8(char* dest, std::size_t destBytes, const char16_t* source, std::size_t sourceUnits);

// The string forms. When the bytes are no valid UTF-8 by the rules above, the text is taken in
// the ANSI code page instead and UTF8DecodeFailed is set. Encoding is sized for three bytes a
// unit and so always succeeds; UTF8EncodeFailed is there for the callers that size their own
// buffers with UnicodeToUTF8.
std::u16string UTF8Decode(std::string_view bytes);
std::string UTF8Encode(std::u16string_view text);
extern std::atomic<bool> UTF8DecodeFailed;
extern std::atomic<bool> UTF8EncodeFailed;

// An error message made fit for display: decoded as UTF-8 (with the fall-back above) when
// NLS_LANG names a UTF8 character set, otherwise taken in the ANSI code page.
std::u16string MessageForDisplay(std::string_view message);
std::u16string MessageForDisplay(std::string_view message, bool clientUsesUTF8);

} // namespace quorvel
