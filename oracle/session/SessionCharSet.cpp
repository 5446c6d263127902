// The session's character sets: bytes per character of the database and national sets, their
// ids, and the text lengths that follow from them.
#include <cstdio>

#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

namespace {

// The session lock around a detection of a thread-safe session, so two threads asking at once
// run the probes once and read whole values.
struct DetectionLock {
    explicit DetectionLock(TOracleSession& s) : FSession(s) { FSession.Acquire(false); }
    ~DetectionLock() { FSession.Release(false); }
    TOracleSession& FSession;
};

bool IsUTF8Set(uint16_t id) { return !IgnoreCharSet && (id == 870 || id == 871 || id == 873); }
bool IsUTF16Set(uint16_t id) { return !IgnoreCharSet && (id == 1000 || id == 2000); }

} // namespace

void TOracleSession::SetBytesPerCharacter(TBytesPerCharacterOption v) {
    if (v == FBytesPerCharacter) return;
    FBytesPerCharacter = v;
    ClearCharSetCache();
}

void TOracleSession::ClearCharSetCache() {
    FCharacterSize = FNCharacterSize = 0;
    FCharSetID = FNCharSetID = 0;
}

// Two probes on a statement of their own: how long characters of growing codes are in the
// database set (the first that is longer than one byte gives the size) with the set id of a
// text column, then the byte length and set id of a national character. A failure keeps what
// was found so far.
void TOracleSession::DetectCharacterSize() {
    try {
        TOracleQuery query;
        query.SetName("BytesPerCharacterQuery");
        query.SetSession(this);
        query.SQL().Add("select length(chr(2000000000)) l4, length(chr(2000000)) l3,  length(chr(20000)) l2, "
                        "'c' c1 from dual");
        query.Execute();
        int size = query.FieldAsInteger(0);
        if (size == 1) size = query.FieldAsInteger(1);
        if (size == 1) size = query.FieldAsInteger(2);
        FCharacterSize = size;
        if (!IgnoreCharSet) FCharSetID = uint16_t(query.FieldCharSetId(3));
        query.Clear();
        query.SQL().Add("select lengthb(nchr(20)), nchr(20) from dual");
        query.Execute();
        FNCharacterSize = query.FieldAsInteger(0);
        FNCharSetID = uint16_t(query.FieldCharSetId(1));
        if (FNCharSetID == 871) FNCharacterSize = 3;
    } catch (const std::exception&) {
        // The probes never raise: what was found stays, the rest keeps its fallback.
    }
}

int TOracleSession::CharacterSize() {
    DetectionLock lock(*this);
    if (FCharacterSize != 0) return FCharacterSize;
    if (FBytesPerCharacter == bcAutoDetect && FConnected) {
        FCharacterSize = FNCharacterSize = 1;
        FCharSetID = FNCharSetID = 0;
        DetectCharacterSize();
    } else {
        FCharacterSize = FBytesPerCharacter == bcAutoDetect ? 1 : int(FBytesPerCharacter);
        FNCharacterSize = FCharacterSize;
        FCharSetID = FNCharSetID = 0;
    }
    if (FCharacterSize == 0) FCharacterSize = 1;
    const int result = FCharacterSize;
    if (!FConnected) ClearCharSetCache();
    return result;
}

void TOracleSession::SetCharacterSize(int v) { FCharacterSize = v; }

int TOracleSession::CurrentBytesPerNCharacter() {
    const int size = CharacterSize();
    // A disconnected session keeps nothing: its national size is the size just found.
    return FConnected ? FNCharacterSize : size;
}

uint16_t TOracleSession::CurrentCharSetID() {
    CharacterSize();
    return FCharSetID;
}

uint16_t TOracleSession::CurrentNCharSetID() {
    CharacterSize();
    return FNCharSetID;
}

bool TOracleSession::CurrentCharSetIsUTF8() { return IsUTF8Set(CurrentCharSetID()); }
bool TOracleSession::CurrentCharSetIsUTF16() { return IsUTF16Set(CurrentCharSetID()); }
bool TOracleSession::CurrentNCharSetIsUTF8() { return IsUTF8Set(CurrentNCharSetID()); }
bool TOracleSession::CurrentNCharSetIsUTF16() { return IsUTF16Set(CurrentNCharSetID()); }

namespace {

// 4000 bytes with OCI8 calls, 2000 with OCI7 calls. A disconnected session answers for the
// mode its next logon will use.
int MaxVarcharBase(const TOracleSession& session) {
    const bool oci8 = session.Connected() ? session.UseOCI80() : !(session.Preferences().UseOCI7() || ForceOCI7);
    return oci8 ? 4000 : 2000;
}

} // namespace

int TOracleSession::MaxVarchar() {
    const int base = MaxVarcharBase(*this);
    const int size = CharacterSize();
    if (FOracle10 && CurrentCharSetIsUTF8() && HasOCI81) return base;
    return base / (size > 0 ? size : 1);
}

int TOracleSession::MaxVarcharN() {
    const int base = MaxVarcharBase(*this);
    const int size = CurrentBytesPerNCharacter();
    return base / (size > 0 ? size : 1);
}

// The longest text of the twelve months of 1999 in the session's default date format.
int TOracleSession::DetectDateFormatLength() {
    int length = -1;
    FDetectingDateFormat = true;
    try {
        TOracleQuery query;
        query.SetName("DateFormatLengthQuery");
        query.SetSession(this);
        for (int month = 1; month <= 12; ++month) {
            if (month > 1) query.SQL().Add("union all");
            char line[128];
            std::snprintf(line, sizeof line,
                          "select to_char(to_date('10-%d-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual", month);
            query.SQL().Add(line);
        }
        query.Execute();
        while (!query.Eof()) {
            const int n = int(query.FieldAsString(0).size());
            if (n > length) length = n;
            query.Next();
        }
    } catch (const std::exception&) {
        // Ignored: the length falls back to 40.
    }
    FDetectingDateFormat = false;
    return length;
}

int TOracleSession::DateFormatLength() {
    DetectionLock lock(*this);
    if (FDateFormatLength > 0) return FDateFormatLength;
    int length = -1;
    // The probe's own statement may ask while it runs: it gets the fall-back.
    if (FConnected && !FDetectingDateFormat) length = DetectDateFormatLength();
    if (length <= 0) length = 40;
    if (FConnected && !FDetectingDateFormat) FDateFormatLength = length;
    return length;
}

} // namespace quorvel
