// The session's transactions: savepoints, transaction modes, the cached answer to "is a
// transaction open", cached updates of several data sets applied as one unit of work, and
// distributed transactions of the transaction server through the client's support library.
#include <algorithm>

#include "base/Exception.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"
#include "platform/UIServices.h"

namespace quorvel {

namespace {

const char* const kApplyPoint = "QUORVEL_APPLYPOINT";

const char* TransactionModeText(TTransactionMode mode) {
    switch (mode) {
    case tmReadOnly: return "read only";
    case tmReadWrite: return "read write";
    case tmReadCommitted: return "isolation level read committed";
    case tmSerializable: return "isolation level serializable";
    }
    return "";
}

// Appends ds after the data sets already collected, then moves its details (and theirs) to the
// end, so every detail follows its master.
void AppendDetails(std::vector<TSessionDataSet*>& list, TSessionDataSet* master, int depth) {
    // A detail chain that loops back on itself would never end.
    if (depth > 64) throw Exception("ApplyUpdates: master/detail data sets form a cycle");
    for (TSessionDataSet* detail : master->DetailDataSets()) {
        if (!detail) continue;
        list.erase(std::remove(list.begin(), list.end(), detail), list.end());
        list.push_back(detail);
        AppendDetails(list, detail, depth + 1);
    }
}

// The transaction-server support library, loaded on first use; a load failure becomes an
// EOracleMTSError with number 0 and the loader's message.
void LoadMTS() {
    try {
        EnsureMTSLoaded();
    } catch (const Exception& e) {
        throw EOracleMTSError(e.Message(), 0);
    }
}

void CheckMTS(ub4 result, const char* function) {
    if (result != 0) throw EOracleMTSError(function, int32_t(result));
}

} // namespace

void TOracleSession::Savepoint(const std::string& savepoint) { RunPrivateSQL("savepoint " + savepoint); }

void TOracleSession::RollbackToSavepoint(const std::string& savepoint) {
    RunPrivateSQL("rollback to savepoint " + savepoint);
}

void TOracleSession::SetTransaction(TTransactionMode mode) {
    platform::ScopedCursor cursor(Cursor);
    RunPrivateSQL(std::string("set transaction ") + TransactionModeText(mode));
}

bool TOracleSession::InTransaction() {
    if (!FConnected) return false;
    if (CacheInTransaction && FInTransaction != itUnknown) return FInTransaction == itTrue;
    TOracleQuery& query = Query();
    query.Clear();
    query.DeclareVariable("id", otString);
    query.SQL().Add("begin :id := sys.dbms_transaction.local_transaction_id; end;");
    query.Execute();
    const Variant id = query.GetVariable("id");
    const bool open = !id.IsNullOrUnassigned() && !VarToStr(id).empty();
    FInTransaction = open ? itTrue : itFalse;
    return open;
}

// ---- cached updates ----

std::vector<TSessionDataSet*> TOracleSession::CollectDataSets(const std::vector<TSessionDataSet*>& dataSets) {
    std::vector<TSessionDataSet*> list;
    for (TSessionDataSet* ds : dataSets) {
        if (!ds || ds->DataSetSession() != this)
            throw Exception(Name() + ".ApplyUpdates: DataSets must belong to this Session");
        if (std::find(list.begin(), list.end(), ds) == list.end()) list.push_back(ds);
        AppendDetails(list, ds, 0);
    }
    return list;
}

void TOracleSession::ApplyUpdates(const std::vector<TSessionDataSet*>& dataSets, bool commit) {
    if (FAutoCommit) throw Exception("ApplyUpdates not possible when AutoCommit = True");
    if (!FPOLite) Savepoint(kApplyPoint);
    try {
        const std::vector<TSessionDataSet*> list = CollectDataSets(dataSets);
        for (auto it = list.rbegin(); it != list.rend(); ++it) (*it)->ApplyUpdates({aaDelete});
        for (TSessionDataSet* ds : list) ds->ApplyUpdates({aaUpdate});
        for (TSessionDataSet* ds : list) ds->ApplyUpdates({aaInsert});
        if (commit) CommitUpdates(dataSets);
    } catch (...) {
        // The failure that ended the work is what reaches the caller; a rollback that fails
        // as well (the server may have ended the transaction already) must not replace it.
        try {
            if (FPOLite)
                Rollback();
            else
                RollbackToSavepoint(kApplyPoint);
        } catch (...) {
        }
        throw;
    }
}

void TOracleSession::CommitUpdates(const std::vector<TSessionDataSet*>& dataSets) {
    const std::vector<TSessionDataSet*> list = CollectDataSets(dataSets);
    for (auto it = list.rbegin(); it != list.rend(); ++it) (*it)->CommitUpdates();
    if (!FMTSEnlisted) Commit();
}

void TOracleSession::CancelUpdates(const std::vector<TSessionDataSet*>& dataSets) {
    const std::vector<TSessionDataSet*> list = CollectDataSets(dataSets);
    for (auto it = list.rbegin(); it != list.rend(); ++it) (*it)->CancelUpdates();
    if (!FMTSEnlisted) Rollback();
}

// ---- transaction server ----

void TOracleSession::MTSGet() {
    LoadMTS();
    std::string user = FLogonUsername, password = FLogonPassword, database = FLogonDatabase;
    ub4 flags = 0;
    if (!(FMTSOptions & (1u << moImplicit))) flags |= 1;
    if (FMTSOptions & (1u << moUniqueServer)) flags |= 2;
    OCISvcCtx* svc = nullptr;
    OCIEnv* env = nullptr;
    CheckMTS(OCI.OraMTSSvcGet(reinterpret_cast<text*>(user.data()), reinterpret_cast<text*>(password.data()),
                              reinterpret_cast<text*>(database.data()), &svc, &env, flags),
             "OraMTSSvcGet");
    if (!svc) throw EOracleMTSError("OraMTSSvcGet", 1004);
    FMTSEnlisted = (FMTSOptions & (1u << moImplicit)) != 0;
    FMTSTransaction = nullptr;
    FMTSService = svc;
    try {
        SetExternalSVC(svc);
    } catch (...) {
        // The logon on it failed: the connection goes back to the transaction server.
        if (!FConnected && FMTSService) {
            try {
                MTSRelease();
            } catch (...) {
            }
        }
        throw;
    }
}

void TOracleSession::MTSRelease() {
    void* svc = FMTSService;
    FMTSEnlisted = false;
    FMTSTransaction = nullptr;
    FMTSService = nullptr;
    LoadMTS();
    CheckMTS(OCI.OraMTSSvcRel(static_cast<OCISvcCtx*>(svc)), "OraMTSSvcRel");
}

void TOracleSession::MTSEnlistCall(void* transaction, unsigned flags) {
    LoadMTS();
    std::string database = FLogonDatabase;
    CheckMTS(OCI.OraMTSSvcEnlistEx(static_cast<OCISvcCtx*>(svchp), static_cast<OCIError*>(errhp), transaction, flags,
                                   reinterpret_cast<text*>(database.data())),
             "OraMTSSvcEnlistEx");
}

void TOracleSession::MTSEnlist(void* transaction) {
    MTSEnlistCall(transaction, 0);
    FMTSEnlisted = true;
    FMTSTransaction = transaction;
}

void TOracleSession::MTSDetach(void* transaction) {
    MTSEnlistCall(transaction, 2);
    FMTSEnlisted = false;
}

void TOracleSession::MTSResume(void* transaction) {
    MTSEnlistCall(transaction, 1);
    FMTSEnlisted = true;
    FMTSTransaction = transaction;
}

void TOracleSession::MTSDeEnlist() {
    MTSEnlistCall(nullptr, 0);
    FMTSEnlisted = false;
    FMTSTransaction = nullptr;
}

} // namespace quorvel
