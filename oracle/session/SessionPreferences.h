#pragma once
// TSessionPreferences: how values cross between the client and the application for one session
// (number fetch types, line breaks, UTF-8 text, field types of data sets, null LOBs and objects,
// zero dates). Owned by its session, which it knows; assignment copies every setting through its
// setter, so the settings that cannot change on a connected session refuse there too.
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

class TOracleSession;

enum TConvertUTFOption { cuNone, cuUTF8ToUTF16, cuUTF16ToUTF8 };
enum TTemporaryLOBOption { tlNone, tlCache, tlNoCache };

// Library-wide: no character set counts as UTF-8 or UTF-16, the database character set id is not
// read and object attributes carry no character-set information (default false).
extern bool IgnoreCharSet;
// Library-wide: text buffers of NUMBER columns are 4 x CharacterSize times larger (default false).
extern bool WideNumberBuffers;

class TSessionPreferences {
public:
    explicit TSessionPreferences(TOracleSession* session);
    TSessionPreferences(const TSessionPreferences&) = delete;
    // Copies every setting through its setter; the session stays this object's own.
    TSessionPreferences& operator=(const TSessionPreferences& source);
    void Assign(const TSessionPreferences& source) { *this = source; }

    TOracleSession* Session() const { return FSession; }

    // ---- settings, in their declared order ----
    int FloatPrecision() const { return FFloatPrecision; }
    void SetFloatPrecision(int v) { FFloatPrecision = v; }
    int IntegerPrecision() const { return FIntegerPrecision; }
    void SetIntegerPrecision(int v) { FIntegerPrecision = v; }
    int SmallIntPrecision() const { return FSmallIntPrecision; }
    void SetSmallIntPrecision(int v) { FSmallIntPrecision = v; }
    bool UseOCI7() const { return FUseOCI7; }
    void SetUseOCI7(bool v);   // refused on a connected session
    bool ConvertCRLF() const { return FConvertCRLF; }
    void SetConvertCRLF(bool v) { FConvertCRLF = v; }
    // Reads cuUTF8ToUTF16 whatever was set: that is the conversion the library applies.
    TConvertUTFOption ConvertUTF() const { return cuUTF8ToUTF16; }
    void SetConvertUTF(TConvertUTFOption v);   // refused on a connected session
    bool ForceWideStringFields() const { return FForceWideStringFields; }
    void SetForceWideStringFields(bool v);   // refused on a connected session
    bool TrimStringFields() const { return FTrimStringFields; }
    void SetTrimStringFields(bool v) { FTrimStringFields = v; }
    int MaxStringFieldSize() const { return FMaxStringFieldSize; }
    void SetMaxStringFieldSize(int v) { FMaxStringFieldSize = v; }
    bool ZeroDateIsNull() const { return FZeroDateIsNull; }
    void SetZeroDateIsNull(bool v) { FZeroDateIsNull = v; }
    bool NullLOBIsEmpty() const { return FNullLOBIsEmpty; }
    void SetNullLOBIsEmpty(bool v) { FNullLOBIsEmpty = v; }
    bool NullObjectIsEmpty() const { return FNullObjectIsEmpty; }
    void SetNullObjectIsEmpty(bool v) { FNullObjectIsEmpty = v; }
    TTemporaryLOBOption TemporaryLOB() const { return FTemporaryLOB; }
    void SetTemporaryLOB(TTemporaryLOBOption v) { FTemporaryLOB = v; }
    bool TimestampAsString() const { return FTimestampAsString; }
    void SetTimestampAsString(bool v) { FTimestampAsString = v; }

private:
    bool SessionConnected() const;

    TOracleSession* FSession;
    int FFloatPrecision = 0;
    int FIntegerPrecision = 0;
    int FSmallIntPrecision = -1;
    bool FUseOCI7 = false;
    bool FConvertCRLF = true;
    TConvertUTFOption FConvertUTF = cuNone;   // as set; see ConvertUTF()
    bool FForceWideStringFields = false;
    bool FTrimStringFields = true;
    int FMaxStringFieldSize = 0;
    bool FZeroDateIsNull = true;
    bool FNullLOBIsEmpty = false;
    bool FNullObjectIsEmpty = false;
    TTemporaryLOBOption FTemporaryLOB = tlCache;
    bool FTimestampAsString = false;
};

// How a NUMBER column is fetched: as a 4-byte signed integer (otInteger, 3), an 8-byte floating
// value (otFloat, 4) or text (otString, 5) of BufferSize bytes.
struct TNumberFetch {
    uint16_t DataType = 0;
    int BufferSize = 0;
};
// The decision from the column's precision and scale (-127: a float column) and whether the
// caller demands text, by the session's IntegerPrecision and FloatPrecision.
TNumberFetch NumberFetchType(TOracleSession& session, int precision, int scale, bool requireText);

// How a TIMESTAMP column (types 187, 188, 232) is fetched: as text of BufferSize bytes with
// TimestampAsString, otherwise as a timestamp descriptor of the column's own type (BufferSize 0),
// which only a Net 9 client offers (NeedsNet9: the caller runs CheckNet9 before it describes).
struct TTimestampFetch {
    bool AsText = false;
    int BufferSize = 0;
    bool NeedsNet9 = false;
};
TTimestampFetch TimestampFetchType(TOracleSession& session);

// Line breaks under ConvertCRLF: text sent to the server loses every CR; text read from the
// server has every LF, lone CR and CR LF turned into CR LF.
std::string RemoveCR(std::string_view text);
std::u16string RemoveCR(std::u16string_view text);
std::string ToCRLF(std::string_view text);
std::u16string ToCRLF(std::u16string_view text);

} // namespace quorvel
