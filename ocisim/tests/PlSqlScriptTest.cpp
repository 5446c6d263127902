// The module scripts of the installer, cut into their commands and run through the OCI on a fresh
// database: the warehouse module installs without an error and leaves its data; the broken module
// fails exactly on its faulty commands.
#include "ocisim/tests/PlSqlTestSupport.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace ocitest;

namespace {

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The SQL and PL/SQL commands of a script, with DEFINEd substitution variables replaced: a
// PL/SQL unit or block ends at a line holding only "/", a SQL statement at a ";" ending a line;
// PROMPT, SET and DEFINE lines are the client's.
std::vector<std::string> Commands(const std::string& script) {
    std::vector<std::string> out;
    std::map<std::string, std::string> vars;
    std::istringstream in(script);
    std::string line, cur;
    bool plsql = false;
    auto substitute = [&](std::string s) {
        for (const auto& [name, value] : vars) {
            for (size_t p; (p = Lower(s).find("&" + name)) != std::string::npos;) {
                size_t len = name.size() + 1;
                if (p + len < s.size() && s[p + len] == '.') ++len;
                s.replace(p, len, value);
            }
        }
        return s;
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string lw = Lower(line);
        if (cur.empty()) {
            size_t b = lw.find_first_not_of(" \t");
            if (b == std::string::npos || lw.compare(b, 2, "--") == 0) continue;
            if (lw.rfind("prompt", b) == b || lw.rfind("set ", b) == b) continue;
            if (lw.rfind("define ", b) == b) {
                size_t eq = line.find('=');
                std::string name = Lower(line.substr(b + 7, eq - b - 7));
                name.erase(name.find_last_not_of(" ") + 1);
                std::string value = line.substr(eq + 1);
                value.erase(0, value.find_first_not_of(" "));
                vars[name] = value;
                continue;
            }
            std::string head = lw.substr(b);
            plsql = head.rfind("declare", 0) == 0 || head.rfind("begin", 0) == 0 ||
                    ((head.rfind("create", 0) == 0) && (head.find(" procedure ") != std::string::npos || head.find(" function ") != std::string::npos ||
                                                        head.find(" package ") != std::string::npos || head.find(" trigger ") != std::string::npos ||
                                                        head.find(" type ") != std::string::npos));
        }
        if (plsql) {
            if (line.find_first_not_of(" \t") != std::string::npos && line.substr(line.find_first_not_of(" \t")) == "/") {
                out.push_back(substitute(cur));
                cur.clear();
                continue;
            }
            cur += line + "\n";
            continue;
        }
        cur += line + "\n";
        std::string t = line;
        t.erase(t.find_last_not_of(" \t") + 1);
        if (!t.empty() && t.back() == ';') {
            cur.erase(cur.find_last_of(';'));
            out.push_back(substitute(cur));
            cur.clear();
        }
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class Script : public Pl {
protected:
    // Runs one command; a query's rows are read as text lines of columns joined by "|".
    sword RunCommand(const std::string& sql, std::vector<std::string>* rows = nullptr) {
        OCIStmt* st = Prepare(sql);
        ub2 type = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
        sword r = OCIStmtExecute(svc, st, err, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, OCI_DEFAULT);
        lastCode = r == OCI_SUCCESS ? 0 : ErrCode(err);
        lastError = r == OCI_SUCCESS ? "" : ErrText(err);
        if (r == OCI_SUCCESS && type == OCI_STMT_SELECT && rows) {
            ub4 n = 0;
            OCIAttrGet(st, OCI_HTYPE_STMT, &n, nullptr, OCI_ATTR_PARAM_COUNT, err);
            std::vector<std::array<char, 512>> bufs(n);
            std::vector<sb2> inds(n);
            std::vector<ub2> lens(n);
            for (ub4 k = 0; k < n; ++k) {
                OCIDefine* d = nullptr;
                OCIDefineByPos(st, &d, err, k + 1, bufs[k].data(), 512, SQLT_CHR, &inds[k], &lens[k], nullptr, OCI_DEFAULT);
            }
            while (OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT) == OCI_SUCCESS) {
                std::string row;
                for (ub4 k = 0; k < n; ++k) row += (k ? "|" : "") + (inds[k] == -1 ? std::string("<null>") : std::string(bufs[k].data(), lens[k]));
                rows->push_back(row);
            }
        }
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }
};

TEST_F(Script, WarehouseModuleInstallsAndLeavesItsData) {
    auto commands = Commands(ReadFile(QUORVEL_MODULES "/warehouse.sql"));
    ASSERT_GE(commands.size(), 20u);
    std::vector<std::string> rows, last;
    for (const auto& c : commands) {
        rows.clear();
        sword r = RunCommand(c, &rows);
        EXPECT_EQ(r, OCI_SUCCESS) << c << "\n" << lastError;
        if (!rows.empty()) last = rows;
    }
    rows = last;
    // the last query: two items in category 2 and the stock value after the 10% reprice of category 2
    EXPECT_EQ(rows, (std::vector<std::string>{"2|1064.94"}));
    rows.clear();
    ASSERT_EQ(RunCommand("select code, title, price, item_id from wh_item_v order by code", &rows), OCI_SUCCESS) << lastError;
    EXPECT_EQ(rows, (std::vector<std::string>{"HAM-0001|Молоток слесарный 500 г|450|1000", "NUT-0008|Hex nut M8, box of 50|83.05|1002",
                                              "PNT-0001|Enamel, white, 0.9 l|389|1003", "SCR-0100|Wood screw 4x40, box of 100|142.89|1001"}));
    rows.clear();
    ASSERT_EQ(RunCommand("select object_name, object_type, status from user_objects where object_name like 'WH\\_STOCK%' escape '\\' order by 2", &rows), OCI_SUCCESS);
    EXPECT_EQ(rows, (std::vector<std::string>{"WH_STOCK|PACKAGE|VALID", "WH_STOCK|PACKAGE BODY|VALID"}));
}

TEST_F(Script, BrokenModuleFailsExactlyWhereItsLinesAreWrong) {
    auto commands = Commands(ReadFile(QUORVEL_MODULES "/broken.sql"));
    ASSERT_EQ(commands.size(), 11u);
    // what each command gives: 0 success, else the Oracle error; 24344 created with compilation errors
    const int expected[] = {0, 0, 1, 942, 900, 24344, 12899, 0, 0, 0, 0};
    std::vector<std::string> rows, last;
    for (size_t k = 0; k < commands.size(); ++k) {
        rows.clear();
        sword r = RunCommand(commands[k], &rows);
        int got = r == OCI_SUCCESS ? 0 : r == OCI_SUCCESS_WITH_INFO ? ErrCode(err) : lastCode;
        EXPECT_EQ(got, expected[k]) << commands[k] << "\n" << lastError;
        if (!rows.empty()) last = rows;
    }
    EXPECT_EQ(last, (std::vector<std::string>{"1|renamed"}));
}

TEST_F(Script, CompilationErrorsAreListedAndCallingTheUnitFails) {
    Ok("create table bad_demo (id number)");
    OCIStmt* st = Prepare("create or replace procedure bad_demo_proc is\nbegin\n  undefined_procedure_call(1);\nend;");
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(ErrCode(err), 24344);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    std::vector<std::string> rows;
    ASSERT_EQ(RunCommand("select line, position, text from user_errors where name = 'BAD_DEMO_PROC' order by sequence", &rows), OCI_SUCCESS);
    EXPECT_EQ(rows, (std::vector<std::string>{"3|3|PLS-00201: identifier 'UNDEFINED_PROCEDURE_CALL' must be declared",
                                              "3|3|PL/SQL: Statement ignored"}));
    rows.clear();
    ASSERT_EQ(RunCommand("select status from user_objects where object_name = 'BAD_DEMO_PROC'", &rows), OCI_SUCCESS);
    EXPECT_EQ(rows, (std::vector<std::string>{"INVALID"}));
    rows.clear();
    ASSERT_EQ(RunCommand("select line, text from user_source where name = 'BAD_DEMO_PROC' order by line", &rows), OCI_SUCCESS);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "1|procedure bad_demo_proc is\n");
    EXPECT_EQ(RunCommand("begin bad_demo_proc; end;"), OCI_ERROR);
    EXPECT_EQ(lastError, "ORA-06550: line 1, column 7:\nPLS-00905: object SCOTT.BAD_DEMO_PROC is invalid\nORA-06550: line 1, column 7:\nPL/SQL: Statement ignored");
    // fixed, it compiles and runs
    Ok("create or replace procedure bad_demo_proc is\nbegin\n  insert into bad_demo values (1);\nend;");
    Ok("begin bad_demo_proc; end;");
    rows.clear();
    ASSERT_EQ(RunCommand("select count(*) from user_errors where name = 'BAD_DEMO_PROC'", &rows), OCI_SUCCESS);
    EXPECT_EQ(rows, (std::vector<std::string>{"0"}));
    // a syntax error is stored with its position
    st = Prepare("create or replace function f return number is\nbegin\n  return 1 +;\nend;");
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS_WITH_INFO);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    rows.clear();
    ASSERT_EQ(RunCommand("select line, position, substr(text, 1, 40) from user_errors where name = 'F'", &rows), OCI_SUCCESS);
    EXPECT_EQ(rows, (std::vector<std::string>{"3|13|PLS-00103: Encountered the symbol \";\" wh"}));
    EXPECT_EQ(Scalar("select f from dual").substr(0, 16), "<error ORA-06575");
    // ALL_ERRORS shows the same errors with their owner
    rows.clear();
    ASSERT_EQ(RunCommand("select owner, name, type, line, position from all_errors where name = 'F'", &rows), OCI_SUCCESS) << lastError;
    EXPECT_EQ(rows, (std::vector<std::string>{"SCOTT|F|FUNCTION|3|13"}));
}

TEST_F(Script, APackageWhoseBodyHasErrorsFailsWithOra04063) {
    Ok("create or replace package pk is procedure run; end;");
    OCIStmt* st = Prepare("create or replace package body pk is procedure run is begin no_such_thing; end; end;");
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(ErrText(err), "ORA-24344: success with compilation error");
    OCIHandleFree(st, OCI_HTYPE_STMT);
    std::vector<std::string> rows;
    ASSERT_EQ(RunCommand("select object_type, status from user_objects where object_name = 'PK' order by 1", &rows), OCI_SUCCESS);
    EXPECT_EQ(rows, (std::vector<std::string>{"PACKAGE|VALID", "PACKAGE BODY|INVALID"}));
    rows.clear();
    ASSERT_EQ(RunCommand("select type, line, text from all_errors where owner = 'SCOTT' and name = 'PK' order by sequence", &rows), OCI_SUCCESS);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], "PACKAGE BODY|1|PLS-00201: identifier 'NO_SUCH_THING' must be declared");
    EXPECT_EQ(RunCommand("begin pk.run; end;"), OCI_ERROR);
    EXPECT_EQ(lastCode, 4063);
    EXPECT_EQ(lastError.substr(0, lastError.find('\n')), "ORA-04063: package body \"SCOTT.PK\" has errors");
    // the package part without its body is usable for its declarations; a fixed body makes the calls work
    Ok("create or replace package body pk is procedure run is begin null; end; end;");
    Ok("begin pk.run; end;");
}

// Through the OCI7 calls a unit created with errors succeeds with the warning flags 1 and 32 set
// in the cursor data area, which the script reads to print "... created with compilation errors".
TEST(ScriptOci7, CompilationErrorsSetTheWarningFlag) {
    std::string dir = TempDir("oci7w");
    Lda_Def lda;
    Cda_Def cda;
    ub1 hda[HDA_SIZE] = {0};
    sword r = olog(&lda, hda, (OraText*)"scott", -1, (OraText*)"tiger", -1, (OraText*)dir.c_str(), -1, 0);
    if (r != 0 && lda.rc == 12541) GTEST_SKIP() << "no database engine in this build";
    ASSERT_EQ(r, 0);
    ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    struct Case { const char* sql; ub2 rc; ub1 wrn; };
    const Case cases[] = {
        {"create or replace procedure bad7 is begin undefined_call; end;", 0, 1 | 32},
        {"create or replace procedure good7 is begin null; end;", 0, 0},
        {"alter procedure bad7 compile", 0, 1 | 32},
        {"begin bad7; end;", 6550, 0},
    };
    for (const Case& c : cases) {
        sword rc = oparse(&cda, (OraText*)c.sql, -1, 0, 2);
        if (rc == 0) oexec(&cda);
        EXPECT_EQ(cda.rc, c.rc) << c.sql;
        EXPECT_EQ(cda.wrn, c.wrn) << c.sql;
    }
    oclose(&cda);
    EXPECT_EQ(ologof(&lda), 0);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

} // namespace
