// The session's character sets: bytes per character of the database and national sets, their
// ids, and the text lengths that follow from them.
#include "oracle/ci/OracleCI.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

namespace {

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

void TOracleSession::DetectCharacterSize() {
    // Filled in by the probe queries once the session's statements can run them; until then the
    // sizes stay at their fallback of one byte.
}

int TOracleSession::CharacterSize() {
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

int TOracleSession::DateFormatLength() {
    if (FDateFormatLength > 0) return FDateFormatLength;
    int length = -1;
    // The probe of the session's date format runs once the session's statements can run it.
    if (length <= 0) length = 40;
    if (FConnected) FDateFormatLength = length;
    return length;
}

} // namespace quorvel
