// The stand-in client against plain SQLite, in one run on one machine:
//  - fetching 1,000,000 rows of NUMBER(9), VARCHAR2(30), DATE, NUMBER(12,2) with OCI array
//    fetches of 100 rows, versus sqlite3_step over the same rows in the engine's own file;
//  - inserting 100,000 rows with one array-bound OCIStmtExecute, versus a prepared SQLite
//    insert loop in one transaction;
//  - peak resident memory before and after the fetch (it must stay flat).
// Usage: bench_ocisim [rows]   (default 1000000)
#include "bench/BenchSupport.h"
#include "ocisim/client/include/oci.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {



long StatusKb(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

OCIEnv* env;
OCIError* err;
OCISvcCtx* svc;

void Check(sword r, const char* what) {
    if (r == OCI_SUCCESS || r == OCI_SUCCESS_WITH_INFO || r == OCI_NO_DATA) return;
    text buf[1024] = {0};
    sb4 code = 0;
    OCIErrorGet(err, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR);
    std::fprintf(stderr, "%s failed: %s\n", what, (char*)buf);
    std::exit(1);
}

void Exec(const char* sql) {
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
    Check(OCIStmtPrepare(st, err, (const OraText*)sql, (ub4)std::strlen(sql), OCI_NTV_SYNTAX, 0), sql);
    Check(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS), sql);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

struct Batch {
    std::vector<sb4> n;
    std::vector<char> s;
    std::vector<ub2> sLen;
    std::vector<ub1> d;
    std::vector<double> a;
    explicit Batch(ub4 rows) : n(rows), s(rows * 30), sLen(rows), d(rows * 7), a(rows) {}
    void Fill(ub4 base) {
        for (ub4 i = 0; i < n.size(); ++i) {
            ub4 k = base + i;
            n[i] = sb4(k);
            sLen[i] = ub2(std::snprintf(&s[i * 30], 30, "row number %u", k));
            ub1 date[7] = {120, ub1(100 + 20 + k % 7), ub1(k % 12 + 1), ub1(k % 28 + 1), ub1(k % 24 + 1), 1, 1};
            std::memcpy(&d[i * 7], date, 7);
            a[i] = double(k % 100000) + 0.25;
        }
    }
};

// One array-bound execution of `rows` rows into `table`.
void ArrayInsert(const std::string& table, Batch& b) {
    std::string sql = "insert into " + table + " values (:n, :s, :d, :a)";
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
    Check(OCIStmtPrepare(st, err, (const OraText*)sql.c_str(), (ub4)sql.size(), OCI_NTV_SYNTAX, 0), "prepare insert");
    OCIBind* bind = nullptr;
    Check(OCIBindByPos(st, &bind, err, 1, b.n.data(), 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), "bind");
    Check(OCIBindByPos(st, &bind, err, 2, b.s.data(), 30, SQLT_CHR, nullptr, b.sLen.data(), nullptr, 0, nullptr, 0), "bind");
    Check(OCIBindByPos(st, &bind, err, 3, b.d.data(), 7, SQLT_DAT, nullptr, nullptr, nullptr, 0, nullptr, 0), "bind");
    Check(OCIBindByPos(st, &bind, err, 4, b.a.data(), 8, SQLT_FLT, nullptr, nullptr, nullptr, 0, nullptr, 0), "bind");
    Check(OCIStmtExecute(svc, st, err, (ub4)b.n.size(), 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS), "array insert");
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

} // namespace

int main(int argc, char** argv) {
    const ub4 rows = argc > 1 ? ub4(std::atol(argv[1])) : 1000000u;
    const ub4 insertRows = 100000;
    char tmpl[] = "/tmp/bench-ocisim-XXXXXX";
    std::string dir = mkdtemp(tmpl);

    OCIEnvCreate(&env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr);
    Check(OCILogon(env, err, &svc, (const OraText*)"scott", 5, (const OraText*)"tiger", 5, (const OraText*)dir.c_str(), (ub4)dir.size()), "logon");
    Exec("create table bench (n number(9), s varchar2(30), d date, a number(12,2))");
    Exec("create table bench_ins (n number(9), s varchar2(30), d date, a number(12,2))");

    // the fetch table, filled in array batches
    Batch batch(insertRows);
    for (ub4 done = 0; done < rows; done += insertRows) {
        batch.Fill(done);
        if (rows - done < insertRows) {
            Batch last(rows - done);
            last.Fill(done);
            ArrayInsert("bench", last);
        } else {
            ArrayInsert("bench", batch);
        }
    }

    // --- insert: one array-bound execution versus a prepared SQLite loop in one transaction
    batch.Fill(0);
    auto t0 = Clock::now();
    ArrayInsert("bench_ins", batch);
    double ociInsert = Seconds(t0);

    std::string plain = dir + "/plain.db";
    sqlite3* raw = nullptr;
    sqlite3_open(plain.c_str(), &raw);
    sqlite3_exec(raw, "create table bench_ins (n integer, s text, d text, a real)", nullptr, nullptr, nullptr);
    t0 = Clock::now();
    sqlite3_exec(raw, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(raw, "insert into bench_ins values (?, ?, ?, ?)", -1, &ins, nullptr);
    for (ub4 i = 0; i < insertRows; ++i) {
        char date[20];
        const ub1* d = &batch.d[i * 7];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:%02d", (d[0] - 100) * 100 + d[1] - 100, d[2], d[3], d[4] - 1,
                      d[5] - 1, d[6] - 1);
        sqlite3_bind_int(ins, 1, batch.n[i]);
        sqlite3_bind_text(ins, 2, &batch.s[i * 30], batch.sLen[i], SQLITE_STATIC);
        sqlite3_bind_text(ins, 3, date, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(ins, 4, batch.a[i]);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(raw, "commit", nullptr, nullptr, nullptr);
    double sqliteInsert = Seconds(t0);
    sqlite3_close(raw);

    // --- fetch: OCI array fetches of 100 rows versus sqlite3_step on the engine's own file
    long hwmBefore = StatusKb("VmHWM:");
    long rssBefore = StatusKb("VmRSS:"), rssMax = rssBefore;
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "select n, s, d, a from bench";
    Check(OCIStmtPrepare(st, err, (const OraText*)sql, (ub4)std::strlen(sql), OCI_NTV_SYNTAX, 0), "prepare select");
    t0 = Clock::now();
    Check(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), "select");
    constexpr ub4 kArray = 100;
    sb4 n[kArray];
    char s[kArray][31];
    ub2 sLen[kArray];
    sb2 sInd[kArray];
    ub1 d[kArray][7];
    OCINumber a[kArray];
    sb2 aInd[kArray];
    OCIDefine* def = nullptr;
    Check(OCIDefineByPos(st, &def, err, 1, n, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), "define");
    Check(OCIDefineByPos(st, &def, err, 2, s, 31, SQLT_CHR, sInd, sLen, nullptr, 0), "define");
    Check(OCIDefineByPos(st, &def, err, 3, d, 7, SQLT_DAT, nullptr, nullptr, nullptr, 0), "define");
    Check(OCIDefineByPos(st, &def, err, 4, a, sizeof(OCINumber), SQLT_VNU, aInd, nullptr, nullptr, 0), "define");
    uint64_t fetched = 0, checksum = 0;
    sword r;
    do {
        r = OCIStmtFetch(st, err, kArray, OCI_FETCH_NEXT, 0);
        Check(r, "fetch");
        ub4 got = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &got, nullptr, OCI_ATTR_ROWS_FETCHED, err);
        for (ub4 i = 0; i < got; ++i) checksum += ub4(n[i]) + sLen[i] + d[i][3] + a[i].OCINumberPart[0];
        fetched += got;
        if (fetched % 50000 == 0) rssMax = std::max(rssMax, StatusKb("VmRSS:"));   // resident size while fetching
    } while (r == OCI_SUCCESS);
    double ociFetch = Seconds(t0);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    long hwmAfter = StatusKb("VmHWM:");

    sqlite3* eng = nullptr;
    sqlite3_open_v2((dir + "/database.db").c_str(), &eng, SQLITE_OPEN_READONLY, nullptr);
    std::string table;
    {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(eng, "select sql_name from ocs_objects where owner = 'SCOTT' and object_name = 'BENCH'", -1, &q, nullptr);
        if (q && sqlite3_step(q) == SQLITE_ROW) table = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
        sqlite3_finalize(q);
    }
    if (table.empty()) table = "SCOTT.BENCH";
    std::string raws = "select * from \"" + table + "\"";
    t0 = Clock::now();
    sqlite3_stmt* q = nullptr;
    if (sqlite3_prepare_v2(eng, raws.c_str(), -1, &q, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot read the engine's table %s: %s\n", table.c_str(), sqlite3_errmsg(eng));
        return 1;
    }
    uint64_t rawRows = 0, rawSum = 0;
    int cols = sqlite3_column_count(q);
    while (sqlite3_step(q) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(q, c)) {
            case SQLITE_INTEGER: rawSum += uint64_t(sqlite3_column_int64(q, c)); break;
            case SQLITE_FLOAT: rawSum += uint64_t(sqlite3_column_double(q, c)); break;
            case SQLITE_TEXT: rawSum += uint64_t(sqlite3_column_bytes(q, c)) + (sqlite3_column_text(q, c)[0] & 1); break;
            case SQLITE_BLOB: rawSum += uint64_t(sqlite3_column_bytes(q, c)); break;
            default: break;
            }
        }
        ++rawRows;
    }
    sqlite3_finalize(q);
    double sqliteFetch = Seconds(t0);
    sqlite3_close(eng);

    std::printf("rows fetched: %llu (sqlite: %llu), checksums %llu / %llu\n", (unsigned long long)fetched,
                (unsigned long long)rawRows, (unsigned long long)checksum, (unsigned long long)rawSum);
    std::printf("fetch  %u rows, arrays of 100: ocisim %.3f s, sqlite3_step %.3f s, ratio %.2f (target <= 3)\n", rows, ociFetch,
                sqliteFetch, ociFetch / sqliteFetch);
    std::printf("insert %u rows, one array execute: ocisim %.3f s, sqlite loop %.3f s, ratio %.2f (target <= 3)\n", insertRows,
                ociInsert, sqliteInsert, ociInsert / sqliteInsert);
    std::printf("peak RSS before fetch %ld kB, after fetch %ld kB (growth %ld kB); resident %ld kB before, at most %ld kB while fetching\n",
                hwmBefore, hwmAfter, hwmAfter - hwmBefore, rssBefore, rssMax);
    OCILogoff(svc, err);
    OCIHandleFree(env, OCI_HTYPE_ENV);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
