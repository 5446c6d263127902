/* OCI declarations for C callers of the stand-in client (tests, benchmarks, tools).
   The types, constants and prototypes are those the Oracle Call Interface publishes. */
#ifndef OCISIM_OCI_H
#define OCISIM_OCI_H
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef unsigned long long ub8;
typedef signed long long sb8;
typedef int sword;
typedef int eword;
typedef unsigned int uword;
typedef unsigned char text;
typedef unsigned char OraText;
typedef char oratext_char;
typedef int boolean;
#ifndef dvoid
#define dvoid void
#endif

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
typedef struct OCISPool OCISPool;
typedef struct OCIAuthInfo OCIAuthInfo;
typedef struct OCISnapshot OCISnapshot;
typedef struct OCIParam OCIParam;
typedef struct OCIRowid OCIRowid;
typedef struct OCILobLocator OCILobLocator;
typedef struct OCIDateTime OCIDateTime;
typedef struct OCIType OCIType;
typedef struct OCIString OCIString;

/* handle types */
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
#define OCI_HTYPE_SPOOL 27

/* descriptor types */
#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_SNAP 51
#define OCI_DTYPE_RSET 52
#define OCI_DTYPE_PARAM 53
#define OCI_DTYPE_ROWID 54
#define OCI_DTYPE_FILE 56
#define OCI_DTYPE_INTERVAL_YM 62
#define OCI_DTYPE_INTERVAL_DS 63
#define OCI_DTYPE_DATE 65
#define OCI_DTYPE_TIMESTAMP 68
#define OCI_DTYPE_TIMESTAMP_TZ 69
#define OCI_DTYPE_TIMESTAMP_LTZ 70

/* return statuses */
#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1
#define OCI_NEED_DATA 99
#define OCI_NO_DATA 100
#define OCI_ERROR (-1)
#define OCI_INVALID_HANDLE (-2)
#define OCI_STILL_EXECUTING (-3123)
#define OCI_CONTINUE (-24200)

/* modes */
#define OCI_DEFAULT 0x00000000
#define OCI_THREADED 0x00000001
#define OCI_OBJECT 0x00000002
#define OCI_EVENTS 0x00000004
#define OCI_SHARED 0x00000010
#define OCI_NO_UCB 0x00000040
#define OCI_NO_MUTEX 0x00000080
#define OCI_ENV_NO_MUTEX 0x08  /* OCIEnvInit mode */

/* credentials and session modes */
#define OCI_CRED_RDBMS 1
#define OCI_CRED_EXT 2
#define OCI_SYSDBA 0x00000002
#define OCI_SYSOPER 0x00000004
#define OCI_STMT_CACHE 0x00000040
#define OCI_AUTH 0x00000008

/* statement prepare and execute */
#define OCI_NTV_SYNTAX 1
#define OCI_V7_SYNTAX 2
#define OCI_V8_SYNTAX 3
#define OCI_BATCH_MODE 0x00000001
#define OCI_EXACT_FETCH 0x00000002
#define OCI_STMT_SCROLLABLE_READONLY 0x00000008
#define OCI_DESCRIBE_ONLY 0x00000010
#define OCI_COMMIT_ON_SUCCESS 0x00000020
#define OCI_NON_BLOCKING 0x00000040
#define OCI_BATCH_ERRORS 0x00000080
#define OCI_PARSE_ONLY 0x00000100

/* bind and define modes */
#define OCI_SB2_IND_PTR 0x00000001
#define OCI_DATA_AT_EXEC 0x00000002
#define OCI_DYNAMIC_FETCH 0x00000002
#define OCI_PIECEWISE 0x00000004

/* pieces */
#define OCI_ONE_PIECE 0
#define OCI_FIRST_PIECE 1
#define OCI_NEXT_PIECE 2
#define OCI_LAST_PIECE 3

/* fetch orientations */
#define OCI_FETCH_CURRENT 0x00000001
#define OCI_FETCH_NEXT 0x00000002
#define OCI_FETCH_FIRST 0x00000004
#define OCI_FETCH_LAST 0x00000008
#define OCI_FETCH_PRIOR 0x00000010
#define OCI_FETCH_ABSOLUTE 0x00000020
#define OCI_FETCH_RELATIVE 0x00000040

/* transactions */
#define OCI_TRANS_NEW 0x00000001
#define OCI_TRANS_READONLY 0x00000100
#define OCI_TRANS_READWRITE 0x00000200
#define OCI_TRANS_SERIALIZABLE 0x00000400
#define OCI_TRANS_TWOPHASE 0x01000000

/* session pool */
#define OCI_SPC_REINITIALIZE 0x0001
#define OCI_SPC_HOMOGENEOUS 0x0002
#define OCI_SPC_STMTCACHE 0x0004
#define OCI_SPD_FORCE 0x0001
#define OCI_SESSGET_SPOOL 0x0001
#define OCI_SESSGET_STMTCACHE 0x0004
#define OCI_SESSRLS_DROPSESS 0x0001
#define OCI_SESSRLS_RETAG 0x0002
#define OCI_SPOOL_ATTRVAL_WAIT 0
#define OCI_SPOOL_ATTRVAL_NOWAIT 1
#define OCI_SPOOL_ATTRVAL_FORCEGET 2

/* statement types */
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

/* character set forms and ids */
#define SQLCS_IMPLICIT 1
#define SQLCS_NCHAR 2
#define OCI_UTF16ID 1000

/* attributes */
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
#define OCI_ATTR_PARAM_COUNT 18
#define OCI_ATTR_ROWID 19
#define OCI_ATTR_CHARSET 20
#define OCI_ATTR_NCHAR 21
#define OCI_ATTR_USERNAME 22
#define OCI_ATTR_PASSWORD 23
#define OCI_ATTR_STMT_TYPE 24
#define OCI_ATTR_CHARSET_ID 31
#define OCI_ATTR_CHARSET_FORM 32
#define OCI_ATTR_MAXDATA_SIZE 33
#define OCI_ATTR_ROWS_RETURNED 42
#define OCI_ATTR_LOBEMPTY 45
#define OCI_ATTR_PARAM 124
#define OCI_ATTR_PARSE_ERROR_OFFSET 129
#define OCI_ATTR_SERVER_STATUS 143
#define OCI_ATTR_STATEMENT 144
#define OCI_ATTR_MAXCHAR_SIZE 163
#define OCI_ATTR_CURRENT_POSITION 164
#define OCI_ATTR_STMTCACHESIZE 176
#define OCI_ATTR_STMT_STATE 182
#define OCI_ATTR_ROWS_FETCHED 197
#define OCI_ATTR_ENV_CHARSET_ID OCI_ATTR_CHARSET_ID
#define OCI_ATTR_ENV_NCHARSET_ID 262
#define OCI_ATTR_SPOOL_STMTCACHESIZE 208
#define OCI_ATTR_SPOOL_TIMEOUT 308
#define OCI_ATTR_SPOOL_GETMODE 309
#define OCI_ATTR_SPOOL_BUSY_COUNT 310
#define OCI_ATTR_SPOOL_OPEN_COUNT 311
#define OCI_ATTR_SPOOL_MIN 312
#define OCI_ATTR_SPOOL_MAX 313
#define OCI_ATTR_SPOOL_INCR 314
#define OCI_ATTR_CHAR_USED 285
#define OCI_ATTR_CHAR_SIZE 286
/* parameter (describe) attributes */
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

#define OCI_SERVER_NOT_CONNECTED 0x0
#define OCI_SERVER_NORMAL 0x1

/* external data types */
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
#define SQLT_TIMESTAMP 187
#define SQLT_TIMESTAMP_TZ 188
#define SQLT_INTERVAL_YM 189
#define SQLT_INTERVAL_DS 190
#define SQLT_TIMESTAMP_LTZ 232
#define SQLT_PNTY 241
#define SQLT_BOL 252

/* OCIDate */
typedef struct OCITime { ub1 OCITimeHH; ub1 OCITimeMI; ub1 OCITimeSS; } OCITime;
typedef struct OCIDate { sb2 OCIDateYYYY; ub1 OCIDateMM; ub1 OCIDateDD; OCITime OCIDateTime; } OCIDate;
#define OCI_NUMBER_SIZE 22
typedef struct OCINumber { ub1 OCINumberPart[OCI_NUMBER_SIZE]; } OCINumber;

/* callbacks */
typedef sb4 (*OCICallbackInBind)(dvoid* ictxp, OCIBind* bindp, ub4 iter, ub4 index, dvoid** bufpp,
                                 ub4* alenp, ub1* piecep, dvoid** indp);
typedef sb4 (*OCICallbackOutBind)(dvoid* octxp, OCIBind* bindp, ub4 iter, ub4 index, dvoid** bufpp,
                                  ub4** alenp, ub1* piecep, dvoid** indp, ub2** rcodep);
typedef sb4 (*OCICallbackDefine)(dvoid* octxp, OCIDefine* defnp, ub4 iter, dvoid** bufpp,
                                 ub4** alenp, ub1* piecep, dvoid** indp, ub2** rcodep);

/* OCI8 calls */
sword OCIInitialize(ub4 mode, dvoid* ctxp, dvoid* (*malocfp)(dvoid*, size_t),
                    dvoid* (*ralocfp)(dvoid*, dvoid*, size_t), void (*mfreefp)(dvoid*, dvoid*));
sword OCIEnvInit(OCIEnv** envp, ub4 mode, size_t xtramem_sz, dvoid** usrmempp);
sword OCIEnvCreate(OCIEnv** envp, ub4 mode, dvoid* ctxp, dvoid* (*malocfp)(dvoid*, size_t),
                   dvoid* (*ralocfp)(dvoid*, dvoid*, size_t), void (*mfreefp)(dvoid*, dvoid*),
                   size_t xtramem_sz, dvoid** usrmempp);
sword OCIHandleAlloc(const dvoid* parenth, dvoid** hndlpp, ub4 type, size_t xtramem_sz, dvoid** usrmempp);
sword OCIHandleFree(dvoid* hndlp, ub4 type);
sword OCIDescriptorAlloc(const dvoid* parenth, dvoid** descpp, ub4 type, size_t xtramem_sz, dvoid** usrmempp);
sword OCIDescriptorFree(dvoid* descp, ub4 type);
sword OCIAttrGet(const dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4* sizep, ub4 attrtype, OCIError* errhp);
sword OCIAttrSet(dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4 size, ub4 attrtype, OCIError* errhp);
sword OCIErrorGet(dvoid* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type);
sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len, ub4 mode);
sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 mode);
sword OCIServerVersion(dvoid* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1 hndltype);
sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4 mode);
sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode);
sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username, ub4 uname_len,
               const OraText* password, ub4 passwd_len, const OraText* dbname, ub4 dbname_len);
sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp);
sword OCIPasswordChange(OCISvcCtx* svchp, OCIError* errhp, const OraText* user_name, ub4 usernm_len,
                        const OraText* opasswd, ub4 opasswd_len, const OraText* npasswd, ub4 npasswd_len, ub4 mode);
sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len, ub4 language, ub4 mode);
sword OCIStmtPrepare2(OCISvcCtx* svchp, OCIStmt** stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                      const OraText* key, ub4 keylen, ub4 language, ub4 mode);
sword OCIStmtRelease(OCIStmt* stmtp, OCIError* errhp, const OraText* key, ub4 keylen, ub4 mode);
sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, dvoid* valuep, sb4 value_sz,
                   ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode);
sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder, sb4 placeh_len,
                    dvoid* valuep, sb4 value_sz, ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                    ub4* curelep, ub4 mode);
sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip);
sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                     const OCISnapshot* snap_in, OCISnapshot* snap_out, ub4 mode);
sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, dvoid* valuep, sb4 value_sz,
                     ub2 dty, dvoid* indp, ub2* rlenp, ub2* rcodep, ub4 mode);
sword OCIDefineArrayOfStruct(OCIDefine* defnp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 rlskip, ub4 rcskip);
sword OCIDefineDynamic(OCIDefine* defnp, OCIError* errhp, dvoid* octxp, OCICallbackDefine ocbfp);
sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode);
sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4 scrollOffset, ub4 mode);
sword OCIParamGet(const dvoid* hndlp, ub4 htype, OCIError* errhp, dvoid** parmdpp, ub4 pos);
sword OCITransStart(OCISvcCtx* svchp, OCIError* errhp, uword timeout, ub4 flags);
sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
sword OCITransDetach(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);

/* describing schema objects */
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
#define OCI_PTYPE_COL 9
#define OCI_PTYPE_ARG 10
#define OCI_PTYPE_LIST 11
#define OCI_PTYPE_TYPE_ATTR 12
#define OCI_PTYPE_TYPE_COLL 13
#define OCI_PTYPE_TYPE_METHOD 14
#define OCI_PTYPE_TYPE_ARG 15
#define OCI_PTYPE_TYPE_RESULT 16
#define OCI_LTYPE_UNK 0
#define OCI_LTYPE_COLUMN 1
#define OCI_LTYPE_ARG_PROC 2
#define OCI_LTYPE_ARG_FUNC 3
#define OCI_LTYPE_SUBPRG 4
#define OCI_LTYPE_TYPE_ATTR 5
#define OCI_LTYPE_TYPE_METHOD 6
#define OCI_LTYPE_TYPE_ARG_PROC 7
#define OCI_LTYPE_TYPE_ARG_FUNC 8
/* stored procedures, packages and their arguments */
#define OCI_ATTR_LIST_ARGUMENTS 108
#define OCI_ATTR_LIST_SUBPROGRAMS 109
#define OCI_ATTR_REF_TDO 110
#define OCI_ATTR_OVERLOAD_ID 125
#define OCI_ATTR_IS_INVOKER_RIGHTS 133
#define OCI_ATTR_OBJ_ID 136
#define OCI_ATTR_OVERLOAD 210
#define OCI_ATTR_LEVEL 211
#define OCI_ATTR_HAS_DEFAULT 212
#define OCI_ATTR_IOMODE 213
#define OCI_ATTR_RADIX 214
#define OCI_ATTR_NUM_ARGS 215
/* user-defined types, their attributes, collection elements and methods */
#define OCI_ATTR_TYPECODE 216
#define OCI_ATTR_COLLECTION_TYPECODE 217
#define OCI_ATTR_VERSION 218
#define OCI_ATTR_IS_INCOMPLETE_TYPE 219
#define OCI_ATTR_IS_SYSTEM_TYPE 220
#define OCI_ATTR_IS_PREDEFINED_TYPE 221
#define OCI_ATTR_IS_TRANSIENT_TYPE 222
#define OCI_ATTR_IS_SYSTEM_GENERATED_TYPE 223
#define OCI_ATTR_HAS_NESTED_TABLE 224
#define OCI_ATTR_HAS_LOB 225
#define OCI_ATTR_HAS_FILE 226
#define OCI_ATTR_COLLECTION_ELEMENT 227
#define OCI_ATTR_NUM_TYPE_ATTRS 228
#define OCI_ATTR_LIST_TYPE_ATTRS 229
#define OCI_ATTR_NUM_TYPE_METHODS 230
#define OCI_ATTR_LIST_TYPE_METHODS 231
#define OCI_ATTR_MAP_METHOD 232
#define OCI_ATTR_ORDER_METHOD 233
#define OCI_ATTR_NUM_ELEMS 234
#define OCI_ATTR_ENCAPSULATION 235
#define OCI_ATTR_IS_SELFISH 236
#define OCI_ATTR_IS_VIRTUAL 237
#define OCI_ATTR_IS_INLINE 238
#define OCI_ATTR_IS_CONSTANT 239
#define OCI_ATTR_HAS_RESULT 240
#define OCI_ATTR_IS_CONSTRUCTOR 241
#define OCI_ATTR_IS_DESTRUCTOR 242
#define OCI_ATTR_IS_OPERATOR 243
#define OCI_ATTR_IS_MAP 244
#define OCI_ATTR_IS_ORDER 245
#define OCI_ATTR_IS_RNDS 246
#define OCI_ATTR_IS_RNPS 247
#define OCI_ATTR_IS_WNDS 248
#define OCI_ATTR_IS_WNPS 249
#define OCI_ATTR_IS_SUBTYPE 258
#define OCI_ATTR_SUPERTYPE_SCHEMA_NAME 259
#define OCI_ATTR_SUPERTYPE_NAME 260
#define OCI_ATTR_IS_FINAL_TYPE 279
#define OCI_ATTR_IS_INSTANTIABLE_TYPE 280
#define OCI_ATTR_IS_FINAL_METHOD 281
#define OCI_ATTR_IS_INSTANTIABLE_METHOD 282
#define OCI_ATTR_IS_OVERRIDING_METHOD 283
#define OCI_ATTR_FSPRECISION 16
#define OCI_ATTR_LFPRECISION 17
typedef ub2 OCITypeCode;
typedef enum OCITypeParamMode { OCI_TYPEPARAM_IN = 0, OCI_TYPEPARAM_OUT = 1, OCI_TYPEPARAM_INOUT = 2 } OCITypeParamMode;
typedef enum OCITypeEncap { OCI_TYPEENCAP_PRIVATE = 0, OCI_TYPEENCAP_PUBLIC = 1 } OCITypeEncap;
#define OCI_TYPECODE_REF 110
#define OCI_TYPECODE_CHAR 96
#define OCI_TYPECODE_VARCHAR2 9
#define OCI_TYPECODE_VARCHAR 1
#define OCI_TYPECODE_INTEGER 3
#define OCI_TYPECODE_FLOAT 4
#define OCI_TYPECODE_RAW 95
#define OCI_TYPECODE_CLOB 112
#define OCI_TYPECODE_BLOB 113
#define OCI_TYPECODE_BFILE 114
#define OCI_TYPECODE_OBJECT 108
#define OCI_TYPECODE_NAMEDCOLLECTION 122
#define OCI_TYPECODE_VARRAY 247
#define OCI_TYPECODE_TABLE 248
#define OCI_TYPECODE_TIMESTAMP 187
#define OCI_TYPECODE_TIMESTAMP_TZ 188
#define OCI_TYPECODE_TIMESTAMP_LTZ 232
#define OCI_TYPECODE_INTERVAL_YM 189
#define OCI_TYPECODE_INTERVAL_DS 190
#define OCI_TYPECODE_UROWID 104
#define OCI_TYPECODE_NCHAR 286
#define OCI_TYPECODE_NVARCHAR2 287
#define OCI_TYPECODE_NCLOB 288
#define OCI_TYPECODE_RECORD 250
#define OCI_TYPECODE_ITABLE 251
#define OCI_TYPECODE_BOOLEAN 252
#define OCI_ATTR_NUM_COLS 102
#define OCI_ATTR_LIST_COLUMNS 103
#define OCI_ATTR_LINK 111
#define OCI_ATTR_NUM_PARAMS 121
#define OCI_ATTR_PTYPE 123
#define OCI_ATTR_LTYPE 128
#define OCI_ATTR_OBJ_NAME 134
#define OCI_ATTR_OBJ_SCHEMA 135
sword OCIDescribeAny(OCISvcCtx* svchp, OCIError* errhp, dvoid* objptr, ub4 objnm_len, ub1 objptr_typ, ub1 info_level,
                     ub1 objtyp, OCIDescribe* dschp);
sword OCIBreak(dvoid* hndlp, OCIError* errhp);
sword OCISvcCtxToLda(OCISvcCtx* svchp, OCIError* errhp, struct cda_def* ldap);
sword OCILdaToSvcCtx(OCISvcCtx** svchpp, OCIError* errhp, struct cda_def* ldap);
sword OCISessionPoolCreate(OCIEnv* envhp, OCIError* errhp, OCISPool* spoolhp, OraText** poolName, ub4* poolNameLen,
                           const OraText* connStr, ub4 connStrLen, ub4 sessMin, ub4 sessMax, ub4 sessIncr,
                           OraText* userid, ub4 useridLen, OraText* password, ub4 passwordLen, ub4 mode);
sword OCISessionPoolDestroy(OCISPool* spoolhp, OCIError* errhp, ub4 mode);
sword OCISessionGet(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, OCIAuthInfo* authhp, OraText* poolName,
                    ub4 poolName_len, const OraText* tagInfo, ub4 tagInfo_len, OraText** retTagInfo,
                    ub4* retTagInfo_len, boolean* found, ub4 mode);
sword OCISessionRelease(OCISvcCtx* svchp, OCIError* errhp, OraText* tag, ub4 tag_len, ub4 mode);

/* LOB locators */
typedef ub2 OCIDuration;
#define OCI_TEMP_BLOB 1
#define OCI_TEMP_CLOB 2
#define OCI_DURATION_DEFAULT 8
#define OCI_DURATION_CALL 12
#define OCI_DURATION_STATEMENT 13
#define OCI_FILE_READONLY 1
#define OCI_LOB_BUFFER_FREE 1
#define OCI_LOB_BUFFER_NOFREE 2
typedef sb4 (*OCICallbackLobRead)(dvoid* ctxp, const dvoid* bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(dvoid* ctxp, dvoid* bufp, ub4* lenp, ub1* piece);
sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp);
sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, dvoid* bufp, ub4 bufl,
                 dvoid* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm);
sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, dvoid* bufp, ub4 buflen,
                  ub1 piece, dvoid* ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm);
sword OCILobTrim(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen);
sword OCILobErase(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amount, ub4 offset);
sword OCILobAppend(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_locp);
sword OCILobCopy(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_locp, ub4 amount,
                 ub4 dst_offset, ub4 src_offset);
sword OCILobLoadFromFile(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_filep, ub4 amount,
                         ub4 dst_offset, ub4 src_offset);
sword OCILobAssign(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* src_locp, OCILobLocator** dst_locpp);
sword OCILobIsEqual(OCIEnv* envhp, const OCILobLocator* x, const OCILobLocator* y, boolean* is_equal);
sword OCILobLocatorIsInit(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, boolean* is_initialized);
sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm);
sword OCILobCharSetId(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub2* csid);
sword OCILobCreateTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub2 csid, ub1 csfrm, ub1 lobtype,
                            boolean cache, OCIDuration duration);
sword OCILobFreeTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp);
sword OCILobIsTemporary(OCIEnv* envhp, OCIError* errhp, OCILobLocator* locp, boolean* is_temporary);
sword OCILobEnableBuffering(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp);
sword OCILobDisableBuffering(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp);
sword OCILobFlushBuffer(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 flag);
sword OCILobFileSetName(OCIEnv* envhp, OCIError* errhp, OCILobLocator** filepp, const OraText* dir_alias, ub2 d_length,
                        const OraText* filename, ub2 f_length);
sword OCILobFileGetName(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* filep, OraText* dir_alias, ub2* d_length,
                        OraText* filename, ub2* f_length);
sword OCILobFileExists(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag);
sword OCILobFileOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, ub1 mode);
sword OCILobFileClose(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep);
sword OCILobFileIsOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag);
sword OCILobFileCloseAll(OCISvcCtx* svchp, OCIError* errhp);

/* numbers and instances */
#define OCI_NUMBER_UNSIGNED 0
#define OCI_NUMBER_SIGNED 2
#define OCI_TYPECODE_DATE 12
#define OCI_TYPECODE_NUMBER 2
#define OCI_DURATION_SESSION 10
sword OCINumberFromInt(OCIError* err, const dvoid* inum, uword inum_length, uword inum_s_flag, OCINumber* number);
sword OCINumberToInt(OCIError* err, const OCINumber* number, uword rsl_length, uword rsl_flag, dvoid* rsl);
sword OCINumberFromReal(OCIError* err, const dvoid* rnum, uword rnum_length, OCINumber* number);
sword OCINumberToReal(OCIError* err, const OCINumber* number, uword rsl_length, dvoid* rsl);
sword OCINumberToText(OCIError* err, const OCINumber* number, const OraText* fmt, ub4 fmt_length, const OraText* nls_params,
                      ub4 nls_p_length, ub4* buf_size, OraText* buf);
sword OCINumberFromText(OCIError* err, const OraText* str, ub4 str_length, const OraText* fmt, ub4 fmt_length,
                        const OraText* nls_params, ub4 nls_p_length, OCINumber* number);
sword OCIObjectNew(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, ub2 typecode, OCIType* tdo, dvoid* table, ub2 duration,
                   boolean value, dvoid** instance);
sword OCIObjectFree(OCIEnv* env, OCIError* err, dvoid* instance, ub2 flags);

/* date-time descriptors */
sword OCIDateTimeConstruct(dvoid* hndl, OCIError* err, OCIDateTime* datetime, sb2 year, ub1 month, ub1 day, ub1 hour, ub1 min,
                           ub1 sec, ub4 fsec, OraText* timezone, size_t timezone_length);
sword OCIDateTimeGetDate(dvoid* hndl, OCIError* err, const OCIDateTime* datetime, sb2* year, ub1* month, ub1* day);
sword OCIDateTimeGetTime(dvoid* hndl, OCIError* err, OCIDateTime* datetime, ub1* hour, ub1* min, ub1* sec, ub4* fsec);
sword OCIDateTimeGetTimeZoneOffset(dvoid* hndl, OCIError* err, const OCIDateTime* datetime, sb1* hour, sb1* min);
sword OCIDateTimeAssign(dvoid* hndl, OCIError* err, const OCIDateTime* from, OCIDateTime* to);
sword OCIDateTimeToText(dvoid* hndl, OCIError* err, const OCIDateTime* date, const OraText* fmt, ub1 fmt_length, ub1 fsprec,
                        const OraText* lang_name, size_t lang_length, ub4* buf_size, OraText* buf);
sword OCIDateTimeFromText(dvoid* hndl, OCIError* err, const OraText* date_str, size_t dstr_length, const OraText* fmt,
                          ub1 fmt_length, const OraText* lang_name, size_t lang_length, OCIDateTime* datetime);

/* OCI7: the logon, cursor and host data areas as the client lays them out (64-bit sizes) */
#if defined(__LP64__) || defined(_WIN64)
#define CDA_SIZE 88
#define HDA_SIZE 512
#else
#define CDA_SIZE 64
#define HDA_SIZE 256
#endif
struct cda_head {
    sb2 v2_rc; ub2 ft; ub4 rpc; ub2 peo; ub1 fc; ub1 rcs1; ub2 rc; ub1 wrn; ub1 rcs2; sword rcs3;
    struct { struct { ub4 rcs4; ub2 rcs5; ub1 rcs6; } rd; ub4 rcs7; ub2 rcs8; } rid;
    sword ose; ub1 chk; dvoid* rcsp;
};
struct cda_def {
    sb2 v2_rc;   /* V2 compatible return code */
    ub2 ft;      /* SQL function type */
    ub4 rpc;     /* rows processed count */
    ub2 peo;     /* parse error offset */
    ub1 fc;      /* OCI function code */
    ub1 rcs1;
    ub2 rc;      /* V7 return code */
    ub1 wrn;     /* warning flags */
    ub1 rcs2;
    sword rcs3;
    struct {
        struct { ub4 rcs4; ub2 rcs5; ub1 rcs6; } rd;  /* data object number, file number */
        ub4 rcs7;                                   /* block number */
        ub2 rcs8;                                   /* row number */
    } rid;
    sword ose;   /* operating-system dependent error */
    ub1 chk;
    dvoid* rcsp; /* private to the client */
    ub1 rcs9[CDA_SIZE - sizeof(struct cda_head)];
};
typedef struct cda_def Cda_Def;
typedef struct cda_def Lda_Def;

sword orlon(Lda_Def* lda, ub1* hda, OraText* uid, sword uidl, OraText* pswd, sword pswdl, sword audit);
sword olog(Lda_Def* lda, ub1* hda, OraText* uid, sword uidl, OraText* pswd, sword pswdl, OraText* conn, sword connl,
           ub4 mode);
sword ologof(Lda_Def* lda);
sword opinit(ub4 mode);
sword oopen(Cda_Def* cursor, Lda_Def* lda, OraText* dbn, sword dbnl, sword arsize, OraText* uid, sword uidl);
sword oclose(Cda_Def* cursor);
sword oparse(Cda_Def* cursor, OraText* sqlstm, sb4 sqllen, sword defflg, ub4 lngflg);
sword obndra(Cda_Def* cursor, OraText* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype, sword scale,
             sb2* indp, ub2* alen, ub2* arcode, ub4 maxsiz, ub4* cursiz, OraText* fmt, sword fmtl, sword fmtt);
sword odefin(Cda_Def* cursor, sword pos, ub1* buf, sword bufl, sword ftype, sword scale, sb2* indp, OraText* fmt,
             sword fmtl, sword fmtt, ub2* rlen, ub2* rcode);
sword odescr(Cda_Def* cursor, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl, sb4* dsize, sb2* prec,
             sb2* scale, sb2* nullok);
sword odessp(Lda_Def* cursor, OraText* objnam, size_t onlen, ub1* rsv1, size_t rsv1ln, ub1* rsv2, size_t rsv2ln,
             ub2* ovrld, ub2* pos, ub2* level, OraText** argnam, ub2* arnlen, ub2* dtype, ub1* defsup, ub1* mode,
             ub4* dtsiz, sb2* prec, sb2* scale, ub1* radix, ub4* spare, ub4* arrsiz);
sword oexec(Cda_Def* cursor);
sword oexn(Cda_Def* cursor, sword iters, sword rowoff);
sword oexfet(Cda_Def* cursor, ub4 nrows, sword cancel, sword exact);
sword ofen(Cda_Def* cursor, sword nrows);
sword oflng(Cda_Def* cursor, sword pos, ub1* buf, sb4 bufl, sword dtype, ub4* retl, sb4 offset);
sword ocom(Lda_Def* lda);
sword orol(Lda_Def* lda);
sword ocon(Lda_Def* lda);
sword ocof(Lda_Def* lda);
sword obreak(Lda_Def* lda);
sword oerhms(Lda_Def* lda, sb2 rcode, OraText* buf, sword bufsiz);

/* transaction-server support library */
sword OraMTSSvcGet(OraText* lpUname, OraText* lpPsswd, OraText* lpDbnam, OCISvcCtx** pOCISvc, OCIEnv** pOCIEnv,
                   ub4 dwFlags);
sword OraMTSSvcRel(OCISvcCtx* OCISvc);
sword OraMTSSvcEnlist(OCISvcCtx* OCISvc, OCIError* OCIErr, void* lpTrans, unsigned dwFlags);
sword OraMTSSvcEnlistEx(OCISvcCtx* OCISvc, OCIError* OCIErr, void* lpTrans, unsigned dwFlags, char* lpDBName);
sword OraMTSTransTest(void);

#ifdef __cplusplus
}
#endif
#endif
