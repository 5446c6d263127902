// A module script run through TOracleScript against the same statements run one by one on a
// plain TOracleQuery, on the same stand-in database, in one run on one machine:
//  - `rows` single-row inserts written as script commands (with a substitution variable in
//    each), versus the same substituted texts executed on one query;
//  - one select of those rows written to the output in columns, versus a fetch loop that reads
//    every field with FieldAsString.
// The sides take turns going first (three rounds); the best run of each side is compared.
// Usage: bench_script [rows]   (default 5000)
#include "bench/LibraryBenchSupport.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/script/OracleScript.h"
#include "oracle/session/OracleSession.h"

using namespace quorvel;

namespace {


std::string InsertText(int i) {
    return "insert into bench_t values (" + std::to_string(i) + ", 'item number " + std::to_string(i) + "', " +
           std::to_string(i) + ".25)";
}

void Run(TOracleSession& s, const std::string& sql) {
    TOracleQuery q;
    q.SetSession(&s);
    q.SQL().SetText(sql);
    q.Execute();
}

} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
    const std::string dir = StandInWorkspace("script");
    if (dir.empty()) return 1;

    double bareInsert = 1e9, scriptInsert = 1e9, bareSelect = 1e9, scriptSelect = 1e9;
    std::size_t outputLines = 0;
    try {
        TOracleSession session;
        session.SetLogonUsername("scott/tiger@" + dir + "/db");
        session.LogOn();
        Run(session, "create table bench_t (n number(9), s varchar2(30), a number(12,2))");

        std::string insertScript = "define tab = bench_t\r\nset echo off\r\nset feedback off\r\n";
        for (int i = 0; i < rows; ++i) {
            std::string line = InsertText(i);
            line.replace(line.find("bench_t"), 7, "&tab");
            insertScript += line + ";\r\n";
        }
        const std::string selectScript = "set echo off\r\nselect n, s, a from bench_t order by n;\r\n";

        for (int round = 0; round < 3; ++round) {
            for (int side = 0; side < 2; ++side) {
                const bool script = (side + round) % 2 == 0;
                Run(session, "truncate table bench_t");
                if (script) {
                    TOracleScript s;
                    s.SetSession(&session);
                    s.Lines().SetText(insertScript);
                    auto t = Clock::now();
                    if (!s.Execute()) throw Exception("the insert script failed");
                    scriptInsert = std::min(scriptInsert, Seconds(t));
                    s.Lines().SetText(selectScript);
                    t = Clock::now();
                    s.Execute();
                    scriptSelect = std::min(scriptSelect, Seconds(t));
                    outputLines = std::size_t(s.Output().Count());
                } else {
                    TOracleQuery q;
                    q.SetSession(&session);
                    auto t = Clock::now();
                    for (int i = 0; i < rows; ++i) {
                        q.SQL().SetText(InsertText(i));
                        q.Execute();
                    }
                    bareInsert = std::min(bareInsert, Seconds(t));
                    q.SQL().SetText("select n, s, a from bench_t order by n");
                    t = Clock::now();
                    q.Execute();
                    std::size_t bytes = 0;
                    while (!q.Eof()) {
                        for (int f = 0; f < q.FieldCount(); ++f) bytes += q.FieldAsString(f).size();
                        q.Next();
                    }
                    bareSelect = std::min(bareSelect, Seconds(t));
                    if (bytes == 0) throw Exception("nothing fetched");
                }
                session.Commit();
            }
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.Message().c_str());
        return 1;
    }
    OracleShutdown();
    std::filesystem::remove_all(dir);

    std::printf("rows: %d (output lines of the select run: %zu)\n", rows, outputLines);
    std::printf("inserts: script %.3f s, one query %.3f s, ratio %.2f\n", scriptInsert, bareInsert, scriptInsert / bareInsert);
    std::printf("select:  script with column output %.3f s, fetch loop %.3f s, ratio %.2f\n", scriptSelect, bareSelect,
                scriptSelect / bareSelect);
    return 0;
}
