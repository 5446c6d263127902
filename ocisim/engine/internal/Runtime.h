#pragma once
// Oracle value semantics the engine adds to SQLite: dates (kept as Julian day numbers in REAL
// columns, so date arithmetic is plain arithmetic), number and date formats, and the SQL
// functions registered on the engine's SQLite connection.
#include "ocisim/engine/Engine.h"

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;

namespace ocisim::rt {

// Dates are Julian day numbers (days and fractions since noon, 24 November 4714 BC), whole seconds.
double JulianFromCivil(int y, int m, int d, int hh, int mi, int ss);
void CivilFromJulian(double jd, int& y, int& m, int& d, int& hh, int& mi, int& ss);
double RoundToSecond(double jd);
// Timestamps keep their fraction of a second in the same Julian day number, to 100 microseconds
// (what a double holds of today's dates): the nanoseconds of `jd` (a multiple of 100 000), and
// the whole second it falls in.
uint32_t TimestampNanos(double jd, double* wholeSecond = nullptr);
double TimestampNow();                                   // SYSTIMESTAMP: local time with its fraction
void JulianTo7(double jd, unsigned char out[7]);
double JulianFrom7(const unsigned char* in);
double Now();

// Date formats as TO_CHAR and TO_DATE read them ("DD-MON-RR", "YYYY-MM-DD HH24:MI:SS", ...).
std::string FormatDate(double jd, std::string_view fmt);
double ParseDate(std::string_view text, std::string_view fmt);   // raises ORA-018xx

// Numbers: the text Oracle shows for a number (".5", "-12", "1.0E+40").
std::string NumberText(double v);
// Parses Oracle number text (leading/trailing blanks allowed); false when it is not a number.
bool ParseNumber(std::string_view text, double& out);
std::string FormatNumber(double v, std::string_view fmt);          // TO_CHAR(n, fmt)
std::string FormatWholeNumber(int64_t v, std::string_view fmt);    // TO_CHAR(n, fmt), every digit exact
bool ParseWholeNumber(std::string_view text, int64_t& out);         // "  -42 " yes, "4.0", "1e3" no
// The digits of a double ("%.15G", or the shortest exact text when 15 digits lose the value).
int DoubleDigits(double v, char* out, size_t size);
double ParseNumberFormat(std::string_view text, std::string_view fmt);

// Column value rules applied when a value is stored into a column.
struct StoreRule {
    enum Kind : uint8_t { Char, VarChar, Number, Date, Raw, Lob, Other } kind = Other;
    int length = 0;            // maximum length (bytes, or characters with charSemantics)
    bool charSemantics = false;
    int precision = 0;         // 0: unconstrained
    int scale = 0;
    bool isFloat = false;      // FLOAT(b) / unconstrained NUMBER: no rounding
    bool fraction = false;     // TIMESTAMP: keeps the fraction of a second
    std::string owner, table, column;
};

// What the SQL functions need to know about the session running the current call.
class FunctionHost {
public:
    virtual ~FunctionHost() = default;
    virtual std::string DateFormat() = 0;
    virtual std::string CurrentUser() = 0;
    virtual int64_t CurrentUid() = 0;
    virtual std::string Userenv(const std::string& param) = 0;       // raises ORA-02003 for unknown ones
    virtual double NextVal(const std::string& sequence) = 0;          // raises ORA-02289 / ORA-08004
    virtual double CurrVal(const std::string& sequence) = 0;          // raises ORA-08002
    virtual const StoreRule* Rule(int id) = 0;
    virtual uint16_t CharsetId() = 0;
    virtual uint16_t NCharsetId() = 0;
    virtual double StatementTime() = 0;                                // SYSDATE of the running statement
    virtual int64_t NextRownum(int slot) = 0;                          // ROWNUM counters of the running statement
    virtual bool Visible(const std::string& owner, const std::string& name) = 0;  // ALL_ views: may the user see it
};

void RegisterFunctions(sqlite3* db, FunctionHost* host);

// The 18-character ROWID text of a row, and back (-1 when the text is no rowid of `objectId`).
std::string RowIdText(int64_t objectId, int64_t rowid);
bool ParseRowId(std::string_view text, int64_t& objectId, int64_t& rowid);

// An error raised inside an SQL function travels through SQLite as "ORA-nnnnn: text"; this
// turns such a message back into an EngineError (false when the text carries no Oracle code).
bool ParseOraMessage(const std::string& msg, int& code, std::string& text);

} // namespace ocisim::rt
