#pragma once
// Conversions between the client's external data types and the engine's values.
#include "ocisim/client/internal/Handles.h"

#include <string>

namespace ocisim::client {

// A decimal number: value = 0.digits x 10^exp10 (digits without leading or trailing zeros).
struct Decimal {
    bool negative = false;
    std::string digits;
    int exp10 = 0;
};
bool ParseDecimal(const char* p, size_t n, Decimal& d);       // "-12.5E3", "12", ".5"
Decimal DecimalFromInt(int64_t v);
Decimal DecimalFromDouble(double v);
std::string DecimalToText(const Decimal& d);                    // Oracle's TO_CHAR(n) default
std::string DecimalToCanonical(const Decimal& d);               // text the engine parses
size_t DecimalToOraNum(const Decimal& d, unsigned char* out);   // Oracle NUMBER bytes (1..21)
bool OraNumToDecimal(const unsigned char* p, size_t n, Decimal& d);

std::string FormatDate(const unsigned char* date7, const std::string& format);
std::string Recode(const char* p, size_t n, Charset from, Charset to, bool* lossy = nullptr);

// The value of iteration `iter` of a bind. scratch holds converted bytes. Returns 0 or an
// Oracle error code (with its text in errText).
int BindValue(const Bind& b, ub4 iter, const Env& env, ValueRef& out, std::string& scratch, std::string& errText);
// Is this external type accepted for binding with this size? 0 or an Oracle error code.
int CheckBindType(ub2 dty, sb4 size, std::string& errText);

// Writes one fetched value into element `row` of a define. Returns 0, 1405 (null without an
// indicator), 1406 (truncated) or another Oracle error code (with errText).
int DefineValue(const Define& d, ub4 row, const ValueRef& v, const ColumnInfo& col, const Env& env,
                const std::string& dateFormat, std::string& errText);

// OCI_ATTR_ROWID: fill a rowid descriptor from the engine's rowid text.
void FillRowid(Rowid& r, const std::string& text);

} // namespace ocisim::client
