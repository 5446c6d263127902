// Every PL/SQL block the component library sends, as it sends it (lines ended by CR LF, its own
// bind names), run in order on one session with the values it binds and the results it reads
// back: the transaction probe, the workspace switch, stored package calls with BOOLEAN and
// output parameters and package variables, the server package wrappers (alerts, application
// info, jobs, output lines and tables, pipes, files) and the data set's dictionary blocks.
#include "ocisim/tests/PlSqlTestSupport.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

using namespace ocitest;

namespace {

// A block's text as the library's string lists give it: every line followed by CR LF.
std::string L(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) s += std::string(l) + "\r\n";
    return s;
}
std::string Call(const std::string& call) { return L({"begin", ("  " + call).c_str(), "end;"}); }
// A call with BOOLEAN parameters carried through integers, as a named-mode package call builds it.
std::string BoolCall(const std::string& name, const std::string& call) {
    std::string local = "quorvel__boolean1";
    return "declare\r\n  " + local + " boolean := sys.diutil.int_to_bool(:" + name + ");\r\nbegin\r\n  " + call + "\r\n  :" + name +
           " := sys.diutil.bool_to_int(" + local + ");\r\nend;\r\n";
}
// The UTL_FILE block around one statement.
std::string FileCall(const std::string& statement) {
    return L({"declare", "  fh sys.utl_file.file_type;", "begin", "  fh.id := :afile;", ("  " + statement).c_str(), "  :afile := fh.id;",
              "  :error := 0;", "exception", "  when sys.utl_file.invalid_path then :error := 1;",
              "  when sys.utl_file.invalid_mode then :error := 2;", "  when sys.utl_file.invalid_filehandle then :error := 3;",
              "  when sys.utl_file.invalid_operation then :error := 4;", "  when sys.utl_file.read_error then :error := 5;",
              "  when sys.utl_file.write_error then :error := 6;", "  when sys.utl_file.internal_error then :error := 7;", "end;"});
}

// One bind: kind i (4-byte integer), f (8-byte float), s (text), d (DATE), t (table of 3 texts of
// 255 characters). `in` null binds NULL, "$x" the value an earlier step read back into x. `out`
// null checks nothing, "*" any value, "<null>" NULL, "$x" an earlier value; a table reads as its
// elements joined by "|".
struct B {
    const char* name;
    char kind;
    const char* in;
    const char* out;
};
struct Step {
    const char* what;
    std::string sql;
    std::vector<B> binds;
    int error = 0;
};

struct Slot {
    sb4 i = 0;
    double f = 0;
    char s[4001] = {};
    unsigned char d[7] = {};
    char t[3][256] = {};
    sb2 ind = -1;
    sb2 tind[3] = {-1, -1, -1};
    ub2 tlen[3] = {};
    ub4 cur = 0;
};

std::string DateText(const unsigned char* d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", (d[0] - 100) * 100 + d[1] - 100, d[2], d[3], d[4] - 1, d[5] - 1, d[6] - 1);
    return buf;
}
void TextDate(const std::string& s, unsigned char* d) {
    int y = 0, mo = 0, da = 0, h = 0, mi = 0, se = 0;
    std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &da, &h, &mi, &se);
    d[0] = static_cast<unsigned char>(y / 100 + 100);
    d[1] = static_cast<unsigned char>(y % 100 + 100);
    d[2] = static_cast<unsigned char>(mo);
    d[3] = static_cast<unsigned char>(da);
    d[4] = static_cast<unsigned char>(h + 1);
    d[5] = static_cast<unsigned char>(mi + 1);
    d[6] = static_cast<unsigned char>(se + 1);
}

class QuotedBlocks : public Pl {
protected:
    std::map<std::string, std::string> seen;   // values read back, by bind name

    void RunStep(const Step& step) {
        SCOPED_TRACE(std::string(step.what) + ":\n" + step.sql);
        OCIStmt* st = Prepare(step.sql);
        std::vector<std::unique_ptr<Slot>> slots;
        for (const B& b : step.binds) {
            slots.push_back(std::make_unique<Slot>());
            Slot& s = *slots.back();
            std::string in = b.in ? b.in : "";
            if (b.in && in[0] == '$') {
                auto it = seen.find(in.substr(1));
                ASSERT_NE(it, seen.end()) << "no value read back into " << in;
                in = it->second;
            }
            if (b.in) s.ind = 0;
            std::string ph = std::string(":") + b.name;
            OCIBind* h = nullptr;
            sword r = OCI_SUCCESS;
            switch (b.kind) {
            case 'i':
                s.i = static_cast<sb4>(std::atol(in.c_str()));
                r = OCIBindByName(st, &h, err, (const OraText*)ph.c_str(), -1, &s.i, 4, SQLT_INT, &s.ind, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
                break;
            case 'f':
                s.f = std::atof(in.c_str());
                r = OCIBindByName(st, &h, err, (const OraText*)ph.c_str(), -1, &s.f, 8, SQLT_FLT, &s.ind, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
                break;
            case 's':
                std::snprintf(s.s, sizeof s.s, "%s", in.c_str());
                r = OCIBindByName(st, &h, err, (const OraText*)ph.c_str(), -1, s.s, sizeof s.s, SQLT_STR, &s.ind, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
                break;
            case 'd':
                if (b.in) TextDate(in, s.d);
                r = OCIBindByName(st, &h, err, (const OraText*)ph.c_str(), -1, s.d, 7, SQLT_DAT, &s.ind, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
                break;
            case 't':
                r = OCIBindByName(st, &h, err, (const OraText*)ph.c_str(), -1, s.t, 256, SQLT_STR, s.tind, s.tlen, nullptr, 3, &s.cur, OCI_DEFAULT);
                break;
            default: FAIL() << "bind kind " << b.kind;
            }
            ASSERT_EQ(r, OCI_SUCCESS) << b.name << ": " << ErrText(err);
        }
        ub2 type = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
        sword r = OCIStmtExecute(svc, st, err, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, OCI_DEFAULT);
        if (step.error == 0) {
            EXPECT_EQ(r, OCI_SUCCESS) << ErrText(err);
        } else {
            EXPECT_EQ(r, OCI_ERROR);
            EXPECT_EQ(ErrCode(err), step.error) << ErrText(err);
        }
        if (r == OCI_SUCCESS) {
            for (size_t k = 0; k < step.binds.size(); ++k) {
                const B& b = step.binds[k];
                const Slot& s = *slots[k];
                std::string got;
                bool null = s.ind == -1;
                switch (b.kind) {
                case 'i': got = std::to_string(s.i); break;
                case 'f': { char buf[40]; std::snprintf(buf, sizeof buf, "%g", s.f); got = buf; break; }
                case 's': got = s.s; break;
                case 'd': got = DateText(s.d); break;
                case 't':
                    null = false;
                    for (ub4 e = 0; e < s.cur && e < 3; ++e) got += (e ? "|" : "") + (s.tind[e] == -1 ? std::string() : std::string(s.t[e], s.tlen[e]));
                    break;
                }
                if (!null) seen[b.name] = got;
                if (!b.out) continue;
                std::string want = b.out;
                if (want[0] == '$') want = seen[want.substr(1)];
                if (want == "*") EXPECT_FALSE(null) << b.name;
                else EXPECT_EQ(null ? "<null>" : got, want) << b.name;
            }
        }
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
};

TEST_F(QuotedBlocks, EveryBlockTheLibrarySendsRunsWithTheResultsItReads) {
    std::string files = dir + "/files";
    std::filesystem::create_directories(files);
    {
        // a directory object for UTL_FILE, made by a DBA
        OCIError* e2 = nullptr;
        OCISvcCtx* system = nullptr;
        OCIHandleAlloc(env, (void**)&e2, OCI_HTYPE_ERROR, 0, nullptr);
        ASSERT_EQ(OCILogon(env, e2, &system, (const OraText*)"SYSTEM", 6, (const OraText*)"MANAGER", 7, (const OraText*)dir.c_str(),
                           (ub4)dir.size()), OCI_SUCCESS) << ErrText(e2);
        OCIStmt* ddl = Prepare("create directory module_files as '" + files + "'");
        ASSERT_EQ(OCIStmtExecute(system, ddl, e2, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(e2);
        OCIHandleFree(ddl, OCI_HTYPE_STMT);
        OCILogoff(system, e2);
    }
    const std::vector<Step> steps = {
        // setup: a package to call, a table the data set edits, a view and a synonym of it
        {"setup", "create package pkg is\n  v number;\n  b boolean;\n  function f(a number, b varchar2) return number;\n"
                  "  procedure p(a in out boolean);\n  function bf(n number) return boolean;\n  procedure p0;\n"
                  "  procedure outs(p1 out varchar2);\n  function nextday(d date) return date;\n  function half(x number) return number;\nend;", {}},
        {"setup", "create package body pkg is\n  function f(a number, b varchar2) return number is begin return a + length(b); end;\n"
                  "  procedure p(a in out boolean) is begin a := not a; end;\n  function bf(n number) return boolean is begin return n > 3; end;\n"
                  "  procedure p0 is begin v := 7; end;\n  procedure outs(p1 out varchar2) is begin p1 := 'set by outs'; end;\n"
                  "  function nextday(d date) return date is begin return d + 1; end;\n"
                  "  function half(x number) return number is begin return x / 2; end;\nend;", {}},
        {"setup", "create table t93 (id number primary key, sal number default 100, name varchar2(10) default 'x', "
                  "constraint t93_sal check (sal > 0))", {}},
        {"setup", "create view v93 as select id, sal from t93", {}},
        {"setup", "create synonym s93 for t93", {}},

        // the transaction probe: no transaction, then one
        {"in transaction", "begin :id := sys.dbms_transaction.local_transaction_id; end;", {{"id", 's', "", "<null>"}}},
        {"setup", "insert into t93 (id, sal) values (1, 50)", {}},
        {"in transaction", "begin :id := sys.dbms_transaction.local_transaction_id; end;", {{"id", 's', "", "*"}}},
        {"apply point", "savepoint QUORVEL_APPLYPOINT", {}},
        {"apply point", "rollback to savepoint QUORVEL_APPLYPOINT", {}},
        {"setup", "commit", {}},
        {"workspace", "begin dbms_wm.gotoworkspace(:ws); end;", {{"ws", 's', "LIVE", nullptr}}},

        // stored package calls
        {"integer function", Call(":quorvel__value := PKG.F(:p1, :p2);"), {{"quorvel__value", 'i', nullptr, "2"}, {"p1", 'i', "1", nullptr}, {"p2", 's', "x", nullptr}}},
        {"null argument", Call(":quorvel__value := PKG.F(Null, :p2);"), {{"quorvel__value", 'i', nullptr, "<null>"}, {"p2", 's', "x", nullptr}}},
        {"named BOOLEAN", BoolCall("A", "PKG.P(A => quorvel__boolean1);"), {{"A", 'i', "1", "0"}}},
        {"BOOLEAN function", Call(":quorvel__value := sys.diutil.bool_to_int(PKG.BF(:p1));"), {{"quorvel__value", 'i', nullptr, "1"}, {"p1", 'i', "5", nullptr}}},
        {"no parameters", Call("PKG.P0;"), {}},
        {"output parameter", Call("PKG.OUTS(:p1);"), {{"p1", 's', nullptr, "set by outs"}}},
        {"date function", Call(":quorvel__value := PKG.NEXTDAY(:p1);"), {{"quorvel__value", 'd', nullptr, "2024-03-01 10:30:00"}, {"p1", 'd', "2024-02-29 10:30:00", nullptr}}},
        {"float function", Call(":quorvel__value := PKG.HALF(:p1);"), {{"quorvel__value", 'f', nullptr, "1.25"}, {"p1", 'f', "2.5", nullptr}}},
        {"get variable", Call(":quorvel__value := PKG.V;"), {{"quorvel__value", 'i', nullptr, "7"}}},
        {"set variable", Call("PKG.V := :quorvel__value;"), {{"quorvel__value", 'i', "42", nullptr}}},
        {"get variable", Call(":quorvel__value := PKG.V;"), {{"quorvel__value", 'i', nullptr, "42"}}},
        {"set variable null", Call("PKG.V := Null;"), {}},
        {"get variable", Call(":quorvel__value := PKG.V;"), {{"quorvel__value", 'i', nullptr, "<null>"}}},
        {"set BOOLEAN variable", Call("PKG.B := sys.diutil.int_to_bool(:quorvel__value);"), {{"quorvel__value", 'i', "1", nullptr}}},
        {"get BOOLEAN variable", Call(":quorvel__value := sys.diutil.bool_to_int(PKG.B);"), {{"quorvel__value", 'i', nullptr, "1"}}},

        // a static method of an object type, its name quoted as the object's method call writes it
        {"setup", "create type calc_t as object (n number, static function twice(a number) return number, "
                  "static function big(a number) return boolean, static procedure note(a in out varchar2))", {}},
        {"setup", "create type body calc_t as static function twice(a number) return number is begin return a * 2; end; "
                  "static function big(a number) return boolean is begin return a > 10; end; "
                  "static procedure note(a in out varchar2) is begin a := a || '!'; end; end;", {}},
        {"static method", L({"begin", "  :quorvel_value := SCOTT.CALC_T.\"TWICE\"(A => :A);", "end;"}),
         {{"quorvel_value", 'f', nullptr, "42"}, {"A", 'f', "21", nullptr}}},
        {"BOOLEAN method", L({"begin", "  :quorvel_value := sys.diutil.bool_to_int(SCOTT.CALC_T.\"BIG\"(A => :A));", "end;"}),
         {{"quorvel_value", 'i', nullptr, "1"}, {"A", 'f', "11", nullptr}}},
        {"method procedure", L({"begin", "  SCOTT.CALC_T.\"NOTE\"(A => :A);", "end;"}), {{"A", 's', "hi", "hi!"}}},
        {"schema-qualified constructor", "declare c calc_t := scott.calc_t(5); begin :n := c.n; end;", {{"n", 'i', nullptr, "5"}}},
        // member methods on a variable declared as the object's method call declares it (the object
        // itself comes from the client's object cache, which the stand-in does not have yet)
        {"setup", "create type pt_t as object (x number, member function norm return number, member procedure scale(f number))", {}},
        {"setup", "create type body pt_t as member function norm return number is begin return abs(x); end; "
                  "member procedure scale(f number) is begin x := x * f; end; end;", {}},
        {"member methods", L({"declare", "  quorvel_object SCOTT.PT_T;", "begin", "  quorvel_object := SCOTT.PT_T(-3);",
                              "  :quorvel_value := quorvel_object.\"NORM\"();", "  quorvel_object.\"SCALE\"(F => :F);", "  :x := quorvel_object.x;", "end;"}),
         {{"quorvel_value", 'f', nullptr, "3"}, {"F", 'f', "2", nullptr}, {"x", 'f', nullptr, "-6"}}},

        // DBMS_ALERT
        {"alert", Call("sys.dbms_alert.set_defaults(sensitivity => :sensitivity);"), {{"sensitivity", 'i', "1", nullptr}}},
        {"alert", Call("sys.dbms_alert.register(name => :name);"), {{"name", 's', "stock_low", nullptr}}},
        {"alert", Call("sys.dbms_alert.signal(name => :name, message => :message);"), {{"name", 's', "stock_low", nullptr}, {"message", 's', "item 7", nullptr}}},
        {"setup", "commit", {}},
        {"alert", Call("sys.dbms_alert.waitone(name => :name, message => :message, status => :status, timeout => :timeout);"),
         {{"name", 's', "stock_low", nullptr}, {"message", 's', nullptr, "item 7"}, {"status", 'i', nullptr, "0"}, {"timeout", 'i', "0", nullptr}}},
        {"alert", Call("sys.dbms_alert.waitany(name => :name, message => :message, status => :status, timeout => :timeout);"),
         {{"name", 's', nullptr, nullptr}, {"message", 's', nullptr, nullptr}, {"status", 'i', nullptr, "1"}, {"timeout", 'i', "0", nullptr}}},
        {"alert", Call("sys.dbms_alert.remove(name => :name);"), {{"name", 's', "stock_low", nullptr}}},
        {"alert", Call("sys.dbms_alert.removeall;"), {}},

        // DBMS_APPLICATION_INFO
        {"application info", Call("sys.dbms_application_info.set_module(module_name => :module_name, action_name => :action_name);"),
         {{"module_name", 's', "Installer", nullptr}, {"action_name", 's', "start", nullptr}}},
        {"application info", Call("sys.dbms_application_info.set_action(action_name => :action_name);"), {{"action_name", 's', "warehouse.sql", nullptr}}},
        {"application info", Call("sys.dbms_application_info.read_module(module_name => :module_name, action_name => :action_name);"),
         {{"module_name", 's', nullptr, "Installer"}, {"action_name", 's', nullptr, "warehouse.sql"}}},
        {"application info", Call("sys.dbms_application_info.set_client_info(client_info => :client_info);"), {{"client_info", 's', "ws-17", nullptr}}},
        {"application info", Call("sys.dbms_application_info.read_client_info(client_info => :client_info);"), {{"client_info", 's', nullptr, "ws-17"}}},

        // DBMS_JOB
        {"job", BoolCall("no_parse", "sys.dbms_job.submit(job => :job, what => :what, next_date => :next_date, interval => :interval, no_parse => quorvel__boolean1);"),
         {{"job", 'i', nullptr, "*"}, {"what", 's', "null;", nullptr}, {"next_date", 'd', "2030-01-01 00:00:00", nullptr},
          {"interval", 's', "sysdate + 1", nullptr}, {"no_parse", 'i', "0", "0"}}},
        {"job", Call("sys.dbms_job.change(job => :job, what => :what, next_date => :next_date, interval => :interval);"),
         {{"job", 'i', "$job", nullptr}, {"what", 's', "update t93 set sal = sal + 1;", nullptr}, {"next_date", 'd', "2030-01-02 00:00:00", nullptr},
          {"interval", 's', "sysdate + 2", nullptr}}},
        {"job", Call("sys.dbms_job.what(job => :job, what => :what);"), {{"job", 'i', "$job", nullptr}, {"what", 's', "update t93 set sal = sal + 10;", nullptr}}},
        {"job", Call("sys.dbms_job.next_date(job => :job, next_date => :next_date);"), {{"job", 'i', "$job", nullptr}, {"next_date", 'd', "2030-02-01 00:00:00", nullptr}}},
        {"job", Call("sys.dbms_job.interval(job => :job, interval => :interval);"), {{"job", 'i', "$job", nullptr}, {"interval", 's', "sysdate + 7", nullptr}}},
        {"job", BoolCall("broken", "sys.dbms_job.broken(job => :job, broken => quorvel__boolean1, next_date => :next_date);"),
         {{"job", 'i', "$job", nullptr}, {"broken", 'i', "1", "1"}, {"next_date", 'd', "2030-03-01 00:00:00", nullptr}}},
        {"job", Call("sys.dbms_job.run(job => :job);"), {{"job", 'i', "$job", nullptr}}},
        {"job ran", "begin select sal into :sal from t93 where id = 1; end;", {{"sal", 'i', nullptr, "60"}}},
        {"job", Call("sys.dbms_job.remove(job => :job);"), {{"job", 'i', "$job", nullptr}}},

        // DBMS_OUTPUT
        {"output", Call("sys.dbms_output.enable(buffer_size => :buffer_size);"), {{"buffer_size", 'i', "20000", nullptr}}},
        {"output", Call("sys.dbms_output.put(a => :a);"), {{"a", 's', "x", nullptr}}},
        {"output", Call("sys.dbms_output.put_line(a => :a);"), {{"a", 's', "y", nullptr}}},
        {"output", Call("sys.dbms_output.new_line;"), {}},
        {"output", Call("sys.dbms_output.put_line(a => :a);"), {{"a", 's', "last", nullptr}}},
        {"output", Call("sys.dbms_output.get_line(line => :line, status => :status);"), {{"line", 's', nullptr, "xy"}, {"status", 'i', nullptr, "0"}}},
        {"output lines", L({"begin", "  sys.dbms_output.get_lines(lines => :lines, numlines => :numlines);", "end;"}),
         {{"lines", 't', nullptr, "|last"}, {"numlines", 'i', "3", "2"}}},
        {"output", Call("sys.dbms_output.get_line(line => :line, status => :status);"), {{"line", 's', nullptr, "<null>"}, {"status", 'i', nullptr, "1"}}},
        {"output", Call("sys.dbms_output.disable;"), {}},

        // DBMS_PIPE: one message of every item type, packed, sent, received and unpacked
        {"setup", "begin select rowid into :rid from t93 where id = 1; end;", {{"rid", 's', nullptr, "*"}}},
        {"pipe", BoolCall("private", ":quorvel__value := sys.dbms_pipe.create_pipe(pipename => :pipename, maxpipesize => :maxpipesize, private => quorvel__boolean1);"),
         {{"quorvel__value", 'i', nullptr, "0"}, {"pipename", 's', "orders", nullptr}, {"maxpipesize", 'i', "8192", nullptr}, {"private", 'i', "1", "1"}}},
        {"pipe", Call("sys.dbms_pipe.pack_message(item => :item);"), {{"item", 's', "text item", nullptr}}},
        {"pipe", Call("sys.dbms_pipe.pack_message(item => :item);"), {{"item", 'f', "2.5", nullptr}}},
        {"pipe", Call("sys.dbms_pipe.pack_message(item => :item);"), {{"item", 'd', "2024-05-06 07:08:09", nullptr}}},
        {"pipe", Call("sys.dbms_pipe.pack_message_raw(item => :item);"), {{"item", 's', "0A0B", nullptr}}},
        {"pipe", Call("sys.dbms_pipe.pack_message_rowid(item => :item);"), {{"item", 's', "$rid", nullptr}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.send_message(pipename => :pipename, timeout => :timeout, maxpipesize => :maxpipesize);"),
         {{"quorvel__value", 'i', nullptr, "0"}, {"pipename", 's', "orders", nullptr}, {"timeout", 'i', "0", nullptr}, {"maxpipesize", 'i', "8192", nullptr}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.receive_message(pipename => :pipename, timeout => :timeout);"),
         {{"quorvel__value", 'i', nullptr, "0"}, {"pipename", 's', "orders", nullptr}, {"timeout", 'i', "0", nullptr}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.next_item_type;"), {{"quorvel__value", 'i', nullptr, "9"}}},
        {"pipe", Call("sys.dbms_pipe.unpack_message(item => :item);"), {{"item", 's', nullptr, "text item"}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.next_item_type;"), {{"quorvel__value", 'i', nullptr, "6"}}},
        {"pipe", Call("sys.dbms_pipe.unpack_message(item => :item);"), {{"item", 'f', nullptr, "2.5"}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.next_item_type;"), {{"quorvel__value", 'i', nullptr, "12"}}},
        {"pipe", Call("sys.dbms_pipe.unpack_message(item => :item);"), {{"item", 'd', nullptr, "2024-05-06 07:08:09"}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.next_item_type;"), {{"quorvel__value", 'i', nullptr, "23"}}},
        {"pipe", Call("sys.dbms_pipe.unpack_message_raw(item => :item);"), {{"item", 's', nullptr, "0A0B"}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.next_item_type;"), {{"quorvel__value", 'i', nullptr, "11"}}},
        {"pipe", Call("sys.dbms_pipe.unpack_message_rowid(item => :item);"), {{"item", 's', nullptr, "$rid"}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.next_item_type;"), {{"quorvel__value", 'i', nullptr, "0"}}},
        {"pipe", Call("sys.dbms_pipe.reset_buffer;"), {}},
        {"pipe", Call("sys.dbms_pipe.purge(pipename => :pipename);"), {{"pipename", 's', "orders", nullptr}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.remove_pipe(pipename => :pipename);"), {{"quorvel__value", 'i', nullptr, "0"}, {"pipename", 's', "orders", nullptr}}},
        {"pipe", Call(":quorvel__value := sys.dbms_pipe.unique_session_name;"), {{"quorvel__value", 's', nullptr, "*"}}},

        // UTL_FILE through the file record block
        {"file", FileCall("fh := sys.utl_file.fopen(location => :location, filename => :filename, open_mode => :open_mode);"),
         {{"afile", 'i', "0", "*"}, {"error", 'i', nullptr, "0"}, {"location", 's', "MODULE_FILES", nullptr}, {"filename", 's', "log.txt", nullptr},
          {"open_mode", 's', "w", nullptr}}},
        {"file", FileCall("if sys.utl_file.is_open(file => fh) then :r := 1; else :r := 0; end if;"),
         {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "0"}, {"r", 'i', nullptr, "1"}}},
        {"file", FileCall("sys.utl_file.put(file => fh, buffer => :buffer);"), {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "0"}, {"buffer", 's', "head", nullptr}}},
        {"file", FileCall("sys.utl_file.new_line(file => fh, lines => :lines);"), {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "0"}, {"lines", 'i', "1", nullptr}}},
        {"file", FileCall("sys.utl_file.put_line(file => fh, buffer => :buffer);"), {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "0"}, {"buffer", 's', "body", nullptr}}},
        {"file", FileCall("sys.utl_file.putf(file => fh, format => :format, arg1 => :arg1, arg2 => :arg2);"),
         {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "0"}, {"format", 's', "%s=%s\\n", nullptr}, {"arg1", 's', "k", nullptr}, {"arg2", 's', "v", nullptr}}},
        {"file", FileCall("sys.utl_file.fflush(file => fh);"), {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "0"}}},
        {"file", FileCall("sys.utl_file.fclose(file => fh);"), {{"afile", 'i', "$afile", "<null>"}, {"error", 'i', nullptr, "0"}}},
        {"file", FileCall("fh := sys.utl_file.fopen(location => :location, filename => :filename, open_mode => :open_mode);"),
         {{"afile", 'i', "0", "*"}, {"error", 'i', nullptr, "0"}, {"location", 's', "MODULE_FILES", nullptr}, {"filename", 's', "log.txt", nullptr},
          {"open_mode", 's', "r", nullptr}}},
        {"file", FileCall("sys.utl_file.get_line(file => fh, buffer => :buffer);"), {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "0"}, {"buffer", 's', nullptr, "head"}}},
        {"file", FileCall("sys.utl_file.get_line(file => fh, buffer => :buffer);"), {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "0"}, {"buffer", 's', nullptr, "body"}}},
        {"file", FileCall("sys.utl_file.get_line(file => fh, buffer => :buffer);"), {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "0"}, {"buffer", 's', nullptr, "k=v"}}},
        {"file", FileCall("sys.utl_file.fclose_all;"), {{"afile", 'i', nullptr, nullptr}, {"error", 'i', nullptr, "0"}}},
        {"file", FileCall("sys.utl_file.get_line(file => fh, buffer => :buffer);"), {{"afile", 'i', "$afile", nullptr}, {"error", 'i', nullptr, "3"}, {"buffer", 's', nullptr, nullptr}}},
        {"file", FileCall("fh := sys.utl_file.fopen(location => :location, filename => :filename, open_mode => :open_mode);"),
         {{"afile", 'i', "0", nullptr}, {"error", 'i', nullptr, "1"}, {"location", 's', "NO_SUCH_DIR", nullptr}, {"filename", 's', "log.txt", nullptr},
          {"open_mode", 's', "w", nullptr}}},

        // the data set: defaults and check constraints
        {"defaults", L({"begin", "  :SAL := 100;", "  :NAME := 'x';", "end;"}), {{"SAL", 'i', nullptr, "100"}, {"NAME", 's', nullptr, "x"}}},
        {"check constraint", L({"begin", "  if not (:SAL > 0) then", "    :error := 2290;", "  else", "    :error := 0;", "  end if;", "end;"}),
         {{"SAL", 'i', "-5", nullptr}, {"error", 'i', nullptr, "2290"}}},
        {"check constraint", L({"begin", "  select SAL into :SAL from T93 where rowid = :quorvel__rowid;", "  if not (:SAL > 0) then", "    :error := 2290;",
                                "  else", "    :error := 0;", "  end if;", "exception", "  when others then :error := 0;", "end;"}),
         {{"SAL", 'i', nullptr, "60"}, {"quorvel__rowid", 's', "$rid", nullptr}, {"error", 'i', nullptr, "0"}}},
    };
    for (const Step& s : steps) {
        RunStep(s);
        if (HasFatalFailure()) return;
    }
    std::ifstream in(files + "/log.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "head\nbody\nk=v\n");
}

// The owner-and-name block finds the user's table, view, synonym or a public synonym, in that
// order, and answers NULL for a name that is none of them.
TEST_F(QuotedBlocks, TheTableOwnerBlockResolvesEveryKindOfName) {
    Ok("create table t93 (id number)");
    Ok("create view v93 as select id from t93");
    Ok("create synonym s93 for t93");
    const std::string block = L({"begin", "  begin", "    select user, table_name into :table_owner, :table_name", "      from sys.user_tables where table_name = :name;",
                                 "  exception when no_data_found then", "    begin", "      select user, view_name into :table_owner, :table_name",
                                 "        from sys.user_views where view_name = :name;", "    exception when no_data_found then", "      begin",
                                 "        select table_owner, table_name into :table_owner, :table_name", "          from sys.user_synonyms where synonym_name = :name;",
                                 "      exception when no_data_found then", "        begin", "          select table_owner, table_name into :table_owner, :table_name",
                                 "            from sys.all_synonyms where owner = 'PUBLIC' and synonym_name = :name;", "        exception when no_data_found then",
                                 "          :table_owner := null; :table_name := null;", "        end;", "      end;", "    end;", "  end;", "end;"});
    struct Case { const char* name; const char* owner; const char* table; };
    const Case cases[] = {{"T93", "SCOTT", "T93"}, {"V93", "SCOTT", "V93"}, {"S93", "SCOTT", "T93"}, {"DUAL", "SYS", "DUAL"}, {"NOTHING", "<null>", "<null>"}};
    for (const Case& c : cases)
        RunStep({c.name, block, {{"table_owner", 's', nullptr, c.owner}, {"table_name", 's', nullptr, c.table}, {"name", 's', c.name, nullptr}}});
}

} // namespace
