#pragma once
// LOB locators: what the statement and attribute calls need from ocisim/client/Lob.cpp.
#include "ocisim/client/internal/Handles.h"

#include <string>

namespace ocisim::client {

Lob* NewLob(Env* env, ub4 type);
bool IsLobType(ub2 dty);   // SQLT_CLOB, SQLT_BLOB, SQLT_BFILEE
// Points the locator held in element `row` of a LOB define (or RETURNING out bind) at a value.
// Returns 0 or an Oracle error code (text in errText).
int DeliverLob(const Define& d, ub4 row, const ValueRef& v, const ColumnInfo& col, const LobLocation& where,
               std::string& errText);
// The value of a bound locator, for iteration `iter`.
int LobBindValue(const Bind& b, ub4 iter, ValueRef& out, std::string& errText);
// OCI_ATTR_LOBEMPTY on a LOB descriptor: an empty LOB that can be inserted.
void SetLobEmpty(Lob* l);

} // namespace ocisim::client
