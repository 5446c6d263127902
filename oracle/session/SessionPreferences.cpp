#include "oracle/session/SessionPreferences.h"

#include "base/Exception.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

bool IgnoreCharSet = false;
bool WideNumberBuffers = false;

TSessionPreferences::TSessionPreferences(TOracleSession* session) : FSession(session) {}

TSessionPreferences& TSessionPreferences::operator=(const TSessionPreferences& source) {
    if (&source == this) return *this;
    SetFloatPrecision(source.FFloatPrecision);
    SetIntegerPrecision(source.FIntegerPrecision);
    SetSmallIntPrecision(source.FSmallIntPrecision);
    SetUseOCI7(source.FUseOCI7);
    SetConvertCRLF(source.FConvertCRLF);
    // The value as set, not as read: reading always gives the conversion in force.
    SetConvertUTF(source.FConvertUTF);
    SetForceWideStringFields(source.FForceWideStringFields);
    SetTrimStringFields(source.FTrimStringFields);
    SetMaxStringFieldSize(source.FMaxStringFieldSize);
    SetZeroDateIsNull(source.FZeroDateIsNull);
    SetNullLOBIsEmpty(source.FNullLOBIsEmpty);
    SetNullObjectIsEmpty(source.FNullObjectIsEmpty);
    SetTemporaryLOB(source.FTemporaryLOB);
    SetTimestampAsString(source.FTimestampAsString);
    return *this;
}

bool TSessionPreferences::SessionConnected() const { return FSession && FSession->Connected(); }

void TSessionPreferences::SetUseOCI7(bool v) {
    if (v != FUseOCI7 && SessionConnected())
        throw Exception("Cannot change UseOCI7 property when session is connected");
    FUseOCI7 = v;
}

void TSessionPreferences::SetConvertUTF(TConvertUTFOption v) {
    if (v != FConvertUTF && SessionConnected())
        throw Exception("Cannot change ConvertUTF property when session is connected");
    FConvertUTF = v;
}

void TSessionPreferences::SetForceWideStringFields(bool v) {
    if (v != FForceWideStringFields && SessionConnected())
        throw Exception("Cannot change ForceWideStringFields property when session is connected");
    FForceWideStringFields = v;
}

TNumberFetch NumberFetchType(TOracleSession& session, int precision, int scale, bool requireText) {
    const TSessionPreferences& prefs = session.Preferences();
    int integerPrecision = prefs.IntegerPrecision();
    if (integerPrecision == 0) integerPrecision = session.POLite() ? 10 : 9;
    const bool floatColumn = scale == -127;
    if (floatColumn) {
        scale = 1;
        precision = 38;
    } else if (precision == 0 && scale == 0) {
        precision = 38;
    }
    TNumberFetch result;
    if (scale <= 0 && integerPrecision >= precision && !requireText) {
        result.DataType = 3;
        result.BufferSize = 4;
    } else if (requireText || (prefs.FloatPrecision() != 0 && precision > prefs.FloatPrecision())) {
        int size = precision + (scale <= 0 ? 2 : 3);
        if (floatColumn) size += 132;
        if (WideNumberBuffers) size *= 4 * session.CharacterSize();
        result.DataType = 5;
        result.BufferSize = size;
    } else {
        result.DataType = 4;
        result.BufferSize = 8;
    }
    return result;
}

TTimestampFetch TimestampFetchType(TOracleSession& session) {
    TTimestampFetch result;
    if (session.Preferences().TimestampAsString()) {
        result.AsText = true;
        result.BufferSize = 50 * session.CharacterSize();
    } else {
        result.NeedsNet9 = true;
    }
    return result;
}

namespace {

// Both copy the text between line-break characters in whole runs.
template <typename Char>
std::basic_string<Char> RemoveCRT(std::basic_string_view<Char> text) {
    std::basic_string<Char> out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != Char('\r')) continue;
        out.append(text.data() + start, i - start);
        start = i + 1;
    }
    out.append(text.data() + start, text.size() - start);
    return out;
}

template <typename Char>
std::basic_string<Char> ToCRLFT(std::basic_string_view<Char> text) {
    static constexpr Char crlf[2] = {Char('\r'), Char('\n')};
    std::basic_string<Char> out;
    out.reserve(text.size() + text.size() / 16 + 2);
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Char c = text[i];
        if (c != Char('\r') && c != Char('\n')) continue;
        out.append(text.data() + start, i - start);
        out.append(crlf, 2);
        if (c == Char('\r') && i + 1 < text.size() && text[i + 1] == Char('\n')) ++i;
        start = i + 1;
    }
    out.append(text.data() + start, text.size() - start);
    return out;
}

} // namespace

std::string RemoveCR(std::string_view text) { return RemoveCRT(text); }
std::u16string RemoveCR(std::u16string_view text) { return RemoveCRT(text); }
std::string ToCRLF(std::string_view text) { return ToCRLFT(text); }
std::u16string ToCRLF(std::u16string_view text) { return ToCRLFT(text); }

} // namespace quorvel
