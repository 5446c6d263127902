// The PL/SQL interpreter of the stand-in server, in one run on one machine:
//  - 10,000 single-row inserts from a PL/SQL loop, versus the same rows inserted by one
//    array-bound OCIStmtExecute (the target: at most 3 times as long);
//  - the interpreter's loop iterations per second on a loop of assignments and arithmetic.
// Usage: bench_plsql [rows] [iterations]   (defaults 10000 and 1000000)
#include "bench/BenchSupport.h"
#include "ocisim/client/include/oci.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {


OCIEnv* env;
OCIError* err;
OCISvcCtx* svc;

void Check(sword r, const char* what) {
    if (r == OCI_SUCCESS || r == OCI_SUCCESS_WITH_INFO) return;
    text buf[1024] = {0};
    sb4 code = 0;
    OCIErrorGet(err, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR);
    std::fprintf(stderr, "%s failed: %s\n", what, (char*)buf);
    std::exit(1);
}

void Exec(const std::string& sql, ub4 mode = OCI_COMMIT_ON_SUCCESS) {
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
    Check(OCIStmtPrepare(st, err, (const OraText*)sql.data(), (ub4)sql.size(), OCI_NTV_SYNTAX, 0), sql.c_str());
    Check(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, mode), sql.c_str());
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

double ArrayInsert(ub4 rows) {
    std::vector<sb4> n(rows);
    std::vector<char> s(size_t(rows) * 30);
    std::vector<ub2> len(rows);
    for (ub4 k = 0; k < rows; ++k) {
        n[k] = sb4(k + 1);
        int l = std::snprintf(&s[size_t(k) * 30], 30, "row %u", k + 1);
        len[k] = ub2(l);
    }
    const char* sql = "insert into bench_arr (n, s) values (:1, :2)";
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
    Check(OCIStmtPrepare(st, err, (const OraText*)sql, (ub4)std::strlen(sql), OCI_NTV_SYNTAX, 0), sql);
    OCIBind* b = nullptr;
    Check(OCIBindByPos(st, &b, err, 1, n.data(), 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), "bind 1");
    Check(OCIBindByPos(st, &b, err, 2, s.data(), 30, SQLT_CHR, nullptr, len.data(), nullptr, 0, nullptr, 0), "bind 2");
    auto t0 = Clock::now();
    Check(OCIStmtExecute(svc, st, err, rows, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS), "array insert");
    double t = Seconds(t0);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    return t;
}

} // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 10000;
    const long iterations = argc > 2 ? std::atol(argv[2]) : 1000000;
    char tmpl[] = "/tmp/bench-plsql-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    OCIEnvCreate(&env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr);
    Check(OCILogon(env, err, &svc, (const OraText*)"scott", 5, (const OraText*)"tiger", 5, (const OraText*)dir.c_str(), (ub4)dir.size()), "logon");
    Exec("create table bench_arr (n number(9), s varchar2(30))");
    Exec("create table bench_pl (n number(9), s varchar2(30))");

    // warm both paths once on a few rows, then measure
    ArrayInsert(10);
    Exec("begin for i in 1 .. 10 loop insert into bench_pl (n, s) values (i, 'row ' || i); end loop; commit; end;");
    Exec("truncate table bench_arr");
    Exec("truncate table bench_pl");

    double array = ArrayInsert(ub4(rows));
    std::string block = "begin for i in 1 .. " + std::to_string(rows) +
                        " loop insert into bench_pl (n, s) values (i, 'row ' || i); end loop; commit; end;";
    auto t0 = Clock::now();
    Exec(block);
    double loop = Seconds(t0);

    // both tables must hold every row, or the comparison means nothing
    for (const char* table : {"bench_arr", "bench_pl"}) {
        std::string check = std::string("declare n number; begin select count(*) into n from ") + table +
                            "; if n <> " + std::to_string(rows) + " then raise_application_error(-20000, 'rows missing'); end if; end;";
        Exec(check, OCI_DEFAULT);
    }

    std::string counting = "declare n number := 0; s varchar2(20); begin for i in 1 .. " + std::to_string(iterations) +
                           " loop n := n + i * 2; if mod(i, 3) = 0 then s := 'x'; end if; end loop; end;";
    t0 = Clock::now();
    Exec(counting, OCI_DEFAULT);
    double interp = Seconds(t0);

    std::printf("PL/SQL loop of %ld single-row inserts: %.3f s; one array-bound execute of the same rows: %.3f s; ratio %.2f (target <= 3)\n",
                rows, loop, array, loop / array);
    std::printf("interpreter: %ld loop iterations in %.3f s = %.0f iterations per second\n", iterations, interp, double(iterations) / interp);
    OCILogoff(svc, err);
    OCIHandleFree(env, OCI_HTYPE_ENV);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
