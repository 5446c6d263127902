#pragma once
// Helpers of the PL/SQL tests: a fresh database and session (OciFixture.h), statements with
// integer and text binds, and the error text of the last failure.
#include "ocisim/tests/OciFixture.h"

#include <string>
#include <vector>

namespace ocitest {

class Pl : public Db {
protected:
    // Executes `sql` with no binds; the status is returned, the error text kept in `lastError`.
    sword Run(const std::string& sql) {
        sword r = Exec(sql);
        lastError = r == OCI_SUCCESS ? std::string() : ErrText(err);
        lastCode = r == OCI_SUCCESS ? 0 : ErrCode(err);
        return r;
    }
    // Runs `sql`, expecting success.
    void Ok(const std::string& sql) {
        sword r = Run(sql);
        ASSERT_EQ(r, OCI_SUCCESS) << sql << "\n" << lastError;
    }
    // Runs a block with one text out bind :r (4000 bytes) and returns its value ("<null>" when null).
    std::string Out(const std::string& block) {
        OCIStmt* st = Prepare(block);
        char buf[4000] = {0};
        sb2 ind = 0;
        ub2 len = 0;
        OCIBind* b = nullptr;
        OCIBindByName(st, &b, err, (const OraText*)":r", -1, buf, sizeof buf, SQLT_CHR, &ind, &len, nullptr, 0, nullptr, OCI_DEFAULT);
        sword r = OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        std::string out;
        if (r != OCI_SUCCESS) out = "<error " + ErrText(err) + ">";
        else out = ind == -1 ? "<null>" : std::string(buf, len);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return out;
    }
    std::string lastError;
    sb4 lastCode = 0;
};

} // namespace ocitest
