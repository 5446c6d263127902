#pragma once
// OCIDescribeAny: what the handle and attribute calls need from ocisim/client/DescribeAny.cpp.
#include "ocisim/client/internal/Handles.h"

namespace ocisim::client {

Describe* NewDescribe(Env* env);
void ReleaseDescribe(Describe* d);           // frees the parameters of the last describe
// Attributes of a described object or list; false when `attr` is none of them (a column's
// attributes are read as for a select-list column).
bool DescribedParamAttr(const Param& p, ub4 attr, void* out, ub4* sizep, sword& status, Error* err);
sword ListParamGet(Param* list, Error* err, void** parmdpp, ub4 pos);

} // namespace ocisim::client
