#pragma once
// Helpers shared by the OCI8, OCI7 and transaction-server entry points.
#include "ocisim/client/internal/Handles.h"

namespace ocisim::client {

inline ub4& ProcessMode() { static ub4 mode = 0; return mode; }
inline void* ExtraMemory(Object* o, size_t n) { o->extra.assign(n, 0); return o->extra.data(); }

void UnregisterPool(Pool* p);
std::shared_ptr<Database> OpenDatabase(const std::string& connect, std::string& dir);
SvcCtx* WrapSession(Env* env, std::shared_ptr<Database> db, std::unique_ptr<Session> session, const std::string& dir);
void FreeWrapped(SvcCtx* svc);
sword DoExecute(SvcCtx* svc, Stmt* s, Error* err, ub4 iters, ub4 rowoff, ub4 mode);
sword DoFetch(Stmt* s, Error* err, ub4 nrows, ub2 orientation, sb4 offset);

} // namespace ocisim::client

namespace ocisim::client {
// Parses the statement on the session of svc now (the OCI7 parse is not deferred to execution).
sword ParseNow(Stmt* s, SvcCtx* svc, Error* err);
Session* SessionOf(SvcCtx* svc);
}
