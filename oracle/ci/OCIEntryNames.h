#pragma once
// The names of the client functions the library binds, group by group in binding order, as
// lists X(name) that the entry-point table and the binding expand. Plain preprocessor text,
// so C sources can expand them too.

#define QUORVEL_OCI_GROUP_OCI7(X)                                                                  \
    X(orlon) X(ologof) X(oerhms) X(oopen) X(oparse) X(odefin) X(oexfet) X(ofen) X(oflng) X(oclose) \
    X(odescr) X(oexec) X(oexn) X(ocom) X(orol) X(ocon) X(ocof) X(obreak) X(obndra) X(odessp)
#define QUORVEL_OCI_GROUP_OLOG(X) X(olog)
#define QUORVEL_OCI_GROUP_OPINIT(X) X(opinit)
#define QUORVEL_OCI_GROUP_OCI8(X)                                                                   \
    X(OCIInitialize) X(OCIHandleAlloc) X(OCIHandleFree) X(OCIDescriptorAlloc) X(OCIDescriptorFree)  \
    X(OCIEnvInit) X(OCIServerAttach) X(OCIServerDetach) X(OCISessionBegin) X(OCISessionEnd)         \
    X(OCILogon) X(OCILogoff) X(OCIPasswordChange) X(OCIStmtPrepare) X(OCIBindByPos)                 \
    X(OCIBindByName) X(OCIBindObject) X(OCIBindDynamic) X(OCIBindArrayOfStruct)                     \
    X(OCIStmtGetPieceInfo) X(OCIStmtSetPieceInfo) X(OCIStmtExecute) X(OCIDefineByPos)               \
    X(OCIDefineObject) X(OCIDefineDynamic) X(OCIDefineArrayOfStruct) X(OCIStmtFetch)                \
    X(OCIStmtGetBindInfo) X(OCIDescribeAny) X(OCIParamGet) X(OCIParamSet) X(OCITransStart)          \
    X(OCITransDetach) X(OCITransCommit) X(OCITransRollback) X(OCITransPrepare) X(OCITransForget)    \
    X(OCIErrorGet) X(OCILobAppend) X(OCILobAssign) X(OCILobCharSetForm) X(OCILobCharSetId)          \
    X(OCILobCopy) X(OCILobDisableBuffering) X(OCILobEnableBuffering) X(OCILobErase)                 \
    X(OCILobFileClose) X(OCILobFileCloseAll) X(OCILobFileExists) X(OCILobFileGetName)               \
    X(OCILobFileIsOpen) X(OCILobFileOpen) X(OCILobFileSetName) X(OCILobFlushBuffer)                 \
    X(OCILobGetLength) X(OCILobIsEqual) X(OCILobLoadFromFile) X(OCILobLocatorIsInit) X(OCILobRead)  \
    X(OCILobTrim) X(OCILobWrite) X(OCIBreak) X(OCIServerVersion) X(OCIAttrGet) X(OCIAttrSet)        \
    X(OCISvcCtxToLda) X(OCILdaToSvcCtx) X(OCIResultSetToStmt) X(OCIObjectUnpin) X(OCIObjectLock)    \
    X(OCIObjectMarkUpdate) X(OCIObjectUnmark) X(OCIObjectMarkDelete) X(OCIObjectFlush)              \
    X(OCIObjectCopy) X(OCIObjectGetTypeRef) X(OCIObjectGetObjectRef) X(OCIObjectGetInd)             \
    X(OCIObjectExists) X(OCIObjectIsLocked) X(OCIObjectIsDirty) X(OCIObjectRefresh)                 \
    X(OCIObjectPinTable) X(OCIObjectNew) X(OCIObjectPin) X(OCIObjectFree) X(OCITypeByName)          \
    X(OCIObjectGetAttr) X(OCIObjectSetAttr) X(OCIStringPtr) X(OCIStringSize) X(OCIStringAssignText) \
    X(OCINumberFromInt) X(OCINumberToInt) X(OCINumberFromReal) X(OCINumberToReal)                   \
    X(OCINumberToText) X(OCINumberFromText) X(OCIRawPtr) X(OCIRawSize) X(OCIRawAssignBytes)         \
    X(OCIRefAssign) X(OCIRefClear) X(OCIRefIsNull) X(OCIRefFromHex) X(OCIRefHexSize) X(OCIRefToHex) \
    X(OCICollSize) X(OCICollTrim) X(OCICollMax) X(OCICollGetElem) X(OCICollAssignElem)              \
    X(OCICollAppend) X(OCITableDelete) X(OCICacheFlush)
#define QUORVEL_OCI_GROUP_EXTPROC(X) X(ociepgoe) X(ociepmsg)
#define QUORVEL_OCI_GROUP_OCI81(X)                                                                 \
    X(OCIEnvCreate) X(OCIDirPathAbort) X(OCIDirPathFinish) X(OCIDirPathPrepare)                    \
    X(OCIDirPathColArrayEntrySet) X(OCIDirPathColArrayToStream) X(OCIDirPathLoadStream)            \
    X(OCIDirPathStreamReset) X(OCILobCreateTemporary) X(OCILobFreeTemporary) X(OCILobIsTemporary)  \
    X(OCIDateTimeToText) X(OCIDateTimeFromText) X(OCIDateTimeGetDate) X(OCIDateTimeGetTime)        \
    X(OCIDateTimeConstruct) X(OCIDateTimeAssign) X(OCIDateTimeGetTimeZoneOffset)
#define QUORVEL_OCI_GROUP_NET9(X) X(OCIStmtFetch2)
#define QUORVEL_OCI_GROUP_OCI92(X) \
    X(OCISessionPoolCreate) X(OCISessionPoolDestroy) X(OCISessionGet) X(OCISessionRelease) X(OCIStmtPrepare2) X(OCIStmtRelease)
#define QUORVEL_OCI_GROUP_MTS(X) \
    X(OraMTSSvcGet) X(OraMTSSvcRel) X(OraMTSSvcEnlist) X(OraMTSSvcEnlistEx) X(OraMTSTransTest)

