#pragma once
// Timestamp binds and defines: what the conversions need from ocisim/client/Timestamp.cpp.
#include "ocisim/client/internal/Handles.h"

#include <string>

namespace ocisim::client {

bool IsTimestampDty(ub2 dty);   // SQLT_TIMESTAMP, SQLT_TIMESTAMP_TZ, SQLT_TIMESTAMP_LTZ, SQLT_DATE
// Fills the descriptor held in element `row` of a timestamp define (or out bind); 0 or an Oracle code.
int DeliverTimestamp(const Define& d, ub4 row, const ValueRef& v, const ColumnInfo& col, std::string& errText);
// The value of a bound timestamp descriptor for iteration `iter`.
int TimestampBindValue(const Bind& b, ub4 iter, ValueRef& out, std::string& errText);
// A TIMESTAMP value as text, as NLS_TIMESTAMP_FORMAT ("DD-MON-RR HH.MI.SSXFF AM") shows it.
std::string TimestampText(const ValueRef& v, const ColumnInfo& col);
// OCI_ATTR_DATA_TYPE of a described column: the datetime and interval types as their external codes.
ub2 DescribedType(OraType t);

} // namespace ocisim::client
