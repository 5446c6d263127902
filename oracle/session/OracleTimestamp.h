#pragma once
// Dates and timestamps between the client's representations and TDateTime (days since
// 30 December 1899): the seven-byte internal DATE of OCI7 buffers and bind variables, the OCI8
// date structure of object types, and TOracleTimestamp over an OCI8 timestamp descriptor.
#include <cstdint>
#include <string>

#include "base/DateTime.h"
#include "oracle/ci/OCITypes.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

// ---- seven-byte DATE: century + 100, year of century + 100, month, day, hour + 1,
// minute + 1, second + 1 ----
// A year of 0 or below, or an impossible date, gives the date part -693594.0; an impossible
// time gives the time part 0.
TDateTime OracleDateToDateTime(const unsigned char* date7);
// Milliseconds are dropped.
void DateTimeToOracleDate(TDateTime value, unsigned char* date7);

// ---- OCI8 date structure ----
TDateTime OCIDateToDateTime(const OCIDate& date);
OCIDate OCIDateFromDateTime(TDateTime value);   // milliseconds are dropped

// Nanoseconds to milliseconds, rounded half to even and at most 999 (a fraction never carries
// into the next second).
int NanoSecondsToMilliSeconds(uint32_t nanoSeconds);

// An object that holds a timestamp as one of its attributes and is told when it changes.
class TOracleTimestampOwner {
public:
    virtual ~TOracleTimestampOwner();
    virtual void TimestampAttributeChanged(const std::string& attributeName) = 0;
};

// One timestamp value over a client timestamp descriptor (TIMESTAMP 187, TIMESTAMP WITH TIME
// ZONE 188, TIMESTAMP WITH LOCAL TIME ZONE 232). Needs a connected session with OCI8 calls at
// creation; the parts are read from the descriptor on every access, and a null value reads 0
// for every part.
class TOracleTimestamp : public TComponent, private TOracleSessionClient {
public:
    // "Can only create TOracleTimestamp instance if Session is connected".
    explicit TOracleTimestamp(TOracleSession* session, int dataType = 187);
    ~TOracleTimestamp() override;
    TOracleTimestamp(const TOracleTimestamp&) = delete;
    TOracleTimestamp& operator=(const TOracleTimestamp&) = delete;

    TOracleSession* Session() const { return FSession; }
    int DataType() const { return FDataType; }
    bool IsNull() const { return FIsNull; }
    int Year();
    int Month();
    int Day();
    int Hour();
    int Minute();
    int Second();
    uint32_t NanoSeconds();
    int TZHour();     // 0 for a TIMESTAMP without time zone
    int TZMinute();

    void SetValues(int year, int month, int day, int hour, int minute, int second, uint32_t nanoSeconds);
    void SetValuesTZ(int year, int month, int day, int hour, int minute, int second, uint32_t nanoSeconds,
                     int tzHour, int tzMinute);
    // A null source clears this value; nullptr is refused.
    void Assign(const TOracleTimestamp* source);
    void Clear();

    // 0 for null. Writing 0 clears the value when the session's ZeroDateIsNull is set.
    TDateTime AsDateTime();
    void SetAsDateTime(TDateTime value);
    // The locale's short date and long time ("ddddd tt"); empty for null, and empty text clears.
    std::string AsString();
    void SetAsString(const std::string& text);
    // The client's own text of the value with nine fractional digits; empty for null.
    std::string AsOracleString();
    void SetAsOracleString(const std::string& text);

    // The client descriptor (OCIDateTime*) and error handle.
    void* Descriptor() const { return timestamphp; }
    void* ErrorHandle() const { return errhp; }
    // Takes over a descriptor (statements and objects hand theirs over); an owned descriptor
    // held until now is freed.
    void AttachDescriptor(void* descriptor, int dataType, bool handleOwner, bool isNull);
    // Marks the value null or not without touching the descriptor (after a fetch into it).
    void SetNullFlag(bool isNull) { FIsNull = isNull; }

    // Set when the value is an attribute of an object: every change sets the attribute's null
    // indicator (-1 null, 0 otherwise) and tells the owning object which attribute changed.
    void SetOwnerAttribute(TOracleTimestampOwner* owner, const std::string& attributeName, int16_t* nullStruct);
    TOracleTimestampOwner* OwnerObject() const { return FOwnerObject; }
    const std::string& OwnerAttrName() const { return FOwnerAttrName; }
    int16_t* NullStruct() const { return FNullStruct; }

private:
    void Check(int32_t status);
    void Changed();
    void ReadDate();
    void ReadTime();
    void FreeDescriptor();
    void ReleaseClientHandles();
    void* Env() const;
    void SessionClose() override;
    void SessionDetach() override;

    void* timestamphp = nullptr;
    void* errhp = nullptr;
    void* FEnv = nullptr;
    int FDataType = 187;
    bool HandleOwner = true;
    TOracleSession* FSession = nullptr;
    int16_t FYear = 0;
    uint8_t FMonth = 0, FDay = 0, FHour = 0, FMinute = 0, FSecond = 0;
    uint32_t FNanoSeconds = 0;
    int8_t FTZHour = 0, FTZMinute = 0;
    bool FIsNull = true;
    TOracleTimestampOwner* FOwnerObject = nullptr;
    std::string FOwnerAttrName;
    int16_t* FNullStruct = nullptr;
};

// The descriptor kind of a timestamp type: 69 for 188, 70 for 232, 68 otherwise.
uint32_t TimestampDescriptorKind(int dataType);
// A date-time into a timestamp descriptor for a bind variable (milliseconds as nanoseconds, no
// time zone); client errors raise with the given error handle.
void DateTimeToTimestampDescriptor(TOracleSession& session, void* errorHandle, void* descriptor, TDateTime value);
// A timestamp descriptor's date and time as a date-time (for timestamp fields).
TDateTime TimestampDescriptorToDateTime(TOracleSession& session, void* errorHandle, void* descriptor);

} // namespace quorvel
