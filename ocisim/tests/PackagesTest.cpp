// The standard server packages, called through OCI with the blocks the component library sends
// for them (package calls in named notation, the UTL_FILE file record, PL/SQL table binds).
#include "ocisim/tests/OciFixture.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace ocitest;
using namespace std::chrono_literals;

// The binds of one PL/SQL block, by name: integers and strings, in and out, NULL allowed.
struct Binds {
    struct Slot {
        bool isInt = true;
        sb4 i = 0;
        std::vector<char> s = std::vector<char>(4001, 0);
        sb2 ind = -1;
    };
    std::map<std::string, std::unique_ptr<Slot>> slots;
    std::vector<std::string> order;

    Binds& Int(const std::string& name, std::optional<long> v = std::nullopt) {
        auto& s = Add(name);
        s.isInt = true;
        if (v) { s.i = static_cast<sb4>(*v); s.ind = 0; }
        return *this;
    }
    Binds& Str(const std::string& name, std::optional<std::string> v = std::nullopt) {
        auto& s = Add(name);
        s.isInt = false;
        if (v) { std::memcpy(s.s.data(), v->c_str(), v->size() + 1); s.ind = 0; }
        return *this;
    }
    Slot& Add(const std::string& name) {
        order.push_back(name);
        return *(slots[name] = std::make_unique<Slot>());
    }
    bool IsNull(const std::string& name) const { return slots.at(name)->ind == -1; }
    long I(const std::string& name) const { return slots.at(name)->i; }
    std::string S(const std::string& name) const { return IsNull(name) ? "<null>" : std::string(slots.at(name)->s.data()); }
};

class Packages : public Db {
protected:
    // Runs `block` with `b` on `on` (this session by default); the status of the execute.
    sword Run(const std::string& block, Binds& b, OCISvcCtx* on = nullptr, OCIError* e = nullptr) {
        e = e ? e : err;
        OCIStmt* st = nullptr;
        OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
        EXPECT_EQ(OCIStmtPrepare(st, e, (const OraText*)block.data(), (ub4)block.size(), OCI_NTV_SYNTAX, OCI_DEFAULT), OCI_SUCCESS);
        for (const auto& name : b.order) {
            auto& s = *b.slots[name];
            OCIBind* bh = nullptr;
            std::string ph = ":" + name;
            if (s.isInt) OCIBindByName(st, &bh, e, (const OraText*)ph.c_str(), -1, &s.i, 4, SQLT_INT, &s.ind, nullptr, nullptr, 0, nullptr, 0);
            else OCIBindByName(st, &bh, e, (const OraText*)ph.c_str(), -1, s.s.data(), (sb4)s.s.size(), SQLT_STR, &s.ind, nullptr, nullptr, 0, nullptr, 0);
        }
        sword r = OCIStmtExecute(on ? on : svc, st, e, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }
    sword Run(const std::string& block) {
        Binds none;
        return Run(block, none);
    }
    // Skips the test while the engine runs no PL/SQL.
    void SetUp() override {
        Db::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (Run("begin null; end;") == OCI_ERROR && ErrCode(err) == 3001) GTEST_SKIP() << "the engine runs no PL/SQL yet";
    }
    // A second session on the same database.
    OCISvcCtx* Second(OCIError** e, const char* user = "SCOTT", const char* pw = "TIGER") {
        OCIHandleAlloc(env, (void**)e, OCI_HTYPE_ERROR, 0, nullptr);
        OCISvcCtx* s = nullptr;
        EXPECT_EQ(OCILogon(env, *e, &s, (const OraText*)user, (ub4)strlen(user), (const OraText*)pw, (ub4)strlen(pw),
                           (const OraText*)dir.c_str(), (ub4)dir.size()), OCI_SUCCESS) << ErrText(*e);
        return s;
    }
    // Skips the rest of a test while the interpreter treats the BOOLEAN result of a server package
    // function (NativePackage::ReturnsBoolean) as a number.
    bool BooleanResultsMissing() {
        return ErrText(err).find("PLS-00382") != std::string::npos;
    }
    // The block a named-mode package call sends: "begin", the call, "end;".
    static std::string Call(const std::string& call) { return "begin\n  " + call + "\nend;"; }
};

TEST_F(Packages, OutputLinesComeBackThroughGetLineAndAPlsqlTable) {
    Binds enable;
    enable.Int("buffer_size", 20000);
    ASSERT_EQ(Run(Call("sys.dbms_output.enable(buffer_size => :buffer_size);"), enable), OCI_SUCCESS) << ErrText(err);
    for (const char* line : {"first", "second", "third"}) {
        Binds put;
        put.Str("a", line);
        ASSERT_EQ(Run(Call("sys.dbms_output.put_line(a => :a);"), put), OCI_SUCCESS) << ErrText(err);
    }
    Binds get;
    get.Str("line").Int("status");
    ASSERT_EQ(Run(Call("sys.dbms_output.get_line(line => :line, status => :status);"), get), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(get.S("line"), "first");
    EXPECT_EQ(get.I("status"), 0);

    // GET_LINES into a table of 3 elements of 255 characters: two lines are left
    OCIStmt* st = Prepare("begin\n  sys.dbms_output.get_lines(lines => :lines, numlines => :numlines);\nend;");
    char lines[3][256] = {};
    sb2 inds[3] = {-1, -1, -1};
    ub2 lens[3] = {0, 0, 0};
    ub4 cur = 0;
    sb4 numlines = 3;
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":lines", -1, lines, 256, SQLT_STR, inds, lens, nullptr, 3, &cur, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":numlines", -1, &numlines, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(numlines, 2);
    EXPECT_EQ(cur, 2u);
    EXPECT_STREQ(lines[0], "second");
    EXPECT_STREQ(lines[1], "third");
    OCIHandleFree(st, OCI_HTYPE_STMT);

    get = Binds();
    get.Str("line").Int("status");
    ASSERT_EQ(Run(Call("sys.dbms_output.get_line(line => :line, status => :status);"), get), OCI_SUCCESS) << ErrText(err);
    EXPECT_TRUE(get.IsNull("line"));
    EXPECT_EQ(get.I("status"), 1);

    // overflow of a small buffer (a second ENABLE keeps the larger size, so disable first)
    ASSERT_EQ(Run("begin dbms_output.disable; dbms_output.enable(2000); for i in 1 .. 100 loop dbms_output.put_line(rpad('x', 100, 'x')); end loop; end;"), OCI_ERROR);
    EXPECT_EQ(ErrText(err).substr(0, 58), "ORA-20000: ORU-10027: buffer overflow, limit of 2000 bytes");
}

TEST_F(Packages, TransactionIdIsNullOutsideATransactionAndStableWithinOne) {
    const char* block = "begin :id := sys.dbms_transaction.local_transaction_id; end;";
    Binds id;
    id.Str("id");
    ASSERT_EQ(Run(block, id), OCI_SUCCESS) << ErrText(err);
    EXPECT_TRUE(id.IsNull("id"));
    ASSERT_EQ(Exec("update dept set loc = loc where deptno = 10"), OCI_SUCCESS) << ErrText(err);
    Binds a, b;
    a.Str("id");
    b.Str("id");
    ASSERT_EQ(Run(block, a), OCI_SUCCESS);
    ASSERT_EQ(Run(block, b), OCI_SUCCESS);
    EXPECT_FALSE(a.IsNull("id"));
    EXPECT_EQ(a.S("id"), b.S("id"));
    ASSERT_EQ(OCITransCommit(svc, err, 0), OCI_SUCCESS);
    Binds after;
    after.Str("id");
    ASSERT_EQ(Run(block, after), OCI_SUCCESS);
    EXPECT_TRUE(after.IsNull("id"));
}

TEST_F(Packages, WorkspaceLiveIsAcceptedAndAnUnknownOneFails) {
    Binds ws;
    ws.Str("ws", "LIVE");
    EXPECT_EQ(Run("begin dbms_wm.gotoworkspace(:ws); end;", ws), OCI_SUCCESS) << ErrText(err);
    Binds other;
    other.Str("ws", "NOSUCH");
    EXPECT_EQ(Run("begin dbms_wm.gotoworkspace(:ws); end;", other), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 20000);
}

TEST_F(Packages, BooleansCrossThroughDiutil) {
    // the block a package call with a BOOLEAN parameter and a BOOLEAN result sends
    Binds b;
    b.Int("quorvel__value").Int("p1", 1);
    sword r = Run("declare\r\n  quorvel__boolean1 boolean := sys.diutil.int_to_bool(:p1);\nbegin\n"
                  "  :quorvel__value := sys.diutil.bool_to_int(not quorvel__boolean1);\n"
                  "  :p1 := sys.diutil.bool_to_int(quorvel__boolean1);\nend;", b);
    if (r != OCI_SUCCESS && BooleanResultsMissing()) GTEST_SKIP() << "BOOLEAN results of server packages: " << ErrText(err);
    ASSERT_EQ(r, OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(b.I("quorvel__value"), 0);
    EXPECT_EQ(b.I("p1"), 1);
}

// The UTL_FILE block of the component library: the file record carried as its number in :afile.
std::string FileBlock(const std::string& statement) {
    return "declare\n  fh sys.utl_file.file_type;\nbegin\n  fh.id := :afile;\n  " + statement +
           "\n  :afile := fh.id;\n  :error := 0;\nexception\n"
           "  when sys.utl_file.invalid_path then :error := 1;\n"
           "  when sys.utl_file.invalid_mode then :error := 2;\n"
           "  when sys.utl_file.invalid_filehandle then :error := 3;\n"
           "  when sys.utl_file.invalid_operation then :error := 4;\n"
           "  when sys.utl_file.read_error then :error := 5;\n"
           "  when sys.utl_file.write_error then :error := 6;\n"
           "  when sys.utl_file.internal_error then :error := 7;\nend;";
}

TEST_F(Packages, UtlFileWritesAndReadsThroughTheFileRecordBlock) {
    std::string files = dir + "/files";
    std::filesystem::create_directories(files);
    OCIError* e2 = nullptr;
    OCISvcCtx* system = Second(&e2, "SYSTEM", "MANAGER");
    OCIStmt* ddl = Prepare("create or replace directory module_files as '" + files + "'");
    ASSERT_EQ(OCIStmtExecute(system, ddl, e2, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(e2);
    OCIHandleFree(ddl, OCI_HTYPE_STMT);
    OCILogoff(system, e2);

    auto fopen = [&](const char* location, const char* mode, Binds& b) {
        b.Int("afile", 0).Int("error").Str("location", location).Str("filename", "log.txt").Str("open_mode", mode);
        return Run(FileBlock("fh := sys.utl_file.fopen(location => :location, filename => :filename, open_mode => :open_mode);"), b);
    };
    Binds open;
    ASSERT_EQ(fopen("MODULE_FILES", "w", open), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(open.I("error"), 0);
    long handle = open.I("afile");
    for (const char* line : {"one", "two"}) {
        Binds put;
        put.Int("afile", handle).Int("error").Str("buffer", line);
        ASSERT_EQ(Run(FileBlock("sys.utl_file.put_line(file => fh, buffer => :buffer);"), put), OCI_SUCCESS) << ErrText(err);
        EXPECT_EQ(put.I("error"), 0);
    }
    Binds putf;
    putf.Int("afile", handle).Int("error").Str("format", "%s-%s\\n").Str("arg1", "a").Str("arg2", "b");
    ASSERT_EQ(Run(FileBlock("sys.utl_file.putf(file => fh, format => :format, arg1 => :arg1, arg2 => :arg2);"), putf), OCI_SUCCESS) << ErrText(err);
    Binds close;
    close.Int("afile", handle).Int("error");
    ASSERT_EQ(Run(FileBlock("sys.utl_file.fclose(file => fh);"), close), OCI_SUCCESS) << ErrText(err);
    EXPECT_TRUE(close.IsNull("afile"));   // the closed record has no number any more
    std::ifstream in(files + "/log.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "one\ntwo\na-b\n");

    // an unknown directory object and a bad mode come back as the package's named exceptions
    Binds bad;
    ASSERT_EQ(fopen("NO_SUCH_DIR", "w", bad), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(bad.I("error"), 1);
    Binds mode;
    ASSERT_EQ(fopen("MODULE_FILES", "z", mode), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(mode.I("error"), 2);
    Binds stale;
    stale.Int("afile", handle).Int("error").Str("buffer", "x");
    ASSERT_EQ(Run(FileBlock("sys.utl_file.put(file => fh, buffer => :buffer);"), stale), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(stale.I("error"), 3);

    // reading to the end: NO_DATA_FOUND is no UTL_FILE exception and reaches the client
    Binds reader;
    ASSERT_EQ(fopen("MODULE_FILES", "r", reader), OCI_SUCCESS) << ErrText(err);
    std::vector<std::string> got;
    for (int k = 0; k < 3; ++k) {
        Binds get;
        get.Int("afile", reader.I("afile")).Int("error").Str("buffer");
        ASSERT_EQ(Run(FileBlock("sys.utl_file.get_line(file => fh, buffer => :buffer);"), get), OCI_SUCCESS) << ErrText(err);
        got.push_back(get.S("buffer"));
    }
    EXPECT_EQ(got, (std::vector<std::string>{"one", "two", "a-b"}));
    Binds end;
    end.Int("afile", reader.I("afile")).Int("error").Str("buffer");
    EXPECT_EQ(Run(FileBlock("sys.utl_file.get_line(file => fh, buffer => :buffer);"), end), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1403);

    Binds all;
    all.Int("afile").Int("error");
    ASSERT_EQ(Run(FileBlock("sys.utl_file.fclose_all;"), all), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(all.I("error"), 0);
    Binds closed;
    closed.Int("afile", reader.I("afile")).Int("error").Str("buffer");
    ASSERT_EQ(Run(FileBlock("sys.utl_file.get_line(file => fh, buffer => :buffer);"), closed), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(closed.I("error"), 3);

    // the named exceptions are visible to any block
    ASSERT_EQ(Run("declare f utl_file.file_type; begin f := utl_file.fopen('MODULE_FILES', '../escape.txt', 'w'); "
                  "exception when utl_file.invalid_filename then raise_application_error(-20001, 'refused'); end;"), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 20001);
    EXPECT_FALSE(std::filesystem::exists(dir + "/escape.txt"));
}

TEST_F(Packages, UtlFileIsOpenAnswersWhetherTheRecordNamesAnOpenFile) {
    std::string files = dir + "/files";
    std::filesystem::create_directories(files);
    OCIError* e2 = nullptr;
    OCISvcCtx* system = Second(&e2, "SYSTEM", "MANAGER");
    OCIStmt* ddl = Prepare("create directory module_files as '" + files + "'");
    ASSERT_EQ(OCIStmtExecute(system, ddl, e2, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(e2);
    OCIHandleFree(ddl, OCI_HTYPE_STMT);
    OCILogoff(system, e2);
    Binds open;
    open.Int("afile", 0).Int("error").Str("location", "MODULE_FILES").Str("filename", "f.txt").Str("open_mode", "w");
    ASSERT_EQ(Run(FileBlock("fh := sys.utl_file.fopen(location => :location, filename => :filename, open_mode => :open_mode);"), open), OCI_SUCCESS) << ErrText(err);
    const char* isOpen = "if sys.utl_file.is_open(file => fh) then :r := 1; else :r := 0; end if;";
    Binds yes;
    yes.Int("afile", open.I("afile")).Int("error").Int("r");
    sword r = Run(FileBlock(isOpen), yes);
    if (r != OCI_SUCCESS && BooleanResultsMissing()) GTEST_SKIP() << "BOOLEAN results of server packages: " << ErrText(err);
    ASSERT_EQ(r, OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(yes.I("r"), 1);
    Binds close;
    close.Int("afile", open.I("afile")).Int("error");
    ASSERT_EQ(Run(FileBlock("sys.utl_file.fclose(file => fh);"), close), OCI_SUCCESS) << ErrText(err);
    Binds no;
    no.Int("afile", open.I("afile")).Int("error").Int("r");
    ASSERT_EQ(Run(FileBlock(isOpen), no), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(no.I("r"), 0);
}

TEST_F(Packages, PipeMessagesTravelBetweenSessions) {
    OCIError* e2 = nullptr;
    OCISvcCtx* other = Second(&e2);
    Binds pack;
    pack.Str("item", "hello");
    ASSERT_EQ(Run(Call("sys.dbms_pipe.pack_message(item => :item);"), pack), OCI_SUCCESS) << ErrText(err);
    Binds num;
    num.Int("item", 42);
    ASSERT_EQ(Run(Call("sys.dbms_pipe.pack_message(item => :item);"), num), OCI_SUCCESS) << ErrText(err);
    Binds send;
    send.Int("quorvel__value").Str("pipename", "orders").Int("timeout", 0).Int("maxpipesize", 8192);
    ASSERT_EQ(Run(Call(":quorvel__value := sys.dbms_pipe.send_message(pipename => :pipename, timeout => :timeout, maxpipesize => :maxpipesize);"), send), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(send.I("quorvel__value"), 0);

    Binds receive;
    receive.Int("quorvel__value").Str("pipename", "orders").Int("timeout", 5);
    ASSERT_EQ(Run(Call(":quorvel__value := sys.dbms_pipe.receive_message(pipename => :pipename, timeout => :timeout);"), receive, other, e2), OCI_SUCCESS) << ErrText(e2);
    EXPECT_EQ(receive.I("quorvel__value"), 0);
    Binds type;
    type.Int("quorvel__value");
    ASSERT_EQ(Run(Call(":quorvel__value := sys.dbms_pipe.next_item_type;"), type, other, e2), OCI_SUCCESS) << ErrText(e2);
    EXPECT_EQ(type.I("quorvel__value"), 9);
    Binds text;
    text.Str("item");
    ASSERT_EQ(Run(Call("sys.dbms_pipe.unpack_message(item => :item);"), text, other, e2), OCI_SUCCESS) << ErrText(e2);
    EXPECT_EQ(text.S("item"), "hello");
    ASSERT_EQ(Run(Call(":quorvel__value := sys.dbms_pipe.next_item_type;"), type, other, e2), OCI_SUCCESS) << ErrText(e2);
    EXPECT_EQ(type.I("quorvel__value"), 6);

    // nothing more: a receive with a timeout answers 1
    Binds empty;
    empty.Int("quorvel__value").Str("pipename", "orders").Int("timeout", 0);
    ASSERT_EQ(Run(Call(":quorvel__value := sys.dbms_pipe.receive_message(pipename => :pipename, timeout => :timeout);"), empty, other, e2), OCI_SUCCESS) << ErrText(e2);
    EXPECT_EQ(empty.I("quorvel__value"), 1);
    OCILogoff(other, e2);
}

TEST_F(Packages, AReceiverWaitsWhileAnotherSessionSends) {
    OCIError* e2 = nullptr;
    OCISvcCtx* other = Second(&e2);
    Binds receive;
    receive.Int("quorvel__value").Str("pipename", "later").Int("timeout", 5);
    sword status = OCI_SUCCESS;
    std::atomic<bool> started{false};
    std::thread receiver([&] {
        started = true;
        status = Run(Call(":quorvel__value := sys.dbms_pipe.receive_message(pipename => :pipename, timeout => :timeout);"), receive, other, e2);
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(200ms);
    // the waiting session leaves the database to the others meanwhile
    ASSERT_EQ(Run("begin dbms_pipe.pack_message('sent while waiting'); if dbms_pipe.send_message('later') <> 0 then raise program_error; end if; end;"),
              OCI_SUCCESS) << ErrText(err);
    receiver.join();
    ASSERT_EQ(status, OCI_SUCCESS) << ErrText(e2);
    EXPECT_EQ(receive.I("quorvel__value"), 0);
    Binds text;
    text.Str("item");
    ASSERT_EQ(Run(Call("sys.dbms_pipe.unpack_message(item => :item);"), text, other, e2), OCI_SUCCESS) << ErrText(e2);
    EXPECT_EQ(text.S("item"), "sent while waiting");
    OCILogoff(other, e2);
}

TEST_F(Packages, AlertArrivesAfterTheSignallingCommit) {
    OCIError* e2 = nullptr;
    OCISvcCtx* other = Second(&e2);
    Binds reg;
    reg.Str("name", "PRICES");
    ASSERT_EQ(Run(Call("sys.dbms_alert.register(name => :name);"), reg, other, e2), OCI_SUCCESS) << ErrText(e2);
    Binds sig;
    sig.Str("name", "PRICES").Str("message", "changed");
    ASSERT_EQ(Run(Call("sys.dbms_alert.signal(name => :name, message => :message);"), sig), OCI_SUCCESS) << ErrText(err);
    const char* wait = "sys.dbms_alert.waitone(name => :name, message => :message, status => :status, timeout => :timeout);";
    Binds before;
    before.Str("name", "PRICES").Str("message").Int("status").Int("timeout", 0);
    ASSERT_EQ(Run(Call(wait), before, other, e2), OCI_SUCCESS) << ErrText(e2);
    EXPECT_EQ(before.I("status"), 1);
    ASSERT_EQ(OCITransCommit(svc, err, 0), OCI_SUCCESS);
    Binds after;
    after.Str("name", "PRICES").Str("message").Int("status").Int("timeout", 5);
    ASSERT_EQ(Run(Call(wait), after, other, e2), OCI_SUCCESS) << ErrText(e2);
    EXPECT_EQ(after.I("status"), 0);
    EXPECT_EQ(after.S("message"), "changed");
    OCILogoff(other, e2);
}

TEST_F(Packages, JobsAreSubmittedChangedAndRemoved) {
    Binds submit;
    submit.Int("job").Str("what", "null;").Str("interval", "sysdate + 1");
    ASSERT_EQ(Run(Call("sys.dbms_job.submit(job => :job, what => :what, next_date => sysdate, interval => :interval);"), submit),
              OCI_SUCCESS) << ErrText(err);
    std::string job = std::to_string(submit.I("job"));
    EXPECT_EQ(Scalar("select what || '|' || interval || '|' || broken from user_jobs where job = " + job), "null;|sysdate + 1|N");
    Binds what;
    what.Int("job", submit.I("job")).Str("what", "begin null; end;");
    ASSERT_EQ(Run(Call("sys.dbms_job.what(job => :job, what => :what);"), what), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Run(Call("sys.dbms_job.run(job => " + job + ");")), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Scalar("select what || '|' || failures || '|' || nvl2(last_date, 'ran', 'never') from user_jobs where job = " + job),
              "begin null; end;|0|ran");
    Binds run;
    run.Int("job", submit.I("job"));
    ASSERT_EQ(Run(Call("sys.dbms_job.remove(job => :job);"), run), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Run(Call("sys.dbms_job.remove(job => :job);"), run), OCI_ERROR);
    std::string text = ErrText(err);
    EXPECT_EQ(text.substr(0, text.find('\n')), "ORA-23421: job number " + job + " is not a job in the job queue");
}

TEST_F(Packages, JobRunAsTheLibraryCallsIt) {
    Binds submit;
    submit.Int("job").Str("what", "update dept set loc = 'RAN' where deptno = 40;");
    ASSERT_EQ(Run(Call("sys.dbms_job.submit(job => :job, what => :what, next_date => sysdate, interval => 'sysdate + 1');"), submit),
              OCI_SUCCESS) << ErrText(err);
    Binds run;
    run.Int("job", submit.I("job"));
    sword r = Run(Call("sys.dbms_job.run(job => :job);"), run);
    if (r != OCI_SUCCESS && ErrText(err).find("PLS-00049") != std::string::npos)
        GTEST_SKIP() << "the job's block, run from inside a block with binds, takes the outer block's binds: " << ErrText(err);
    ASSERT_EQ(r, OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Scalar("select loc from dept where deptno = 40"), "RAN");
}

TEST_F(Packages, JobSubmitTakesNoParseAsABoolean) {
    Binds submit;
    submit.Int("job").Str("what", "null;").Str("interval", "sysdate + 1").Int("no_parse", 1);
    sword r = Run("declare\r\n  quorvel__boolean1 boolean := sys.diutil.int_to_bool(:no_parse);\nbegin\n"
                  "  sys.dbms_job.submit(job => :job, what => :what, next_date => sysdate, interval => :interval, no_parse => quorvel__boolean1);\n"
                  "  :no_parse := sys.diutil.bool_to_int(quorvel__boolean1);\nend;", submit);
    if (r != OCI_SUCCESS && BooleanResultsMissing()) GTEST_SKIP() << "BOOLEAN results of server packages: " << ErrText(err);
    ASSERT_EQ(r, OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(submit.I("no_parse"), 1);
    EXPECT_EQ(Scalar("select count(*) from user_jobs where job = " + std::to_string(submit.I("job"))), "1");
}

TEST_F(Packages, ApplicationInfoShowsInVSession) {
    Binds module;
    module.Str("module_name", "Installer").Str("action_name", "warehouse.sql");
    ASSERT_EQ(Run(Call("sys.dbms_application_info.set_module(module_name => :module_name, action_name => :action_name);"), module), OCI_SUCCESS) << ErrText(err);
    Binds info;
    info.Str("client_info", "step 3");
    ASSERT_EQ(Run(Call("sys.dbms_application_info.set_client_info(client_info => :client_info);"), info), OCI_SUCCESS) << ErrText(err);
    Binds read;
    read.Str("module_name").Str("action_name");
    ASSERT_EQ(Run(Call("sys.dbms_application_info.read_module(module_name => :module_name, action_name => :action_name);"), read), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(read.S("module_name") + "|" + read.S("action_name"), "Installer|warehouse.sql");
    std::string shown = Scalar("select module || '|' || action || '|' || client_info from v$session where audsid = userenv('SESSIONID')");
    if (shown == "||") GTEST_SKIP() << "the engine does not copy a session's application info into V$SESSION yet";
    EXPECT_EQ(shown, "Installer|warehouse.sql|step 3");
}

// A wait in a package ends with ORA-01013 when the client breaks the call, also while the wait
// runs SQL of its own between its pauses (DBMS_ALERT polls the signals).
class Breaks : public Packages, public ::testing::WithParamInterface<const char*> {};

TEST_P(Breaks, AWaitIsInterruptedByOciBreak) {
    sword status = OCI_SUCCESS;
    std::atomic<bool> started{false};
    std::thread runner([&] {
        started = true;
        status = Run(GetParam());
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(200ms);
    OCIError* e2 = nullptr;
    OCIHandleAlloc(env, (void**)&e2, OCI_HTYPE_ERROR, 0, nullptr);
    EXPECT_EQ(OCIBreak(svc, e2), OCI_SUCCESS);
    runner.join();
    EXPECT_EQ(status, OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1013);
    EXPECT_EQ(Scalar("select 1 from dual"), "1");
}

INSTANTIATE_TEST_SUITE_P(Packages, Breaks,
                         ::testing::Values("begin dbms_lock.sleep(20); end;",
                                           "declare m varchar2(100); s integer; begin dbms_alert.register('NEVER'); "
                                           "dbms_alert.waitone('NEVER', m, s, 20); end;",
                                           "declare s integer; begin s := dbms_pipe.receive_message('EMPTY', 20); end;"));

TEST_F(Packages, PackageErrorsReachTheClientWithTheirOracleCodes) {
    struct Case { const char* block; sb4 code; };
    const Case cases[] = {
        {"begin utl_file.fremove('NO_SUCH_DIR', 'a.txt'); end;", 29280},
        {"begin dbms_job.remove(424242); end;", 23421},
        {"begin dbms_job.broken(424242, true); end;", 23421},
        {"declare s integer; begin s := dbms_pipe.send_message(null); end;", 23321},
        {"declare n number; begin dbms_pipe.reset_buffer; dbms_pipe.unpack_message(n); end;", 6556},
        {"begin dbms_lock.sleep(-1); end;", 38148},
        {"declare n varchar2(30); m varchar2(100); s integer; begin dbms_alert.waitany(n, m, s, 0); end;", 20000},
        {"begin dbms_output.enable; dbms_output.put(rpad('x', 32767, 'x')); dbms_output.put('y'); end;", 20000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.block), OCI_ERROR) << c.block;
        EXPECT_EQ(ErrCode(err), c.code) << c.block << ": " << ErrText(err);
    }
}

TEST_F(Packages, ErrorStackNamesTheCaughtError) {
    Binds b;
    b.Str("s");
    ASSERT_EQ(Run("declare n number; begin select 1 into n from dual where 1 = 0; exception when others then :s := dbms_utility.format_error_stack; end;", b),
              OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(b.S("s").substr(0, 24), "ORA-01403: no data found");
    // the call stack names the stored unit that asks for it and the block that called it
    ASSERT_EQ(Run("create or replace procedure who_calls(s out varchar2) is begin s := dbms_utility.format_call_stack; end;"), OCI_SUCCESS)
        << ErrText(err);
    Binds c;
    c.Str("s");
    ASSERT_EQ(Run("begin who_calls(:s); end;", c), OCI_SUCCESS) << ErrText(err);
    std::string stack = c.S("s");
    EXPECT_EQ(stack.substr(0, 29), "----- PL/SQL Call Stack -----") << stack;
    EXPECT_NE(stack.find("procedure SCOTT.WHO_CALLS"), std::string::npos) << stack;
    EXPECT_NE(stack.find("anonymous block"), std::string::npos) << stack;
    ASSERT_EQ(Run("create or replace package who_pk is procedure p(s out varchar2); end;"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Run("create or replace package body who_pk is procedure p(s out varchar2) is begin who_calls(s); end; end;"), OCI_SUCCESS)
        << ErrText(err);
    Binds d;
    d.Str("s");
    ASSERT_EQ(Run("begin who_pk.p(:s); end;", d), OCI_SUCCESS) << ErrText(err);
    stack = d.S("s");
    size_t proc = stack.find("procedure SCOTT.WHO_CALLS"), body = stack.find("package body SCOTT.WHO_PK"), block = stack.find("anonymous block");
    EXPECT_TRUE(proc != std::string::npos && body != std::string::npos && block != std::string::npos && proc < body && body < block) << stack;
}

} // namespace
