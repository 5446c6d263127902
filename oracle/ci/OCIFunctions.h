#pragma once
// Pointer types of every client function the library binds, with the published signatures.
// The library never links against the client: it calls these through the entry-point table.
#include "oracle/ci/OCI7.h"
#include "oracle/ci/OCITypes.h"

extern "C" {

typedef dvoid* (*OCIMallocFunc)(dvoid* ctxp, size_t size);
typedef dvoid* (*OCIReallocFunc)(dvoid* ctxp, dvoid* memptr, size_t newsize);
typedef void (*OCIFreeFunc)(dvoid* ctxp, dvoid* memptr);

// OCI7 core.
typedef sword (*Torlon)(Lda_Def* lda, ub1* hda, text* uid, sword uidl, text* pswd, sword pswdl, sword audit);
typedef sword (*Tologof)(Lda_Def* lda);
typedef sword (*Toerhms)(Lda_Def* lda, sb2 rcode, text* buf, sword bufsiz);
typedef sword (*Toopen)(Cda_Def* cursor, Lda_Def* lda, text* dbn, sword dbnl, sword arsize, text* uid, sword uidl);
typedef sword (*Toparse)(Cda_Def* cursor, text* sqlstm, sb4 sqllen, sword defflg, ub4 lngflg);
typedef sword (*Todefin)(Cda_Def* cursor, sword pos, ub1* buf, sword bufl, sword ftype, sword scale, sb2* indp,
                         text* fmt, sword fmtl, sword fmtt, ub2* rlen, ub2* rcode);
typedef sword (*Toexfet)(Cda_Def* cursor, ub4 nrows, sword cancel, sword exact);
typedef sword (*Tofen)(Cda_Def* cursor, sword nrows);
typedef sword (*Toflng)(Cda_Def* cursor, sword pos, ub1* buf, sb4 bufl, sword dtype, ub4* retl, sb4 offset);
typedef sword (*Toclose)(Cda_Def* cursor);
typedef sword (*Todescr)(Cda_Def* cursor, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl, sb4* dsize,
                         sb2* prec, sb2* scale, sb2* nullok);
typedef sword (*Toexec)(Cda_Def* cursor);
typedef sword (*Toexn)(Cda_Def* cursor, sword iters, sword rowoff);
typedef sword (*Tocom)(Lda_Def* lda);
typedef sword (*Torol)(Lda_Def* lda);
typedef sword (*Tocon)(Lda_Def* lda);
typedef sword (*Tocof)(Lda_Def* lda);
typedef sword (*Tobreak)(Lda_Def* lda);
typedef sword (*Tobndra)(Cda_Def* cursor, text* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype, sword scale,
                         sb2* indp, ub2* alen, ub2* arcode, ub4 maxsiz, ub4* cursiz, text* fmt, sword fmtl, sword fmtt);
typedef sword (*Todessp)(Lda_Def* lda, text* objnam, size_t onlen, ub1* rsv1, size_t rsv1ln, ub1* rsv2, size_t rsv2ln,
                         ub2* ovrld, ub2* pos, ub2* level, text** argnam, ub2* arnlen, ub2* dtype, ub1* defsup,
                         ub1* mode, ub4* dtsiz, sb2* prec, sb2* scale, ub1* radix, ub4* spare, ub4* arrsiz);
typedef sword (*Tolog)(Lda_Def* lda, ub1* hda, text* uid, sword uidl, text* pswd, sword pswdl, text* conn, sword connl,
                       ub4 mode);
typedef sword (*Topinit)(ub4 mode);

// OCI8 base.
typedef sword (*TOCIInitialize)(ub4 mode, dvoid* ctxp, OCIMallocFunc malocfp, OCIReallocFunc ralocfp, OCIFreeFunc mfreefp);
typedef sword (*TOCIHandleAlloc)(const dvoid* parenth, dvoid** hndlpp, ub4 type, size_t xtramem_sz, dvoid** usrmempp);
typedef sword (*TOCIHandleFree)(dvoid* hndlp, ub4 type);
typedef sword (*TOCIDescriptorAlloc)(const dvoid* parenth, dvoid** descpp, ub4 type, size_t xtramem_sz, dvoid** usrmempp);
typedef sword (*TOCIDescriptorFree)(dvoid* descp, ub4 type);
typedef sword (*TOCIEnvInit)(OCIEnv** envp, ub4 mode, size_t xtramem_sz, dvoid** usrmempp);
typedef sword (*TOCIServerAttach)(OCIServer* srvhp, OCIError* errhp, const text* dblink, sb4 dblink_len, ub4 mode);
typedef sword (*TOCIServerDetach)(OCIServer* srvhp, OCIError* errhp, ub4 mode);
typedef sword (*TOCISessionBegin)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4 mode);
typedef sword (*TOCISessionEnd)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode);
typedef sword (*TOCILogon)(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const text* username, ub4 uname_len,
                           const text* password, ub4 passwd_len, const text* dbname, ub4 dbname_len);
typedef sword (*TOCILogoff)(OCISvcCtx* svchp, OCIError* errhp);
typedef sword (*TOCIPasswordChange)(OCISvcCtx* svchp, OCIError* errhp, const text* user_name, ub4 usernm_len,
                                    const text* opasswd, ub4 opasswd_len, const text* npasswd, ub4 npasswd_len, ub4 mode);
typedef sword (*TOCIStmtPrepare)(OCIStmt* stmtp, OCIError* errhp, const text* stmt, ub4 stmt_len, ub4 language, ub4 mode);
typedef sword (*TOCIBindByPos)(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, dvoid* valuep, sb4 value_sz,
                               ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode);
typedef sword (*TOCIBindByName)(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const text* placeholder, sb4 placeh_len,
                                dvoid* valuep, sb4 value_sz, ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep,
                                ub4 maxarr_len, ub4* curelep, ub4 mode);
typedef sword (*TOCIBindObject)(OCIBind* bindp, OCIError* errhp, const OCIType* type, dvoid** pgvpp, ub4* pvszsp,
                                dvoid** indpp, ub4* indszp);
typedef sword (*TOCIBindDynamic)(OCIBind* bindp, OCIError* errhp, dvoid* ictxp, OCICallbackInBind icbfp, dvoid* octxp,
                                 OCICallbackOutBind ocbfp);
typedef sword (*TOCIBindArrayOfStruct)(OCIBind* bindp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip);
typedef sword (*TOCIStmtGetPieceInfo)(OCIStmt* stmtp, OCIError* errhp, dvoid** hndlpp, ub4* typep, ub1* in_outp,
                                      ub4* iterp, ub4* idxp, ub1* piecep);
typedef sword (*TOCIStmtSetPieceInfo)(dvoid* hndlp, ub4 type, OCIError* errhp, const dvoid* bufp, ub4* alenp, ub1 piece,
                                      const dvoid* indp, ub2* rcodep);
typedef sword (*TOCIStmtExecute)(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                                 const OCISnapshot* snap_in, OCISnapshot* snap_out, ub4 mode);
typedef sword (*TOCIDefineByPos)(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, dvoid* valuep,
                                 sb4 value_sz, ub2 dty, dvoid* indp, ub2* rlenp, ub2* rcodep, ub4 mode);
typedef sword (*TOCIDefineObject)(OCIDefine* defnp, OCIError* errhp, const OCIType* type, dvoid** pgvpp, ub4* pvszsp,
                                  dvoid** indpp, ub4* indszp);
typedef sword (*TOCIDefineDynamic)(OCIDefine* defnp, OCIError* errhp, dvoid* octxp, OCICallbackDefine ocbfp);
typedef sword (*TOCIDefineArrayOfStruct)(OCIDefine* defnp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 rlskip,
                                         ub4 rcskip);
typedef sword (*TOCIStmtFetch)(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode);
typedef sword (*TOCIStmtGetBindInfo)(OCIStmt* stmtp, OCIError* errhp, ub4 size, ub4 startloc, sb4* found, text* bvnp[],
                                     ub1 bvnl[], text* invp[], ub1 inpl[], ub1 dupl[], OCIBind* hndl[]);
typedef sword (*TOCIDescribeAny)(OCISvcCtx* svchp, OCIError* errhp, dvoid* objptr, ub4 objnm_len, ub1 objptr_typ,
                                 ub1 info_level, ub1 objtyp, OCIDescribe* dschp);
typedef sword (*TOCIParamGet)(const dvoid* hndlp, ub4 htype, OCIError* errhp, dvoid** parmdpp, ub4 pos);
typedef sword (*TOCIParamSet)(dvoid* hdlp, ub4 htyp, OCIError* errhp, const dvoid* dscp, ub4 dtyp, ub4 pos);
typedef sword (*TOCITransStart)(OCISvcCtx* svchp, OCIError* errhp, uword timeout, ub4 flags);
typedef sword (*TOCITransDetach)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
typedef sword (*TOCITransCommit)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
typedef sword (*TOCITransRollback)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
typedef sword (*TOCITransPrepare)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
typedef sword (*TOCITransForget)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
typedef sword (*TOCIErrorGet)(dvoid* hndlp, ub4 recordno, text* sqlstate, sb4* errcodep, text* bufp, ub4 bufsiz, ub4 type);
typedef sword (*TOCILobAppend)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_locp);
typedef sword (*TOCILobAssign)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* src_locp, OCILobLocator** dst_locpp);
typedef sword (*TOCILobCharSetForm)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm);
typedef sword (*TOCILobCharSetId)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub2* csid);
typedef sword (*TOCILobCopy)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_locp,
                             ub4 amount, ub4 dst_offset, ub4 src_offset);
typedef sword (*TOCILobDisableBuffering)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp);
typedef sword (*TOCILobEnableBuffering)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp);
typedef sword (*TOCILobErase)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amount, ub4 offset);
typedef sword (*TOCILobFileClose)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep);
typedef sword (*TOCILobFileCloseAll)(OCISvcCtx* svchp, OCIError* errhp);
typedef sword (*TOCILobFileExists)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag);
typedef sword (*TOCILobFileGetName)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* filep, text* dir_alias,
                                    ub2* d_length, text* filename, ub2* f_length);
typedef sword (*TOCILobFileIsOpen)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag);
typedef sword (*TOCILobFileOpen)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, ub1 mode);
typedef sword (*TOCILobFileSetName)(OCIEnv* envhp, OCIError* errhp, OCILobLocator** filepp, const text* dir_alias,
                                    ub2 d_length, const text* filename, ub2 f_length);
typedef sword (*TOCILobFlushBuffer)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 flag);
typedef sword (*TOCILobGetLength)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp);
typedef sword (*TOCILobIsEqual)(OCIEnv* envhp, const OCILobLocator* x, const OCILobLocator* y, boolean* is_equal);
typedef sword (*TOCILobLoadFromFile)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp,
                                     OCILobLocator* src_filep, ub4 amount, ub4 dst_offset, ub4 src_offset);
typedef sword (*TOCILobLocatorIsInit)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, boolean* is_initialized);
typedef sword (*TOCILobRead)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, dvoid* bufp,
                             ub4 bufl, dvoid* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm);
typedef sword (*TOCILobTrim)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen);
typedef sword (*TOCILobWrite)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, dvoid* bufp,
                              ub4 buflen, ub1 piece, dvoid* ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm);
typedef sword (*TOCIBreak)(dvoid* hndlp, OCIError* errhp);
typedef sword (*TOCIServerVersion)(dvoid* hndlp, OCIError* errhp, text* bufp, ub4 bufsz, ub1 hndltype);
typedef sword (*TOCIAttrGet)(const dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4* sizep, ub4 attrtype,
                             OCIError* errhp);
typedef sword (*TOCIAttrSet)(dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4 size, ub4 attrtype, OCIError* errhp);
typedef sword (*TOCISvcCtxToLda)(OCISvcCtx* svchp, OCIError* errhp, Lda_Def* ldap);
typedef sword (*TOCILdaToSvcCtx)(OCISvcCtx** svchpp, OCIError* errhp, Lda_Def* ldap);
typedef sword (*TOCIResultSetToStmt)(OCIResult* rsetdp, OCIError* errhp);
typedef sword (*TOCIObjectUnpin)(OCIEnv* env, OCIError* err, dvoid* object);
typedef sword (*TOCIObjectLock)(OCIEnv* env, OCIError* err, dvoid* object);
typedef sword (*TOCIObjectMarkUpdate)(OCIEnv* env, OCIError* err, dvoid* object);
typedef sword (*TOCIObjectUnmark)(OCIEnv* env, OCIError* err, dvoid* object);
typedef sword (*TOCIObjectMarkDelete)(OCIEnv* env, OCIError* err, dvoid* instance);
typedef sword (*TOCIObjectFlush)(OCIEnv* env, OCIError* err, dvoid* object);
typedef sword (*TOCIObjectCopy)(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, dvoid* source, dvoid* null_source,
                                dvoid* target, dvoid* null_target, OCIType* tdo, OCIDuration duration, ub1 option);
typedef sword (*TOCIObjectGetTypeRef)(OCIEnv* env, OCIError* err, dvoid* instance, OCIRef* type_ref);
typedef sword (*TOCIObjectGetObjectRef)(OCIEnv* env, OCIError* err, dvoid* object, OCIRef* object_ref);
typedef sword (*TOCIObjectGetInd)(OCIEnv* env, OCIError* err, dvoid* instance, dvoid** null_struct);
typedef sword (*TOCIObjectExists)(OCIEnv* env, OCIError* err, dvoid* ins, boolean* exist);
typedef sword (*TOCIObjectIsLocked)(OCIEnv* env, OCIError* err, dvoid* ins, boolean* lock);
typedef sword (*TOCIObjectIsDirty)(OCIEnv* env, OCIError* err, dvoid* ins, boolean* dirty);
typedef sword (*TOCIObjectRefresh)(OCIEnv* env, OCIError* err, dvoid* object);
typedef sword (*TOCIObjectPinTable)(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, const text* schema_name,
                                    ub4 s_n_length, const text* object_name, ub4 o_n_length, const OCIRef* scope_obj_ref,
                                    OCIDuration pin_duration, dvoid** object);
typedef sword (*TOCIObjectNew)(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, OCITypeCode typecode, OCIType* tdo,
                               dvoid* table, OCIDuration duration, boolean value, dvoid** instance);
typedef sword (*TOCIObjectPin)(OCIEnv* env, OCIError* err, OCIRef* object_ref, OCIComplexObject* corhdl,
                               OCIPinOpt pin_option, OCIDuration pin_duration, OCILockOpt lock_option, dvoid** object);
typedef sword (*TOCIObjectFree)(OCIEnv* env, OCIError* err, dvoid* instance, ub2 flags);
typedef sword (*TOCITypeByName)(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, const text* schema_name, ub4 s_length,
                                const text* type_name, ub4 t_length, const text* version_name, ub4 v_length,
                                OCIDuration pin_duration, OCITypeGetOpt get_option, OCIType** tdo);
typedef sword (*TOCIObjectGetAttr)(OCIEnv* env, OCIError* err, dvoid* instance, dvoid* null_struct, OCIType* tdo,
                                   const text** names, const ub4* lengths, ub4 name_count, const ub4* indexes,
                                   ub4 index_count, OCIInd* attr_null_status, dvoid** attr_null_struct,
                                   dvoid** attr_value, OCIType** attr_tdo);
typedef sword (*TOCIObjectSetAttr)(OCIEnv* env, OCIError* err, dvoid* instance, dvoid* null_struct, OCIType* tdo,
                                   const text** names, const ub4* lengths, ub4 name_count, const ub4* indexes,
                                   ub4 index_count, OCIInd null_status, const dvoid* attr_null_struct,
                                   const dvoid* attr_value);
typedef text* (*TOCIStringPtr)(OCIEnv* env, const OCIString* vs);
typedef ub4 (*TOCIStringSize)(OCIEnv* env, const OCIString* vs);
typedef sword (*TOCIStringAssignText)(OCIEnv* env, OCIError* err, const text* rhs, ub4 rhs_len, OCIString** lhs);
typedef sword (*TOCINumberFromInt)(OCIError* err, const dvoid* inum, uword inum_length, uword inum_s_flag,
                                   OCINumber* number);
typedef sword (*TOCINumberToInt)(OCIError* err, const OCINumber* number, uword rsl_length, uword rsl_flag, dvoid* rsl);
typedef sword (*TOCINumberFromReal)(OCIError* err, const dvoid* rnum, uword rnum_length, OCINumber* number);
typedef sword (*TOCINumberToReal)(OCIError* err, const OCINumber* number, uword rsl_length, dvoid* rsl);
typedef sword (*TOCINumberToText)(OCIError* err, const OCINumber* number, const text* fmt, ub4 fmt_length,
                                  const text* nls_params, ub4 nls_p_length, ub4* buf_size, text* buf);
typedef sword (*TOCINumberFromText)(OCIError* err, const text* str, ub4 str_length, const text* fmt, ub4 fmt_length,
                                    const text* nls_params, ub4 nls_p_length, OCINumber* number);
typedef ub1* (*TOCIRawPtr)(OCIEnv* env, const OCIRaw* raw);
typedef ub4 (*TOCIRawSize)(OCIEnv* env, const OCIRaw* raw);
typedef sword (*TOCIRawAssignBytes)(OCIEnv* env, OCIError* err, const ub1* rhs, ub4 rhs_len, OCIRaw** lhs);
typedef sword (*TOCIRefAssign)(OCIEnv* env, OCIError* err, const OCIRef* source, OCIRef** target);
typedef void (*TOCIRefClear)(OCIEnv* env, OCIRef* ref);
typedef boolean (*TOCIRefIsNull)(OCIEnv* env, const OCIRef* ref);
typedef sword (*TOCIRefFromHex)(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, const text* hex, ub4 length,
                                OCIRef** ref);
typedef ub4 (*TOCIRefHexSize)(OCIEnv* env, const OCIRef* ref);
typedef sword (*TOCIRefToHex)(OCIEnv* env, OCIError* err, const OCIRef* ref, text* hex, ub4* hex_length);
typedef sword (*TOCICollSize)(OCIEnv* env, OCIError* err, const OCIColl* coll, sb4* size);
typedef sword (*TOCICollTrim)(OCIEnv* env, OCIError* err, sb4 trim_num, OCIColl* coll);
typedef sb4 (*TOCICollMax)(OCIEnv* env, const OCIColl* coll);
typedef sword (*TOCICollGetElem)(OCIEnv* env, OCIError* err, const OCIColl* coll, sb4 index, boolean* exists,
                                 dvoid** elem, dvoid** elemind);
typedef sword (*TOCICollAssignElem)(OCIEnv* env, OCIError* err, sb4 index, const dvoid* elem, const dvoid* elemind,
                                    OCIColl* coll);
typedef sword (*TOCICollAppend)(OCIEnv* env, OCIError* err, const dvoid* elem, const dvoid* elemind, OCIColl* coll);
typedef sword (*TOCITableDelete)(OCIEnv* env, OCIError* err, sb4 index, OCITable* tbl);
typedef sword (*TOCICacheFlush)(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, dvoid* context,
                                OCIRef* (*get)(dvoid* context, ub1* last), OCIRef** ref);

// External procedures.
typedef sword (*Tociepgoe)(OCIExtProcContext* with_context, OCIEnv** envh, OCISvcCtx** svch, OCIError** errh);
typedef sword (*Tociepmsg)(OCIExtProcContext* with_context, int error_number, text* error_message, size_t len);

// OCI 8.1.
typedef sword (*TOCIEnvCreate)(OCIEnv** envp, ub4 mode, dvoid* ctxp, OCIMallocFunc malocfp, OCIReallocFunc ralocfp,
                               OCIFreeFunc mfreefp, size_t xtramem_sz, dvoid** usrmempp);
typedef sword (*TOCIDirPathAbort)(OCIDirPathCtx* dpctx, OCIError* errhp);
typedef sword (*TOCIDirPathFinish)(OCIDirPathCtx* dpctx, OCIError* errhp);
typedef sword (*TOCIDirPathPrepare)(OCIDirPathCtx* dpctx, OCISvcCtx* svchp, OCIError* errhp);
typedef sword (*TOCIDirPathColArrayEntrySet)(OCIDirPathColArray* dpca, OCIError* errhp, ub4 rownum, ub2 colIdx,
                                             ub1* cvalp, ub4 clen, ub1 cflg);
typedef sword (*TOCIDirPathColArrayToStream)(OCIDirPathColArray* dpca, const OCIDirPathCtx* dpctx,
                                             OCIDirPathStream* dpstr, OCIError* errhp, ub4 rowcnt, ub4 rowoff);
typedef sword (*TOCIDirPathLoadStream)(OCIDirPathCtx* dpctx, OCIDirPathStream* dpstr, OCIError* errhp);
typedef sword (*TOCIDirPathStreamReset)(OCIDirPathStream* dpstr, OCIError* errhp);
typedef sword (*TOCILobCreateTemporary)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub2 csid, ub1 csfrm,
                                        ub1 lobtype, boolean cache, OCIDuration duration);
typedef sword (*TOCILobFreeTemporary)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp);
typedef sword (*TOCILobIsTemporary)(OCIEnv* envp, OCIError* errhp, OCILobLocator* locp, boolean* is_temporary);
typedef sword (*TOCIDateTimeToText)(dvoid* hndl, OCIError* err, const OCIDateTime* date, const text* fmt, ub1 fmt_length,
                                    ub1 fsprec, const text* lang_name, size_t lang_length, ub4* buf_size, text* buf);
typedef sword (*TOCIDateTimeFromText)(dvoid* hndl, OCIError* err, const text* date_str, size_t dstr_length,
                                      const text* fmt, ub1 fmt_length, const text* lang_name, size_t lang_length,
                                      OCIDateTime* datetime);
typedef sword (*TOCIDateTimeGetDate)(dvoid* hndl, OCIError* err, const OCIDateTime* date, sb2* yr, ub1* mnth, ub1* dy);
typedef sword (*TOCIDateTimeGetTime)(dvoid* hndl, OCIError* err, OCIDateTime* datetime, ub1* hr, ub1* mm, ub1* ss,
                                     ub4* fsec);
typedef sword (*TOCIDateTimeConstruct)(dvoid* hndl, OCIError* err, OCIDateTime* datetime, sb2 yr, ub1 mnth, ub1 dy,
                                       ub1 hr, ub1 mm, ub1 ss, ub4 fsec, text* timezone, size_t timezone_length);
typedef sword (*TOCIDateTimeAssign)(dvoid* hndl, OCIError* err, const OCIDateTime* from, OCIDateTime* to);
typedef sword (*TOCIDateTimeGetTimeZoneOffset)(dvoid* hndl, OCIError* err, const OCIDateTime* datetime, sb1* hour,
                                               sb1* minute);

// Oracle Net 9.
typedef sword (*TOCIStmtFetch2)(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4 fetchOffset, ub4 mode);

// OCI 9.2.
typedef sword (*TOCISessionPoolCreate)(OCIEnv* envhp, OCIError* errhp, OCISPool* spoolhp, OraText** poolName,
                                       ub4* poolNameLen, const OraText* connStr, ub4 connStrLen, ub4 sessMin,
                                       ub4 sessMax, ub4 sessIncr, OraText* userid, ub4 useridLen, OraText* password,
                                       ub4 passwordLen, ub4 mode);
typedef sword (*TOCISessionPoolDestroy)(OCISPool* spoolhp, OCIError* errhp, ub4 mode);
typedef sword (*TOCISessionGet)(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, OCIAuthInfo* authhp,
                                OraText* poolName, ub4 poolName_len, const OraText* tagInfo, ub4 tagInfo_len,
                                OraText** retTagInfo, ub4* retTagInfo_len, boolean* found, ub4 mode);
typedef sword (*TOCISessionRelease)(OCISvcCtx* svchp, OCIError* errhp, OraText* tag, ub4 tag_len, ub4 mode);
typedef sword (*TOCIStmtPrepare2)(OCISvcCtx* svchp, OCIStmt** stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                                  const OraText* key, ub4 key_len, ub4 language, ub4 mode);
typedef sword (*TOCIStmtRelease)(OCIStmt* stmtp, OCIError* errhp, const OraText* key, ub4 key_len, ub4 mode);

// The transaction-server support library.
typedef ub4 (*TOraMTSSvcGet)(text* lpUname, text* lpPsswd, text* lpDbnam, OCISvcCtx** pOCISvc, OCIEnv** pOCIEnv,
                             ub4 ConFlg);
typedef ub4 (*TOraMTSSvcRel)(OCISvcCtx* OCISvc);
typedef ub4 (*TOraMTSSvcEnlist)(OCISvcCtx* OCISvc, OCIError* OCIErr, void* lpTrans, unsigned dwFlags);
typedef ub4 (*TOraMTSSvcEnlistEx)(OCISvcCtx* OCISvc, OCIError* OCIErr, void* lpTrans, unsigned dwFlags,
                                  text* lpDBName);
typedef int (*TOraMTSTransTest)(void);

} // extern "C"
