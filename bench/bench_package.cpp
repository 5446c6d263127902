// Stored package calls through TOraclePackage against bare OCI calls of the same work on the same
// stand-in database, in one run on one machine, through the real client loader:
//  - `calls` calls of an integer function with two integer arguments: the package with the
//    library's default (DisableOptimize on: the block is parsed and bound at every call) beside
//    OCI prepare, bind and execute of the same block per call; and the package with Optimize in
//    force (variables kept between calls) beside one prepared, bound statement executed again,
//    and beside a TOracleQuery running the same block with Optimize (what the package adds);
//  - `calls` calls of a procedure with a BOOLEAN in-out argument, beside the same block by hand;
//  - DBMS_OUTPUT: 1000 lines read back with TDBMS_Output.Get_Lines beside the same PL/SQL table
//    bind by hand.
// The sides take turns going first (five rounds); the best run of each side is compared.
// Usage: bench_package [calls]   (default 2000)
#include "bench/LibraryBenchSupport.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/dbms/OracleDBMS.h"
#include "oracle/query/OraclePackage.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"

using namespace quorvel;

namespace {



void Check(TOracleSession& s, sword status, const char* what) {
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return;
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

const std::string AddBlock = "begin\r\n  :quorvel__value := bench_pkg.add(:p1, :p2);\r\nend;\r\n";
const std::string FlipBlock =
    "declare\r\n  quorvel__boolean1 boolean := sys.diutil.int_to_bool(:p1);\r\nbegin\r\n"
    "  bench_pkg.flip(quorvel__boolean1);\r\n  :p1 := sys.diutil.bool_to_int(quorvel__boolean1);\r\nend;\r\n";

struct Bare {
    TOracleSession& s;
    OCIError* err;
    OCISvcCtx* svc;
    explicit Bare(TOracleSession& session)
        : s(session), err(static_cast<OCIError*>(session.ErrorHandle())),
          svc(static_cast<OCISvcCtx*>(session.ServiceContext())) {}
    OCIStmt* Prepare(const std::string& sql) {
        void* st = nullptr;
        OCI.OCIHandleAlloc(s.EnvHandle(), &st, OCI_HTYPE_STMT, 0, nullptr);
        auto* stmt = static_cast<OCIStmt*>(st);
        Check(s, OCI.OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()), OCI_NTV_SYNTAX, 0),
              "prepare");
        return stmt;
    }
    void BindInt(OCIStmt* stmt, const char* name, int32_t* value, sb2* ind) {
        OCIBind* b = nullptr;
        Check(s, OCI.OCIBindByName(stmt, &b, err, reinterpret_cast<const OraText*>(name), -1, value, 4, SQLT_INT, ind, nullptr,
                                   nullptr, 0, nullptr, 0), "bind");
    }
    void Execute(OCIStmt* stmt) { Check(s, OCI.OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, 0), "execute"); }
    void Free(OCIStmt* stmt) { OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT); }
};

// The integer function, the library's way; returns the sum of the results.
long long LibraryAdd(TOracleSession& s, int calls, bool optimize, double& seconds) {
    DisableOptimize = !optimize;
    TOraclePackage pkg;
    pkg.SetSession(&s);
    pkg.PackageName = "bench_pkg";
    long long sum = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) sum += pkg.CallIntegerFunction("add", {i, 1}).ToInteger();
    seconds = Seconds(t0);
    DisableOptimize = true;
    return sum;
}

// The same block on a plain statement with Optimize in force: what the package adds to it.
long long QueryAdd(TOracleSession& s, int calls, double& seconds) {
    DisableOptimize = false;
    TOracleQuery q;
    q.SetSession(&s);
    q.SQL().SetText(AddBlock);
    q.DeclareVariable("quorvel__value", otInteger);
    q.DeclareVariable("p1", otInteger);
    q.DeclareVariable("p2", otInteger);
    long long sum = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) {
        q.SetVariable("p1", i);
        q.SetVariable("p2", 1);
        q.SetVariable("quorvel__value", Variant::Null());
        q.Execute();
        sum += q.GetVariable("quorvel__value").ToInteger();
    }
    seconds = Seconds(t0);
    DisableOptimize = true;
    return sum;
}

long long BareAdd(TOracleSession& s, int calls, bool prepareOnce, double& seconds) {
    Bare b(s);
    int32_t result = 0, p1 = 0, p2 = 1;
    sb2 ri = -1, i1 = 0, i2 = 0;
    long long sum = 0;
    const auto t0 = Clock::now();
    OCIStmt* stmt = nullptr;
    for (int i = 0; i < calls; ++i) {
        if (!stmt) {
            stmt = b.Prepare(AddBlock);
            b.BindInt(stmt, ":QUORVEL__VALUE", &result, &ri);
            b.BindInt(stmt, ":P1", &p1, &i1);
            b.BindInt(stmt, ":P2", &p2, &i2);
        }
        p1 = i;
        ri = -1;
        b.Execute(stmt);
        sum += result;
        if (!prepareOnce) {
            b.Free(stmt);
            stmt = nullptr;
        }
    }
    if (stmt) b.Free(stmt);
    seconds = Seconds(t0);
    return sum;
}

int LibraryFlip(TOracleSession& s, int calls, double& seconds) {
    TOraclePackage pkg;
    pkg.SetSession(&s);
    pkg.PackageName = "bench_pkg";
    int trues = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) {
        pkg.CallProcedure("flip", {i % 2 == 0});
        trues += pkg.GetParameter(0).ToBoolean() ? 1 : 0;
    }
    seconds = Seconds(t0);
    return trues;
}

int BareFlip(TOracleSession& s, int calls, double& seconds) {
    Bare b(s);
    int32_t p1 = 0;
    sb2 i1 = 0;
    int trues = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) {
        OCIStmt* stmt = b.Prepare(FlipBlock);
        b.BindInt(stmt, ":P1", &p1, &i1);
        p1 = i % 2 == 0 ? 1 : 0;
        i1 = 0;
        b.Execute(stmt);
        trues += p1 != 0 ? 1 : 0;
        b.Free(stmt);
    }
    seconds = Seconds(t0);
    return trues;
}

constexpr int kLines = 1000;

void FillOutput(TOracleSession& s) {
    Run(s, "begin dbms_output.enable(1000000); for i in 1 .. " + std::to_string(kLines) +
               " loop dbms_output.put_line('line number ' || i); end loop; end;");
}

size_t LibraryLines(TOracleSession& s, double& seconds) {
    FillOutput(s);
    std::string lines;
    int n = kLines;
    const auto t0 = Clock::now();
    s.DBMS_Output().Get_Lines(lines, n);
    seconds = Seconds(t0);
    return lines.size();
}

size_t BareLines(TOracleSession& s, double& seconds) {
    FillOutput(s);
    Bare b(s);
    // the element size the wrapper uses: 255 characters of the database character set
    const int elem = std::min(255 * std::max(1, s.CharacterSize()), std::max(255, s.MaxVarchar())) + 1;
    std::vector<char> buf(size_t(kLines) * elem);
    std::vector<sb2> ind(kLines, -1);
    std::vector<ub2> len(kLines, 0);
    ub4 count = 0;
    int32_t n = kLines;
    sb2 ni = 0;
    std::string lines;
    const auto t0 = Clock::now();
    OCIStmt* stmt = b.Prepare("begin\r\n  sys.dbms_output.get_lines(lines => :lines, numlines => :numlines);\r\nend;\r\n");
    OCIBind* bh = nullptr;
    Check(s, OCI.OCIBindByName(stmt, &bh, b.err, reinterpret_cast<const OraText*>(":LINES"), -1, buf.data(), elem, SQLT_STR,
                               ind.data(), len.data(), nullptr, kLines, &count, 0), "bind");
    b.BindInt(stmt, ":NUMLINES", &n, &ni);
    b.Execute(stmt);
    for (int i = 0; i < n && ub4(i) < count; ++i) {
        const char* e = ind[size_t(i)] == -1 ? "" : &buf[size_t(i) * elem];
        if (lines.empty()) lines = e;
        else lines.append("\r\n").append(e);
    }
    b.Free(stmt);
    seconds = Seconds(t0);
    return lines.size();
}

} // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const std::string dir = StandInWorkspace("package");
    if (dir.empty()) return 1;

    double libAdd = 1e9, bareAdd = 1e9, libAddOpt = 1e9, bareAddOnce = 1e9, libFlip = 1e9, bareFlip = 1e9;
    double libLines = 1e9, bareLines = 1e9, queryAddOpt = 1e9;
    bool same = true;
    try {
        TOracleSession session;
        session.SetLogonUsername("scott/tiger@" + dir + "/db");
        session.LogOn();
        Run(session, "create or replace package bench_pkg as\n"
                     "  function add(a number, b number) return number;\n"
                     "  procedure flip(b in out boolean);\n"
                     "end;");
        Run(session, "create or replace package body bench_pkg as\n"
                     "  function add(a number, b number) return number is begin return a + b; end;\n"
                     "  procedure flip(b in out boolean) is begin b := not b; end;\n"
                     "end;");
        for (int round = 0; round < 5; ++round) {
            const bool libraryFirst = round % 2 == 1;
            auto measure = [&](auto lib, auto bare) {
                if (libraryFirst) lib();
                bare();
                if (!libraryFirst) lib();
            };
            double t = 0;
            long long a = 0, c = 0;
            measure([&] { a = LibraryAdd(session, calls, false, t); libAdd = std::min(libAdd, t); },
                    [&] { c = BareAdd(session, calls, false, t); bareAdd = std::min(bareAdd, t); });
            same = same && a == c;
            measure([&] { a = LibraryAdd(session, calls, true, t); libAddOpt = std::min(libAddOpt, t); },
                    [&] { c = BareAdd(session, calls, true, t); bareAddOnce = std::min(bareAddOnce, t); });
            same = same && a == c;
            c = QueryAdd(session, calls, t);
            queryAddOpt = std::min(queryAddOpt, t);
            same = same && a == c;
            measure([&] { a = LibraryFlip(session, calls, t); libFlip = std::min(libFlip, t); },
                    [&] { c = BareFlip(session, calls, t); bareFlip = std::min(bareFlip, t); });
            same = same && a == c;
            measure([&] { a = long(LibraryLines(session, t)); libLines = std::min(libLines, t); },
                    [&] { c = long(BareLines(session, t)); bareLines = std::min(bareLines, t); });
            same = same && a == c;
        }
        session.LogOff();
    } catch (const Exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.Message().c_str());
        return 1;
    }
    OracleShutdown();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);

    std::printf("results equal on both sides: %s\n", same ? "yes" : "NO");
    std::printf("integer function, %d calls, parsed every call: TOraclePackage %.3f s, bare OCI %.3f s, ratio %.3f\n", calls,
                libAdd, bareAdd, libAdd / bareAdd);
    std::printf("integer function, %d calls, Optimize (statement kept): TOraclePackage %.3f s, bare OCI prepared once %.3f s, "
                "ratio %.3f\n", calls, libAddOpt, bareAddOnce, libAddOpt / bareAddOnce);
    std::printf("integer function, %d calls, Optimize: TOraclePackage %.3f s, TOracleQuery with the same block %.3f s, "
                "ratio %.3f\n", calls, libAddOpt, queryAddOpt, libAddOpt / queryAddOpt);
    std::printf("BOOLEAN in-out procedure, %d calls: TOraclePackage %.3f s, bare OCI %.3f s, ratio %.3f\n", calls, libFlip,
                bareFlip, libFlip / bareFlip);
    std::printf("DBMS_OUTPUT Get_Lines of %d lines: TDBMS_Output %.4f s, bare OCI %.4f s, ratio %.3f\n", kLines, libLines,
                bareLines, libLines / bareLines);
    return same ? 0 : 1;
}
