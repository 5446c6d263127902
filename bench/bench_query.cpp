// TOracleQuery against bare OCI calls of the same work on the same stand-in database, in one
// run on one machine, through the real client loader:
//  - fetching `rows` rows of NUMBER(9), VARCHAR2(30), DATE, NUMBER(12,2) with ReadBuffer 100,
//    reading every field with FieldAsString / FieldAsFloat, versus an OCI fetch loop of 100-row
//    arrays defined with the same buffers that reads the same values;
//  - ExecuteArray of 100,000 rows versus one OCIStmtExecute of the same array binds;
//  - heap allocations per fetched row while walking the result.
// The sides take turns going first (five insert rounds, three fetch rounds); the best run of
// each side is compared.
// Usage: bench_query [rows]   (default 1000000)
#include "bench/LibraryBenchSupport.h"
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"
#include "oracle/session/OracleTimestamp.h"

namespace {
std::atomic<long long> GAllocations{0};
}

void* operator new(std::size_t n) {
    ++GAllocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    ++GAllocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using namespace quorvel;

namespace {


constexpr int kInsertRows = 100000;
constexpr int kStringSize = 4001;   // the element size of a string array variable

void Check(TOracleSession& s, sword status, const char* what) {
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO || status == OCI_NO_DATA) return;
    text buf[1024] = {0};
    sb4 code = 0;
    OCI.OCIErrorGet(s.ErrorHandle(), 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR);
    std::fprintf(stderr, "%s failed: %s\n", what, reinterpret_cast<char*>(buf));
    std::exit(1);
}

void Run(TOracleSession& s, const std::string& sql) {
    TOracleQuery q;
    q.SetSession(&s);
    q.SQL().SetText(sql);
    q.Execute();
}

// The values of rows base .. base + count - 1.
struct Rows {
    std::vector<int32_t> n;
    std::vector<char> s;
    std::vector<uint8_t> d;
    std::vector<double> a;
    VariantArray vn, vs, vd, va;
    void Fill(int base, int count) {
        n.assign(size_t(count), 0);
        s.assign(size_t(count) * kStringSize, 0);
        d.assign(size_t(count) * 7, 0);
        a.assign(size_t(count), 0);
        vn.clear(), vs.clear(), vd.clear(), va.clear();
        for (int i = 0; i < count; ++i) {
            const int k = base + i;
            n[size_t(i)] = k;
            char text[32];
            std::snprintf(text, sizeof text, "row %d", k);
            std::memcpy(&s[size_t(i) * kStringSize], text, std::strlen(text));
            const TDateTime when = ComposeDateTime(EncodeDate(2020 + k % 7, k % 12 + 1, k % 28 + 1), EncodeTime(k % 24, 0, 0, 0));
            DateTimeToOracleDate(when, &d[size_t(i) * 7]);
            a[size_t(i)] = double(k % 100000) + 0.25;
            vn.push_back(Variant(int32_t(k)));
            vs.push_back(Variant(std::string(text)));
            vd.push_back(Variant(when));
            va.push_back(Variant(a[size_t(i)]));
        }
    }
};

void DeclareArrays(TOracleQuery& q, const Rows& r) {
    q.DeclareVariable("n", otInteger);
    q.DeclareVariable("s", otString);
    q.DeclareVariable("d", otDate);
    q.DeclareVariable("a", otFloat);
    q.SetVariable("n", Variant::Array(r.vn));
    q.SetVariable("s", Variant::Array(r.vs));
    q.SetVariable("d", Variant::Array(r.vd));
    q.SetVariable("a", Variant::Array(r.va));
}

double LibraryInsert(TOracleSession& s, const Rows& r) {
    TOracleQuery q;
    q.SetSession(&s);
    q.SQL().SetText("insert into bench_ins values (:n, :s, :d, :a)");
    DeclareArrays(q, r);
    const auto t0 = Clock::now();
    const int done = q.ExecuteArray(0, kInsertRows);
    const double t = Seconds(t0);
    if (done != kInsertRows) std::fprintf(stderr, "ExecuteArray processed %d rows\n", done), std::exit(1);
    s.Rollback();
    return t;
}

double BareInsert(TOracleSession& s, Rows& r) {
    auto* err = static_cast<OCIError*>(s.ErrorHandle());
    void* st = nullptr;
    OCI.OCIHandleAlloc(s.EnvHandle(), &st, OCI_HTYPE_STMT, 0, nullptr);
    auto* stmt = static_cast<OCIStmt*>(st);
    const std::string sql = "insert into bench_ins values (:n, :s, :d, :a)";
    std::vector<sb2> ind(kInsertRows, 0);
    const auto t0 = Clock::now();
    Check(s, OCI.OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()), OCI_NTV_SYNTAX, 0),
          "prepare");
    OCIBind* b = nullptr;
    Check(s, OCI.OCIBindByName(stmt, &b, err, reinterpret_cast<const OraText*>(":N"), -1, r.n.data(), 4, SQLT_INT, ind.data(),
                               nullptr, nullptr, 0, nullptr, 0), "bind");
    b = nullptr;
    Check(s, OCI.OCIBindByName(stmt, &b, err, reinterpret_cast<const OraText*>(":S"), -1, r.s.data(), kStringSize, SQLT_STR,
                               ind.data(), nullptr, nullptr, 0, nullptr, 0), "bind");
    b = nullptr;
    Check(s, OCI.OCIBindByName(stmt, &b, err, reinterpret_cast<const OraText*>(":D"), -1, r.d.data(), 7, SQLT_DAT, ind.data(),
                               nullptr, nullptr, 0, nullptr, 0), "bind");
    b = nullptr;
    Check(s, OCI.OCIBindByName(stmt, &b, err, reinterpret_cast<const OraText*>(":A"), -1, r.a.data(), 8, SQLT_FLT, ind.data(),
                               nullptr, nullptr, 0, nullptr, 0), "bind");
    Check(s, OCI.OCIStmtExecute(static_cast<OCISvcCtx*>(s.ServiceContext()), stmt, err, kInsertRows, 0, nullptr, nullptr, 0),
          "array insert");
    const double t = Seconds(t0);
    OCI.OCIHandleFree(st, OCI_HTYPE_STMT);
    s.Rollback();
    return t;
}

struct FetchResult {
    double seconds = 0;
    long long rows = 0;
    double sum = 0;
    long long textBytes = 0;
    long long allocations = 0;
};

FetchResult LibraryFetch(TOracleSession& s) {
    FetchResult r;
    TOracleQuery q;
    q.SetSession(&s);
    q.SetReadBuffer(100);
    q.SQL().SetText("select n, s, d, a from bench");
    const auto t0 = Clock::now();
    q.Execute();
    const long long before = GAllocations.load();
    while (!q.Eof()) {
        r.sum += q.FieldAsFloat(0);
        r.textBytes += (long long)q.FieldAsString(1).size();
        r.sum += q.FieldAsFloat(2);
        r.sum += q.FieldAsFloat(3);
        ++r.rows;
        q.Next();
    }
    r.allocations = GAllocations.load() - before;
    r.seconds = Seconds(t0);
    return r;
}

FetchResult BareFetch(TOracleSession& s) {
    FetchResult r;
    auto* err = static_cast<OCIError*>(s.ErrorHandle());
    void* st = nullptr;
    OCI.OCIHandleAlloc(s.EnvHandle(), &st, OCI_HTYPE_STMT, 0, nullptr);
    auto* stmt = static_cast<OCIStmt*>(st);
    const std::string sql = "select n, s, d, a from bench";
    constexpr int kArray = 100;
    int32_t n[kArray];
    char text[kArray][31];
    uint8_t d[kArray][7];
    double a[kArray];
    sb2 ind[4][kArray];
    ub2 len[4][kArray];
    const auto t0 = Clock::now();
    Check(s, OCI.OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()), OCI_NTV_SYNTAX, 0),
          "prepare");
    ub4 zero = 0;
    OCI.OCIAttrSet(st, OCI_HTYPE_STMT, &zero, 4, 11, err);
    OCI.OCIAttrSet(st, OCI_HTYPE_STMT, &zero, 4, 13, err);
    Check(s, OCI.OCIStmtExecute(static_cast<OCISvcCtx*>(s.ServiceContext()), stmt, err, 0, 0, nullptr, nullptr, 0), "select");
    OCIDefine* def = nullptr;
    Check(s, OCI.OCIDefineByPos(stmt, &def, err, 1, n, 4, SQLT_INT, ind[0], len[0], nullptr, 0), "define");
    def = nullptr;
    Check(s, OCI.OCIDefineByPos(stmt, &def, err, 2, text, 31, SQLT_STR, ind[1], len[1], nullptr, 0), "define");
    def = nullptr;
    Check(s, OCI.OCIDefineByPos(stmt, &def, err, 3, d, 7, SQLT_DAT, ind[2], len[2], nullptr, 0), "define");
    def = nullptr;
    Check(s, OCI.OCIDefineByPos(stmt, &def, err, 4, a, 8, SQLT_FLT, ind[3], len[3], nullptr, 0), "define");
    ub4 total = 0;
    for (;;) {
        const sword status = OCI.OCIStmtFetch2(stmt, err, kArray, OCI_FETCH_NEXT, 0, 0);
        Check(s, status, "fetch");
        ub4 count = 0;
        OCI.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, err);
        const ub4 got = count - total;
        total = count;
        for (ub4 i = 0; i < got; ++i) {
            r.sum += ind[0][i] == -1 ? 0 : double(n[i]);
            r.textBytes += ind[1][i] == -1 ? 0 : (long long)std::string(text[i], strnlen(text[i], 31)).size();
            r.sum += ind[2][i] == -1 ? 0 : OracleDateToDateTime(d[i]).Value;
            r.sum += ind[3][i] == -1 ? 0 : a[i];
            ++r.rows;
        }
        if (status == OCI_NO_DATA || got < ub4(kArray)) break;
    }
    r.seconds = Seconds(t0);
    OCI.OCIHandleFree(st, OCI_HTYPE_STMT);
    return r;
}


} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000000;
    const std::string dir = StandInWorkspace("query");
    if (dir.empty()) return 1;

    double bareInsert = 1e9, libInsert = 1e9;
    FetchResult bare, lib;
    bare.seconds = lib.seconds = 1e9;
    try {
        TOracleSession session;
        session.SetLogonUsername("scott/tiger@" + dir + "/db");
        session.LogOn();
        Run(session, "create table bench (n number(9), s varchar2(30), d date, a number(12,2))");
        Run(session, "create table bench_ins (n number(9), s varchar2(30), d date, a number(12,2))");

        // The fetch table, filled through the library in array batches.
        Rows batch;
        {
            TOracleQuery fill;
            fill.SetSession(&session);
            fill.SQL().SetText("insert into bench values (:n, :s, :d, :a)");
            for (int done = 0; done < rows; done += kInsertRows) {
                const int count = std::min(kInsertRows, rows - done);
                batch.Fill(done, count);
                DeclareArrays(fill, batch);
                fill.ExecuteArray(0, count);
            }
            session.Commit();
        }

        batch.Fill(0, kInsertRows);
        // The sides take turns going first, so neither always meets the other's leftovers.
        for (int round = 0; round < 5; ++round) {
            const bool libraryFirst = round % 2 == 1;
            if (libraryFirst) libInsert = std::min(libInsert, LibraryInsert(session, batch));
            bareInsert = std::min(bareInsert, BareInsert(session, batch));
            if (!libraryFirst) libInsert = std::min(libInsert, LibraryInsert(session, batch));
            if (round >= 3) continue;   // three fetch rounds are enough for the larger work
            FetchResult l;
            if (libraryFirst) l = LibraryFetch(session);
            FetchResult b = BareFetch(session);
            if (!libraryFirst) l = LibraryFetch(session);
            if (b.seconds < bare.seconds) bare = b;
            if (l.seconds < lib.seconds) lib = l;
        }
        session.LogOff();
    } catch (const Exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.Message().c_str());
        return 1;
    }
    OracleShutdown();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);

    std::printf("rows fetched: library %lld, bare %lld; sums %.2f / %.2f; text bytes %lld / %lld\n", lib.rows, bare.rows, lib.sum,
                bare.sum, lib.textBytes, bare.textBytes);
    std::printf("fetch  %d rows x 4 columns, ReadBuffer 100: TOracleQuery %.3f s, bare OCI %.3f s, ratio %.3f (target <= 1.25)\n",
                rows, lib.seconds, bare.seconds, lib.seconds / bare.seconds);
    std::printf("ExecuteArray %d rows: TOracleQuery %.3f s, bare OCI %.3f s, ratio %.3f (target <= 1.1)\n", kInsertRows,
                libInsert, bareInsert, libInsert / bareInsert);
    std::printf("heap allocations while walking the rows: %lld (%.4f per row)\n", lib.allocations,
                lib.rows ? double(lib.allocations) / double(lib.rows) : 0.0);
    return lib.rows == bare.rows && lib.rows == rows ? 0 : 1;
}
