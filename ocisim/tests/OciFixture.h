#pragma once
// A throw-away database and an OCI8 session on it, driven as a C client drives the client.
#include "ocisim/client/include/oci.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ocitest {

inline std::string TempDir(const char* tag) {
    std::string tmpl = (std::filesystem::temp_directory_path() / (std::string("ocisim-") + tag + "-XXXXXX")).string();
    char* d = mkdtemp(tmpl.data());
    return d ? std::string(d) : std::string();
}

// Code and text of the first error record ("" when none).
inline sb4 ErrCode(OCIError* err) {
    sb4 code = 0;
    if (OCIErrorGet(err, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR) != OCI_SUCCESS) return 0;
    return code;
}
inline std::string ErrText(OCIError* err) {
    text buf[1024] = {0};
    sb4 code = 0;
    if (OCIErrorGet(err, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR) != OCI_SUCCESS) return {};
    std::string s(reinterpret_cast<char*>(buf));
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

class Db : public ::testing::Test {
protected:
    std::string dir;
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISvcCtx* svc = nullptr;
    OCISession* ses = nullptr;

    // Attaches to a fresh database; skips the test in a build without the engine.
    void SetUp() override {
        dir = TempDir("db");
        ASSERT_EQ(OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
        OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr);
        OCIHandleAlloc(env, (void**)&srv, OCI_HTYPE_SERVER, 0, nullptr);
        OCIHandleAlloc(env, (void**)&svc, OCI_HTYPE_SVCCTX, 0, nullptr);
        OCIHandleAlloc(env, (void**)&ses, OCI_HTYPE_SESSION, 0, nullptr);
        sword r = OCIServerAttach(srv, err, (const OraText*)dir.c_str(), (sb4)dir.size(), OCI_DEFAULT);
        if (r != OCI_SUCCESS && ErrCode(err) == 12541) GTEST_SKIP() << "no database engine in this build";
        ASSERT_EQ(r, OCI_SUCCESS) << ErrText(err);
        OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
        OCIAttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err);
        ASSERT_EQ(Begin("SCOTT", "TIGER"), OCI_SUCCESS) << ErrText(err);
    }

    sword Begin(const char* user, const char* pw, ub4 mode = OCI_DEFAULT) {
        OCIAttrSet(ses, OCI_HTYPE_SESSION, (void*)user, (ub4)strlen(user), OCI_ATTR_USERNAME, err);
        OCIAttrSet(ses, OCI_HTYPE_SESSION, (void*)pw, (ub4)strlen(pw), OCI_ATTR_PASSWORD, err);
        return OCISessionBegin(svc, err, ses, OCI_CRED_RDBMS, mode);
    }

    void TearDown() override {
        if (env) OCIHandleFree(env, OCI_HTYPE_ENV);
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }

    OCIStmt* Prepare(const std::string& sql) {
        OCIStmt* st = nullptr;
        OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
        EXPECT_EQ(OCIStmtPrepare(st, err, (const OraText*)sql.data(), (ub4)sql.size(), OCI_NTV_SYNTAX, OCI_DEFAULT), OCI_SUCCESS);
        return st;
    }

    // Executes a statement without binds; returns the status.
    sword Exec(const std::string& sql, ub4 mode = OCI_DEFAULT) {
        OCIStmt* st = Prepare(sql);
        ub2 type = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
        sword r = OCIStmtExecute(svc, st, err, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, mode);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }

    // The first column of the first row as text, "<null>" for NULL, "<error ...>" on failure.
    std::string Scalar(const std::string& sql, OCISvcCtx* on = nullptr) {
        OCIStmt* st = Prepare(sql);
        char buf[4000] = {0};
        sb2 ind = 0;
        ub2 len = 0;
        OCIDefine* def = nullptr;
        std::string out;
        sword r = OCIStmtExecute(on ? on : svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIDefineByPos(st, &def, err, 1, buf, sizeof buf, SQLT_CHR, &ind, &len, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        if (r == OCI_SUCCESS) out = ind == -1 ? "<null>" : std::string(buf, len);
        else out = "<error " + ErrText(err) + ">";
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return out;
    }
};

} // namespace ocitest
