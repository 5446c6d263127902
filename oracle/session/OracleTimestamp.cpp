#include "oracle/session/OracleTimestamp.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "base/Exception.h"
#include "base/FormatSettings.h"
#include "oracle/ci/OCIEntryPoints.h"

namespace quorvel {

namespace {

constexpr double InvalidDatePart = -693594.0;

// Raises for the statuses of a timestamp call that are failures: -2 (a handle the client does
// not know) and -1 (an error, read from errorHandle).
void CheckTimestampStatus(TOracleSession* session, void* errorHandle, TComponent* instance, int32_t status) {
    if (status == OCI_INVALID_HANDLE) throw Exception("TOracleTimestamp: Invalid handle");
    if (status == OCI_ERROR) RaiseOracleError(session, TOracleErrorSource::FromHandle(errorHandle), instance);
}

TDateTime PartsToDateTime(int year, int month, int day, int hour, int minute, int second, uint32_t nanoSeconds) {
    // A year before 1 (the client allows them) has no date-time: like a DATE of such a year it
    // gives the date part -693594. Dates before 30 December 1899 keep their time of day: the
    // time is taken away from a negative date part, as everywhere else in the library.
    TDateTime date(InvalidDatePart);
    TDateTime encoded;
    if (TryEncodeDate(year, month, day, encoded)) date = encoded;
    return ComposeDateTime(date, EncodeTime(hour, minute, second, NanoSecondsToMilliSeconds(nanoSeconds)));
}

} // namespace

// ---- seven-byte DATE ----

TDateTime OracleDateToDateTime(const unsigned char* d) {
    const int year = int(d[0]) * 100 + int(d[1]) - 10100;
    TDateTime date(InvalidDatePart);
    if (year > 0) {
        TDateTime encoded;
        if (TryEncodeDate(year, d[2], d[3], encoded)) date = encoded;
    }
    TDateTime time(0.0);
    TDateTime encodedTime;
    if (TryEncodeTime(int(d[4]) - 1, int(d[5]) - 1, int(d[6]) - 1, 0, encodedTime)) time = encodedTime;
    return TDateTime(date.Value < 0 ? date.Value - time.Value : date.Value + time.Value);
}

void DateTimeToOracleDate(TDateTime value, unsigned char* d) {
    int year, month, day, hour, minute, second, msec;
    DecodeDateTime(value, year, month, day, hour, minute, second, msec);
    d[0] = static_cast<unsigned char>(year / 100 + 100);
    d[1] = static_cast<unsigned char>(year % 100 + 100);
    d[2] = static_cast<unsigned char>(month);
    d[3] = static_cast<unsigned char>(day);
    d[4] = static_cast<unsigned char>(hour + 1);
    d[5] = static_cast<unsigned char>(minute + 1);
    d[6] = static_cast<unsigned char>(second + 1);
}

// ---- OCI8 date structure ----

TDateTime OCIDateToDateTime(const OCIDate& date) {
    return ComposeDateTime(EncodeDate(date.OCIDateYYYY, date.OCIDateMM, date.OCIDateDD),
                           EncodeTime(date.OCIDateTime.OCITimeHH, date.OCIDateTime.OCITimeMI,
                                      date.OCIDateTime.OCITimeSS, 0));
}

OCIDate OCIDateFromDateTime(TDateTime value) {
    int year, month, day, hour, minute, second, msec;
    DecodeDateTime(value, year, month, day, hour, minute, second, msec);
    OCIDate date{};
    date.OCIDateYYYY = sb2(year);
    date.OCIDateMM = ub1(month);
    date.OCIDateDD = ub1(day);
    date.OCIDateTime.OCITimeHH = ub1(hour);
    date.OCIDateTime.OCITimeMI = ub1(minute);
    date.OCIDateTime.OCITimeSS = ub1(second);
    return date;
}

int NanoSecondsToMilliSeconds(uint32_t nanoSeconds) {
    uint32_t ms = nanoSeconds / 1000000;
    const uint32_t rest = nanoSeconds % 1000000;
    if (rest > 500000 || (rest == 500000 && (ms & 1) != 0)) ++ms;
    return ms > 999 ? 999 : int(ms);
}

uint32_t TimestampDescriptorKind(int dataType) {
    switch (dataType) {
    case 188: return OCI_DTYPE_TIMESTAMP_TZ;
    case 232: return OCI_DTYPE_TIMESTAMP_LTZ;
    default: return OCI_DTYPE_TIMESTAMP;
    }
}

void DateTimeToTimestampDescriptor(TOracleSession& session, void* errorHandle, void* descriptor, TDateTime value) {
    int year, month, day, hour, minute, second, msec;
    DecodeDateTime(value, year, month, day, hour, minute, second, msec);
    const int32_t status = OCI.OCIDateTimeConstruct(session.EnvHandle(), static_cast<OCIError*>(errorHandle),
                                                    static_cast<OCIDateTime*>(descriptor), sb2(year), ub1(month),
                                                    ub1(day), ub1(hour), ub1(minute), ub1(second),
                                                    ub4(msec) * 1000000u, nullptr, 0);
    CheckTimestampStatus(&session, errorHandle, nullptr, status);
}

TDateTime TimestampDescriptorToDateTime(TOracleSession& session, void* errorHandle, void* descriptor) {
    auto* err = static_cast<OCIError*>(errorHandle);
    auto* ts = static_cast<OCIDateTime*>(descriptor);
    sb2 year = 0;
    ub1 month = 0, day = 0, hour = 0, minute = 0, second = 0;
    ub4 fraction = 0;
    CheckTimestampStatus(&session, errorHandle, nullptr,
                         OCI.OCIDateTimeGetDate(session.EnvHandle(), err, ts, &year, &month, &day));
    CheckTimestampStatus(&session, errorHandle, nullptr,
                         OCI.OCIDateTimeGetTime(session.EnvHandle(), err, ts, &hour, &minute, &second, &fraction));
    return PartsToDateTime(year, month, day, hour, minute, second, fraction);
}

// ---- TOracleTimestamp ----

TOracleTimestampOwner::~TOracleTimestampOwner() = default;

TOracleTimestamp::TOracleTimestamp(TOracleSession* session, int dataType) : FDataType(dataType), FSession(session) {
    if (!session || !session->Connected())
        throw Exception("Can only create TOracleTimestamp instance if Session is connected");
    // Timestamp descriptors belong to the handle interface; an OCI7-mode session has none.
    CheckNet9(session, "A TOracleTimestamp instance");
    FEnv = session->EnvHandle();
    if (!FEnv || !session->UseOCI80())
        throw Exception("A TOracleTimestamp instance requires a session connected through OCI8");
    if (OCI.OCIHandleAlloc(FEnv, &errhp, OCI_HTYPE_ERROR, 0, nullptr) != OCI_SUCCESS) {
        errhp = nullptr;
        throw Exception("TOracleTimestamp: Invalid handle");
    }
    if (OCI.OCIDescriptorAlloc(FEnv, &timestamphp, TimestampDescriptorKind(dataType), 0, nullptr) != OCI_SUCCESS) {
        timestamphp = nullptr;
        OCI.OCIHandleFree(errhp, OCI_HTYPE_ERROR);
        errhp = nullptr;
        throw Exception("TOracleTimestamp: Invalid handle");
    }
    HandleOwner = true;
    FIsNull = true;
    session->Timestamps.Add(this);
}

TOracleTimestamp::~TOracleTimestamp() {
    if (FSession) FSession->Timestamps.Remove(this);
    ReleaseClientHandles();
}

void* TOracleTimestamp::Env() const { return FEnv; }

void TOracleTimestamp::FreeDescriptor() {
    // Freed with the kind it was made with: a strict client refuses another kind and the
    // descriptor would be lost.
    if (HandleOwner && timestamphp && FSession && OCILoaded() && OCI.OCIDescriptorFree)
        OCI.OCIDescriptorFree(timestamphp, TimestampDescriptorKind(FDataType));
    timestamphp = nullptr;
}

void TOracleTimestamp::ReleaseClientHandles() {
    FreeDescriptor();
    if (errhp && FSession && OCILoaded() && OCI.OCIHandleFree) OCI.OCIHandleFree(errhp, OCI_HTYPE_ERROR);
    errhp = nullptr;
}

void TOracleTimestamp::SessionClose() {
    // A session with an environment of its own frees it at logoff, and with it every handle made
    // in it: give them back while they are still valid. A shared environment outlives the logoff.
    if (FSession && FSession->OwnEnvironment()) {
        ReleaseClientHandles();
        FIsNull = true;
    }
}

void TOracleTimestamp::SessionDetach() {
    // The session is being destroyed: its environment is no longer ours to call.
    FSession = nullptr;
    timestamphp = nullptr;
    errhp = nullptr;
    FIsNull = true;
}

void TOracleTimestamp::Check(int32_t status) { CheckTimestampStatus(FSession, errhp, this, status); }

void TOracleTimestamp::Changed() {
    if (FNullStruct) *FNullStruct = FIsNull ? -1 : 0;
    if (FOwnerObject) FOwnerObject->TimestampAttributeChanged(FOwnerAttrName);
}

void TOracleTimestamp::SetOwnerAttribute(TOracleTimestampOwner* owner, const std::string& attributeName,
                                         int16_t* nullStruct) {
    FOwnerObject = owner;
    FOwnerAttrName = attributeName;
    FNullStruct = nullStruct;
}

void TOracleTimestamp::ReadDate() {
    if (FIsNull) {
        FYear = 0;
        FMonth = FDay = 0;
        return;
    }
    sb2 year = 0;
    ub1 month = 0, day = 0;
    Check(OCI.OCIDateTimeGetDate(Env(), static_cast<OCIError*>(errhp), static_cast<OCIDateTime*>(timestamphp), &year,
                                 &month, &day));
    FYear = year;
    FMonth = month;
    FDay = day;
}

void TOracleTimestamp::ReadTime() {
    if (FIsNull) {
        FHour = FMinute = FSecond = 0;
        FNanoSeconds = 0;
        return;
    }
    ub1 hour = 0, minute = 0, second = 0;
    ub4 fraction = 0;
    Check(OCI.OCIDateTimeGetTime(Env(), static_cast<OCIError*>(errhp), static_cast<OCIDateTime*>(timestamphp), &hour,
                                 &minute, &second, &fraction));
    FHour = hour;
    FMinute = minute;
    FSecond = second;
    FNanoSeconds = fraction;
}

int TOracleTimestamp::Year() { ReadDate(); return FYear; }
int TOracleTimestamp::Month() { ReadDate(); return FMonth; }
int TOracleTimestamp::Day() { ReadDate(); return FDay; }
int TOracleTimestamp::Hour() { ReadTime(); return FHour; }
int TOracleTimestamp::Minute() { ReadTime(); return FMinute; }
int TOracleTimestamp::Second() { ReadTime(); return FSecond; }
uint32_t TOracleTimestamp::NanoSeconds() { ReadTime(); return FNanoSeconds; }

int TOracleTimestamp::TZHour() {
    FTZHour = FTZMinute = 0;
    // A TIMESTAMP without time zone has no offset to read; the client would refuse the call.
    if (!FIsNull && FDataType != 187) {
        sb1 hour = 0, minute = 0;
        Check(OCI.OCIDateTimeGetTimeZoneOffset(Env(), static_cast<OCIError*>(errhp),
                                               static_cast<OCIDateTime*>(timestamphp), &hour, &minute));
        FTZHour = hour;
        FTZMinute = minute;
    }
    return FTZHour;
}

int TOracleTimestamp::TZMinute() {
    TZHour();
    return FTZMinute;
}

void TOracleTimestamp::SetValues(int year, int month, int day, int hour, int minute, int second, uint32_t nanoSeconds) {
    Check(OCI.OCIDateTimeConstruct(Env(), static_cast<OCIError*>(errhp), static_cast<OCIDateTime*>(timestamphp),
                                   sb2(year), ub1(month), ub1(day), ub1(hour), ub1(minute), ub1(second), ub4(nanoSeconds),
                                   nullptr, 0));
    FIsNull = false;
    Changed();
}

void TOracleTimestamp::SetValuesTZ(int year, int month, int day, int hour, int minute, int second,
                                   uint32_t nanoSeconds, int tzHour, int tzMinute) {
    char zone[32];
    const int length = std::snprintf(zone, sizeof zone, "%.2d:%.2d", tzHour, tzMinute);
    Check(OCI.OCIDateTimeConstruct(Env(), static_cast<OCIError*>(errhp), static_cast<OCIDateTime*>(timestamphp),
                                   sb2(year), ub1(month), ub1(day), ub1(hour), ub1(minute), ub1(second), ub4(nanoSeconds),
                                   reinterpret_cast<OraText*>(zone), size_t(length)));
    FIsNull = false;
    Changed();
}

void TOracleTimestamp::Assign(const TOracleTimestamp* source) {
    CheckAssignSource(source, "TOracleTimestamp");
    if (source == this) return;
    if (source->FIsNull) {
        Clear();
        return;
    }
    Check(OCI.OCIDateTimeAssign(Env(), static_cast<OCIError*>(errhp), static_cast<OCIDateTime*>(source->timestamphp),
                                static_cast<OCIDateTime*>(timestamphp)));
    FIsNull = false;
    Changed();
}

void TOracleTimestamp::Clear() {
    FIsNull = true;
    Changed();
}

TDateTime TOracleTimestamp::AsDateTime() {
    if (FIsNull) return TDateTime(0.0);
    ReadDate();
    ReadTime();
    return PartsToDateTime(FYear, FMonth, FDay, FHour, FMinute, FSecond, FNanoSeconds);
}

void TOracleTimestamp::SetAsDateTime(TDateTime value) {
    if (value.Value == 0.0 && FSession && FSession->Preferences().ZeroDateIsNull()) {
        Clear();
        return;
    }
    int year, month, day, hour, minute, second, msec;
    DecodeDateTime(value, year, month, day, hour, minute, second, msec);
    SetValues(year, month, day, hour, minute, second, uint32_t(msec) * 1000000u);
}

std::string TOracleTimestamp::AsString() {
    if (FIsNull) return std::string();
    return FormatDateTime("ddddd tt", AsDateTime());
}

void TOracleTimestamp::SetAsString(const std::string& text) {
    if (text.empty()) {
        Clear();
        return;
    }
    SetAsDateTime(StrToDateTime(text));
}

std::string TOracleTimestamp::AsOracleString() {
    if (FIsNull) return std::string();
    char buffer[151] = {};
    ub4 size = sizeof buffer;
    Check(OCI.OCIDateTimeToText(Env(), static_cast<OCIError*>(errhp), static_cast<OCIDateTime*>(timestamphp), nullptr,
                                0, 9, nullptr, 0, &size, reinterpret_cast<OraText*>(buffer)));
    if (size > sizeof buffer) size = sizeof buffer;
    return std::string(buffer, size);
}

void TOracleTimestamp::SetAsOracleString(const std::string& text) {
    if (text.empty()) {
        Clear();
        return;
    }
    Check(OCI.OCIDateTimeFromText(Env(), static_cast<OCIError*>(errhp), reinterpret_cast<const OraText*>(text.data()),
                                  text.size(), nullptr, 0, nullptr, 0, static_cast<OCIDateTime*>(timestamphp)));
    FIsNull = false;
    Changed();
}

void TOracleTimestamp::AttachDescriptor(void* descriptor, int dataType, bool handleOwner, bool isNull) {
    if (descriptor != timestamphp) FreeDescriptor();
    timestamphp = descriptor;
    FDataType = dataType;
    HandleOwner = handleOwner;
    FIsNull = isNull;
}

} // namespace quorvel
