// The transaction-server support library. Enlisting in a distributed transaction coordinator
// has no meaning for the embedded engine: the calls check their arguments and answer
// ORAMTSERR_NOMTXDISPEN ("no transaction dispenser"), OraMTSTransTest reports no transaction.
#include "ocisim/client/include/oci.h"

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
constexpr sword kNoError = 0;
constexpr sword kInvalidArgs = 1001;      // ORAMTSERR_INVALIDARGS
constexpr sword kNoDispenser = 1004;      // ORAMTSERR_NOMTXDISPEN

// A live service context of the client library (checked through the client itself).
bool ValidService(OCISvcCtx* svc, OCIError* err) {
    OCIEnv* env = nullptr;
    return svc && err && OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &env, nullptr, OCI_ATTR_ENV, err) == OCI_SUCCESS;
}
} // namespace

OCISIM_EXPORT sword OraMTSSvcGet(OraText* lpUname, OraText* lpPsswd, OraText* lpDbnam, OCISvcCtx** pOCISvc, OCIEnv** pOCIEnv, ub4 dwFlags) {
    if (!lpUname || !lpPsswd || !pOCISvc || !pOCIEnv) return kInvalidArgs;
    *pOCISvc = nullptr;
    *pOCIEnv = nullptr;
    return kNoDispenser;
}

OCISIM_EXPORT sword OraMTSSvcRel(OCISvcCtx* OCISvc) { return OCISvc ? kNoDispenser : kInvalidArgs; }

OCISIM_EXPORT sword OraMTSSvcEnlist(OCISvcCtx* OCISvc, OCIError* OCIErr, void* lpTrans, unsigned dwFlags) {
    if (!ValidService(OCISvc, OCIErr)) return kInvalidArgs;
    return kNoDispenser;
}

OCISIM_EXPORT sword OraMTSSvcEnlistEx(OCISvcCtx* OCISvc, OCIError* OCIErr, void* lpTrans, unsigned dwFlags, char* lpDBName) {
    if (!ValidService(OCISvc, OCIErr)) return kInvalidArgs;
    return kNoDispenser;
}

OCISIM_EXPORT sword OraMTSTransTest(void) { return kNoError; }
