// Entry points this stage exports but does not drive yet (objects, direct path,
// date-time values, external procedures): each answers ORA-03001 on the error handle it is
// given, or OCI_INVALID_HANDLE when it has none, and never touches its other arguments.
#include "ocisim/client/internal/Handles.h"

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace ocisim::client;

namespace {
// The error handle among the first arguments: OCI calls pass it first, second or third.
sword NotYet(void* a, void* b, void* c) {
    for (void* p : {a, b, c})
        if (Error* err = As<Error>(p, OCI_HTYPE_ERROR)) return Unimplemented(err);
    return OCI_INVALID_HANDLE;
}
} // namespace

// Each stub carries the exported name as its symbol, so the declarations of oci.h do not clash.
#define OCISIM_NOT_YET(name) \
    __attribute__((visibility("default"))) sword ocisim_stub_##name(void* a, void* b, void* c) __asm__(#name); \
    sword ocisim_stub_##name(void* a, void* b, void* c) { return NotYet(a, b, c); }

OCISIM_NOT_YET(OCIBindObject)
OCISIM_NOT_YET(OCIBindDynamic)
OCISIM_NOT_YET(OCIStmtGetPieceInfo)
OCISIM_NOT_YET(OCIStmtSetPieceInfo)
OCISIM_NOT_YET(OCIDefineObject)
OCISIM_NOT_YET(OCIStmtGetBindInfo)
OCISIM_NOT_YET(OCIParamSet)
OCISIM_NOT_YET(OCITransDetach)
OCISIM_NOT_YET(OCITransPrepare)
OCISIM_NOT_YET(OCITransForget)
OCISIM_NOT_YET(OCIResultSetToStmt)
OCISIM_NOT_YET(OCIObjectUnpin)
OCISIM_NOT_YET(OCIObjectLock)
OCISIM_NOT_YET(OCIObjectMarkUpdate)
OCISIM_NOT_YET(OCIObjectUnmark)
OCISIM_NOT_YET(OCIObjectMarkDelete)
OCISIM_NOT_YET(OCIObjectFlush)
OCISIM_NOT_YET(OCIObjectCopy)
OCISIM_NOT_YET(OCIObjectGetTypeRef)
OCISIM_NOT_YET(OCIObjectGetObjectRef)
OCISIM_NOT_YET(OCIObjectGetInd)
OCISIM_NOT_YET(OCIObjectExists)
OCISIM_NOT_YET(OCIObjectIsLocked)
OCISIM_NOT_YET(OCIObjectIsDirty)
OCISIM_NOT_YET(OCIObjectRefresh)
OCISIM_NOT_YET(OCIObjectPinTable)
OCISIM_NOT_YET(OCIObjectPin)
OCISIM_NOT_YET(OCITypeByName)
OCISIM_NOT_YET(OCIObjectGetAttr)
OCISIM_NOT_YET(OCIObjectSetAttr)
OCISIM_NOT_YET(OCIStringAssignText)
OCISIM_NOT_YET(OCIRawAssignBytes)
OCISIM_NOT_YET(OCIRefAssign)
OCISIM_NOT_YET(OCIRefClear)
OCISIM_NOT_YET(OCIRefFromHex)
OCISIM_NOT_YET(OCIRefToHex)
OCISIM_NOT_YET(OCICollSize)
OCISIM_NOT_YET(OCICollTrim)
OCISIM_NOT_YET(OCICollMax)
OCISIM_NOT_YET(OCICollGetElem)
OCISIM_NOT_YET(OCICollAssignElem)
OCISIM_NOT_YET(OCICollAppend)
OCISIM_NOT_YET(OCITableDelete)
OCISIM_NOT_YET(OCICacheFlush)
OCISIM_NOT_YET(ociepgoe)
OCISIM_NOT_YET(ociepmsg)
OCISIM_NOT_YET(OCIDirPathAbort)
OCISIM_NOT_YET(OCIDirPathFinish)
OCISIM_NOT_YET(OCIDirPathPrepare)
OCISIM_NOT_YET(OCIDirPathColArrayEntrySet)
OCISIM_NOT_YET(OCIDirPathColArrayToStream)
OCISIM_NOT_YET(OCIDirPathLoadStream)
OCISIM_NOT_YET(OCIDirPathStreamReset)

// These return a value rather than a status: no value exists until object types are supported.
OCISIM_EXPORT void* OCIStringPtr(void*, void*) { return nullptr; }
OCISIM_EXPORT void* OCIRawPtr(void*, void*) { return nullptr; }
OCISIM_EXPORT ub4 OCIStringSize(void*, void*) { return 0; }
OCISIM_EXPORT ub4 OCIRawSize(void*, void*) { return 0; }
OCISIM_EXPORT ub4 OCIRefHexSize(void*, void*) { return 0; }
OCISIM_EXPORT boolean OCIRefIsNull(void*, void*) { return 1; }
