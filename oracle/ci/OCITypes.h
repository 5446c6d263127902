#pragma once
// The Oracle Call Interface as the library sees it: the published scalar types, the opaque
// handle and descriptor types and the numeric constants (handle and descriptor types,
// attributes, external data types, modes, return codes, fetch orientations).
// These are the library's own declarations of the published interface; the client it
// loads at run time must agree with them, nothing else is assumed about it.
#include <cstddef>
#include <cstdint>

extern "C" {

// Scalar types.
typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef short sb2;
typedef unsigned int ub4;
typedef int sb4;
typedef uint64_t ub8;
typedef int64_t sb8;
typedef int sword;
typedef unsigned int uword;
typedef char eb1;
typedef short eb2;
typedef int eb4;
typedef unsigned char text;
typedef unsigned char OraText;
typedef void dvoid;
typedef int boolean;
typedef ub4 OCIDuration;
typedef ub2 OCITypeCode;
typedef sb2 OCIInd;
typedef ub1 OCIObjectMarkStatus;
typedef ub4 OCIDateTimeMode;
typedef ub4 OCILobOffset;
typedef ub4 OCILobLength;

// Opaque handles.
typedef struct OCIEnv OCIEnv;
typedef struct OCIError OCIError;
typedef struct OCISvcCtx OCISvcCtx;
typedef struct OCIStmt OCIStmt;
typedef struct OCIBind OCIBind;
typedef struct OCIDefine OCIDefine;
typedef struct OCIDescribe OCIDescribe;
typedef struct OCIServer OCIServer;
typedef struct OCISession OCISession;
typedef struct OCITrans OCITrans;
typedef struct OCIComplexObject OCIComplexObject;
typedef struct OCISPool OCISPool;
typedef struct OCIAuthInfo OCIAuthInfo;
typedef struct OCIDirPathCtx OCIDirPathCtx;
typedef struct OCIDirPathColArray OCIDirPathColArray;
typedef struct OCIDirPathStream OCIDirPathStream;
typedef struct OCIExtProcContext OCIExtProcContext;

// Opaque descriptors and object-cache types.
typedef struct OCISnapshot OCISnapshot;
typedef struct OCIResult OCIResult;
typedef struct OCILobLocator OCILobLocator;
typedef struct OCILobLocator OCIClobLocator;
typedef struct OCILobLocator OCIBlobLocator;
typedef struct OCILobLocator OCIBFileLocator;
typedef struct OCIParam OCIParam;
typedef struct OCIComplexObjectComp OCIComplexObjectComp;
typedef struct OCIRowid OCIRowid;
typedef struct OCIDateTime OCIDateTime;
typedef struct OCIInterval OCIInterval;
typedef struct OCIType OCIType;
typedef struct OCIRef OCIRef;
typedef struct OCIString OCIString;
typedef struct OCIRaw OCIRaw;
typedef struct OCIColl OCIColl;
typedef OCIColl OCIArray;
typedef OCIColl OCITable;
typedef struct OCIIter OCIIter;

// The published value types with a known layout.
#define OCI_NUMBER_SIZE 22
typedef struct OCINumber { ub1 OCINumberPart[OCI_NUMBER_SIZE]; } OCINumber;
typedef struct OCITime { ub1 OCITimeHH; ub1 OCITimeMI; ub1 OCITimeSS; } OCITime;
typedef struct OCIDate { sb2 OCIDateYYYY; ub1 OCIDateMM; ub1 OCIDateDD; OCITime OCIDateTime; } OCIDate;

// The enumerations of the object interface, carried as ints.
typedef int OCILockOpt;          // OCI_LOCK_NONE, OCI_LOCK_X, OCI_LOCK_X_NOWAIT
typedef int OCIPinOpt;           // OCI_PIN_DEFAULT, OCI_PIN_ANY, ...
typedef int OCIRefreshOpt;
typedef int OCITypeGetOpt;
typedef int OCIObjectLifetime;
typedef int OCINumberFlags;

// Callback types.
typedef sb4 (*OCICallbackInBind)(dvoid* ictxp, OCIBind* bindp, ub4 iter, ub4 index, dvoid** bufpp,
                                 ub4* alenp, ub1* piecep, dvoid** indp);
typedef sb4 (*OCICallbackOutBind)(dvoid* octxp, OCIBind* bindp, ub4 iter, ub4 index, dvoid** bufpp,
                                  ub4** alenp, ub1* piecep, dvoid** indp, ub2** rcodep);
typedef sb4 (*OCICallbackDefine)(dvoid* octxp, OCIDefine* defnp, ub4 iter, dvoid** bufpp, ub4** alenp,
                                 ub1* piecep, dvoid** indp, ub2** rcodep);
typedef sb4 (*OCICallbackLobRead)(dvoid* ctxp, const dvoid* bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(dvoid* ctxp, dvoid* bufp, ub4* lenp, ub1* piece);

} // extern "C"

// Return codes.
#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1
#define OCI_RESERVED_FOR_INT_USE 200
#define OCI_NO_DATA 100
#define OCI_ERROR (-1)
#define OCI_INVALID_HANDLE (-2)
#define OCI_NEED_DATA 99
#define OCI_STILL_EXECUTING (-3123)
#define OCI_CONTINUE (-24200)

// Modes.
#define OCI_DEFAULT 0x00000000
#define OCI_THREADED 0x00000001
#define OCI_OBJECT 0x00000002
#define OCI_EVENTS 0x00000004
#define OCI_SHARED 0x00000010
#define OCI_NO_UCB 0x00000040
#define OCI_NO_MUTEX 0x00000080
#define OCI_ENV_NO_MUTEX 0x00000008   // the OCIEnvInit mode without internal locking
#define OCI_MIGRATE 0x00000001
#define OCI_SYSDBA 0x00000002
#define OCI_SYSOPER 0x00000004
#define OCI_PRELIM_AUTH 0x00000008
#define OCI_STMT_CACHE 0x00000040
#define OCI_CRED_RDBMS 1
#define OCI_CRED_EXT 2
#define OCI_CRED_PROXY 3

// Statement execution modes.
#define OCI_BATCH_MODE 0x00000001
#define OCI_EXACT_FETCH 0x00000002
#define OCI_STMT_SCROLLABLE_READONLY 0x00000008
#define OCI_DESCRIBE_ONLY 0x00000010
#define OCI_COMMIT_ON_SUCCESS 0x00000020
#define OCI_NON_BLOCKING 0x00000040
#define OCI_BATCH_ERRORS 0x00000080
#define OCI_PARSE_ONLY 0x00000100
#define OCI_DATA_AT_EXEC 0x00000002
#define OCI_DYNAMIC_FETCH 0x00000002
#define OCI_PIECEWISE 0x00000004

// Statement syntax and types.
#define OCI_V7_SYNTAX 2
#define OCI_V8_SYNTAX 3
#define OCI_NTV_SYNTAX 1
#define OCI_STMT_UNKNOWN 0
#define OCI_STMT_SELECT 1
#define OCI_STMT_UPDATE 2
#define OCI_STMT_DELETE 3
#define OCI_STMT_INSERT 4
#define OCI_STMT_CREATE 5
#define OCI_STMT_DROP 6
#define OCI_STMT_ALTER 7
#define OCI_STMT_BEGIN 8
#define OCI_STMT_DECLARE 9
#define OCI_STMT_CALL 10

// Fetch orientations.
#define OCI_FETCH_CURRENT 0x00000001
#define OCI_FETCH_NEXT 0x00000002
#define OCI_FETCH_FIRST 0x00000004
#define OCI_FETCH_LAST 0x00000008
#define OCI_FETCH_PRIOR 0x00000010
#define OCI_FETCH_ABSOLUTE 0x00000020
#define OCI_FETCH_RELATIVE 0x00000040

// Pieces.
#define OCI_ONE_PIECE 0
#define OCI_FIRST_PIECE 1
#define OCI_NEXT_PIECE 2
#define OCI_LAST_PIECE 3

// Handle types.
#define OCI_HTYPE_FIRST 1
#define OCI_HTYPE_ENV 1
#define OCI_HTYPE_ERROR 2
#define OCI_HTYPE_SVCCTX 3
#define OCI_HTYPE_STMT 4
#define OCI_HTYPE_BIND 5
#define OCI_HTYPE_DEFINE 6
#define OCI_HTYPE_DESCRIBE 7
#define OCI_HTYPE_SERVER 8
#define OCI_HTYPE_SESSION 9
#define OCI_HTYPE_AUTHINFO OCI_HTYPE_SESSION
#define OCI_HTYPE_TRANS 10
#define OCI_HTYPE_COMPLEXOBJECT 11
#define OCI_HTYPE_SECURITY 12
#define OCI_HTYPE_SUBSCRIPTION 13
#define OCI_HTYPE_DIRPATH_CTX 14
#define OCI_HTYPE_DIRPATH_COLUMN_ARRAY 15
#define OCI_HTYPE_DIRPATH_STREAM 16
#define OCI_HTYPE_PROC 17
#define OCI_HTYPE_CPOOL 26
#define OCI_HTYPE_SPOOL 27

// Descriptor types.
#define OCI_DTYPE_FIRST 50
#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_SNAP 51
#define OCI_DTYPE_RSET 52
#define OCI_DTYPE_PARAM 53
#define OCI_DTYPE_ROWID 54
#define OCI_DTYPE_COMPLEXOBJECTCOMP 55
#define OCI_DTYPE_FILE 56
#define OCI_DTYPE_AQENQ_OPTIONS 57
#define OCI_DTYPE_AQDEQ_OPTIONS 58
#define OCI_DTYPE_AQMSG_PROPERTIES 59
#define OCI_DTYPE_AQAGENT 60
#define OCI_DTYPE_LOCATOR 61
#define OCI_DTYPE_INTERVAL_YM 62
#define OCI_DTYPE_INTERVAL_DS 63
#define OCI_DTYPE_AQNFY_DESCRIPTOR 64
#define OCI_DTYPE_DATE 65
#define OCI_DTYPE_TIME 66
#define OCI_DTYPE_TIME_TZ 67
#define OCI_DTYPE_TIMESTAMP 68
#define OCI_DTYPE_TIMESTAMP_TZ 69
#define OCI_DTYPE_TIMESTAMP_LTZ 70

// Attributes.
#define OCI_ATTR_FNCODE 1
#define OCI_ATTR_OBJECT 2
#define OCI_ATTR_NONBLOCKING_MODE 3
#define OCI_ATTR_SQLCODE 4
#define OCI_ATTR_ENV 5
#define OCI_ATTR_SERVER 6
#define OCI_ATTR_SESSION 7
#define OCI_ATTR_TRANS 8
#define OCI_ATTR_ROW_COUNT 9
#define OCI_ATTR_SQLFNCODE 10
#define OCI_ATTR_PREFETCH_ROWS 11
#define OCI_ATTR_NESTED_PREFETCH_ROWS 12
#define OCI_ATTR_PREFETCH_MEMORY 13
#define OCI_ATTR_NESTED_PREFETCH_MEMORY 14
#define OCI_ATTR_CHAR_COUNT 15
#define OCI_ATTR_PDSCL 16
#define OCI_ATTR_FSPRECISION OCI_ATTR_PDSCL
#define OCI_ATTR_PDPRC 17
#define OCI_ATTR_LFPRECISION OCI_ATTR_PDPRC
#define OCI_ATTR_PARAM_COUNT 18
#define OCI_ATTR_ROWID 19
#define OCI_ATTR_CHARSET 20
#define OCI_ATTR_NCHAR 21
#define OCI_ATTR_USERNAME 22
#define OCI_ATTR_PASSWORD 23
#define OCI_ATTR_STMT_TYPE 24
#define OCI_ATTR_INTERNAL_NAME 25
#define OCI_ATTR_EXTERNAL_NAME 26
#define OCI_ATTR_XID 27
#define OCI_ATTR_TRANS_LOCK 28
#define OCI_ATTR_TRANS_NAME 29
#define OCI_ATTR_HEAPALLOC 30
#define OCI_ATTR_CHARSET_ID 31
#define OCI_ATTR_CHARSET_FORM 32
#define OCI_ATTR_MAXDATA_SIZE 33
#define OCI_ATTR_CACHE_OPT_SIZE 34
#define OCI_ATTR_CACHE_MAX_SIZE 35
#define OCI_ATTR_PINOPTION 36
#define OCI_ATTR_ALLOC_DURATION 37
#define OCI_ATTR_PIN_DURATION 38
#define OCI_ATTR_FDO 39
#define OCI_ATTR_POSTPROCESSING_CALLBACK 40
#define OCI_ATTR_POSTPROCESSING_CONTEXT 41
#define OCI_ATTR_ROWS_RETURNED 42
#define OCI_ATTR_FOCBK 43
#define OCI_ATTR_IN_V8_MODE 44
#define OCI_ATTR_LOBEMPTY 45
#define OCI_ATTR_SESSLANG 46
#define OCI_ATTR_STATEMENT 144
#define OCI_ATTR_CURRENT_POSITION 164
#define OCI_ATTR_STMTCACHESIZE 176
#define OCI_ATTR_SPOOL_TIMEOUT 308
#define OCI_ATTR_SPOOL_GETMODE 309
#define OCI_ATTR_SPOOL_BUSY_COUNT 310
#define OCI_ATTR_SPOOL_OPEN_COUNT 311
#define OCI_ATTR_SPOOL_MIN 312
#define OCI_ATTR_SPOOL_MAX 313
#define OCI_ATTR_SPOOL_INCR 314
#define OCI_ATTR_MODULE 366
#define OCI_ATTR_ACTION 367
#define OCI_ATTR_CLIENT_INFO 368
#define OCI_ATTR_EDITION 288

// Attributes of parameter (describe) descriptors.
#define OCI_ATTR_DATA_SIZE 1
#define OCI_ATTR_DATA_TYPE 2
#define OCI_ATTR_DISP_SIZE 3
#define OCI_ATTR_NAME 4
#define OCI_ATTR_PRECISION 5
#define OCI_ATTR_SCALE 6
#define OCI_ATTR_IS_NULL 7
#define OCI_ATTR_TYPE_NAME 8
#define OCI_ATTR_SCHEMA_NAME 9
#define OCI_ATTR_SUB_NAME 10
#define OCI_ATTR_POSITION 11
#define OCI_ATTR_CHAR_USED 285
#define OCI_ATTR_CHAR_SIZE 286

// Describe targets and parameter types.
#define OCI_OTYPE_NAME 1
#define OCI_OTYPE_REF 2
#define OCI_OTYPE_PTR 3
#define OCI_PTYPE_UNK 0
#define OCI_PTYPE_TABLE 1
#define OCI_PTYPE_VIEW 2
#define OCI_PTYPE_PROC 3
#define OCI_PTYPE_FUNC 4
#define OCI_PTYPE_PKG 5
#define OCI_PTYPE_TYPE 6
#define OCI_PTYPE_SYN 7
#define OCI_PTYPE_SEQ 8

// Character set forms.
#define SQLCS_IMPLICIT 1
#define SQLCS_NCHAR 2
#define SQLCS_EXPLICIT 3
#define SQLCS_FLEXIBLE 4
#define SQLCS_LIT_NULL 5

// External data types.
#define SQLT_CHR 1
#define SQLT_NUM 2
#define SQLT_INT 3
#define SQLT_FLT 4
#define SQLT_STR 5
#define SQLT_VNU 6
#define SQLT_PDN 7
#define SQLT_LNG 8
#define SQLT_VCS 9
#define SQLT_NON 10
#define SQLT_RID 11
#define SQLT_DAT 12
#define SQLT_VBI 15
#define SQLT_BFLOAT 21
#define SQLT_BDOUBLE 22
#define SQLT_BIN 23
#define SQLT_LBI 24
#define SQLT_UIN 68
#define SQLT_SLS 91
#define SQLT_LVC 94
#define SQLT_LVB 95
#define SQLT_AFC 96
#define SQLT_AVC 97
#define SQLT_IBFLOAT 100
#define SQLT_IBDOUBLE 101
#define SQLT_CUR 102
#define SQLT_RDD 104
#define SQLT_LAB 105
#define SQLT_OSL 106
#define SQLT_NTY 108
#define SQLT_REF 110
#define SQLT_CLOB 112
#define SQLT_BLOB 113
#define SQLT_BFILEE 114
#define SQLT_CFILEE 115
#define SQLT_RSET 116
#define SQLT_NCO 122
#define SQLT_VST 155
#define SQLT_ODT 156
#define SQLT_DATE 184
#define SQLT_TIME 185
#define SQLT_TIME_TZ 186
#define SQLT_TIMESTAMP 187
#define SQLT_TIMESTAMP_TZ 188
#define SQLT_INTERVAL_YM 189
#define SQLT_INTERVAL_DS 190
#define SQLT_TIMESTAMP_LTZ 232
#define SQLT_PNTY 241
#define SQLT_FILE SQLT_BFILEE
#define SQLT_CFILE SQLT_CFILEE
#define SQLT_BFILE SQLT_BFILEE

// Error records.
#define OCI_ERROR_MAXMSG_SIZE 1024

// Transactions.
#define OCI_TRANS_NEW 0x00000001
#define OCI_TRANS_JOIN 0x00000002
#define OCI_TRANS_RESUME 0x00000004
#define OCI_TRANS_READONLY 0x00000100
#define OCI_TRANS_READWRITE 0x00000200
#define OCI_TRANS_SERIALIZABLE 0x00000400
#define OCI_TRANS_LOOSE 0x00010000
#define OCI_TRANS_TIGHT 0x00020000
#define OCI_TRANS_TWOPHASE 0x01000000

// LOBs.
#define OCI_FILE_READONLY 1
#define OCI_LOB_READONLY 1
#define OCI_LOB_READWRITE 2
#define OCI_TEMP_BLOB 1
#define OCI_TEMP_CLOB 2
#define OCI_DURATION_INVALID 0xFFFF
#define OCI_DURATION_BEGIN 10
#define OCI_DURATION_NULL (OCI_DURATION_BEGIN - 1)
#define OCI_DURATION_DEFAULT (OCI_DURATION_BEGIN - 2)
#define OCI_DURATION_SESSION OCI_DURATION_BEGIN
#define OCI_DURATION_TRANS (OCI_DURATION_BEGIN + 1)
#define OCI_DURATION_STATEMENT (OCI_DURATION_BEGIN + 3)
#define OCI_DURATION_CALLOUT (OCI_DURATION_BEGIN + 4)

// Object cache.
#define OCI_IND_NOTNULL 0
#define OCI_IND_NULL (-1)
#define OCI_IND_BADNULL (-2)
#define OCI_IND_NOTNULLABLE (-3)
#define OCI_PIN_DEFAULT 1
#define OCI_PIN_ANY 3
#define OCI_PIN_RECENT 4
#define OCI_PIN_LATEST 5
#define OCI_LOCK_NONE 1
#define OCI_LOCK_X 2
#define OCI_LOCK_X_NOWAIT 3
#define OCI_REFRESH_LOADED 1
#define OCI_TYPEGET_HEADER 0
#define OCI_TYPEGET_ALL 1
#define OCI_NUMBER_UNSIGNED 0
#define OCI_NUMBER_SIGNED 2
#define OCI_TYPECODE_REF SQLT_REF
#define OCI_TYPECODE_DATE SQLT_DAT
#define OCI_TYPECODE_NUMBER SQLT_NUM
#define OCI_TYPECODE_VARCHAR2 SQLT_CHR
#define OCI_TYPECODE_OBJECT SQLT_NTY
#define OCI_TYPECODE_NAMEDCOLLECTION SQLT_NCO

// Session pools and statement cache.
#define OCI_SPC_REINITIALIZE 0x0001
#define OCI_SPC_HOMOGENEOUS 0x0002
#define OCI_SPC_STMTCACHE 0x0004
#define OCI_SPD_FORCE 0x0001
#define OCI_SESSGET_SPOOL 0x0001
#define OCI_SESSGET_STMTCACHE 0x0004
#define OCI_SESSRLS_DROPSESS 0x0001
#define OCI_STRLS_CACHE_DELETE 0x0010
