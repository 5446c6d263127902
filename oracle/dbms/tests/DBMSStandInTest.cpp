// The server package wrappers of a session on the stand-in, each test on its own database.
#include "oracle/query/tests/QueryTestSupport.h"

#include <filesystem>
#include <fstream>

#include "base/CodePage.h"
#include "base/DateTime.h"
#include "oracle/dbms/OracleDBMS.h"

using namespace quorvel;
using quorvel::testing::RunSql;
using quorvel::testing::StandInDatabase;

namespace {

// In OCI8 mode (false) and OCI7 mode (true).
class DBMSStandIn : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!db.Create()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        session = db.LogOn(GetParam());
    }

    std::string Scalar(TOracleSession& on, const std::string& sql) {
        TOracleQuery q;
        q.SetSession(&on);
        q.SQL().SetText(sql);
        q.Execute();
        return q.Eof() ? "<none>" : q.FieldAsString(0);
    }

    StandInDatabase db;
    std::unique_ptr<TOracleSession> session;
};

TEST_P(DBMSStandIn, EverySessionOffersOneWrapperOfEachKind) {
    EXPECT_EQ(&session->DBMS_Output(), &session->DBMS_Output());
    const std::vector<std::pair<TDBMSPackage*, const char*>> wrappers = {
        {&session->DBMS_Alert(), "dbms_alert"}, {&session->DBMS_Application_Info(), "dbms_application_info"},
        {&session->DBMS_Job(), "dbms_job"},     {&session->DBMS_Output(), "dbms_output"},
        {&session->DBMS_Pipe(), "dbms_pipe"},   {&session->UTL_File(), "utl_file"},
    };
    for (const auto& [w, name] : wrappers) {
        EXPECT_EQ(w->Name(), name);
        EXPECT_EQ(w->Session(), session.get());
        EXPECT_EQ(w->Package().Session(), session.get());
        EXPECT_TRUE(session->Packages.Contains(&w->Package()));
    }
    // the wrappers go with their session; a new session has its own
    session.reset();
    auto other = db.LogOn(GetParam());
    EXPECT_EQ(other->DBMS_Pipe().Session(), other.get());
}

TEST_P(DBMSStandIn, OutputLinesAreReadOneByOneAndAsABlock) {
    TDBMS_Output& out = session->DBMS_Output();
    out.Enable(20000);
    out.Put("a");
    out.Put(Variant(42));
    out.New_Line();
    out.Put_Line("second");
    out.Put_Line(Variant(2.5));
    std::string line;
    int status = -1;
    out.Get_Line(line, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(line, "a42");
    // three asked for while two are left: both come back, and the count says so
    std::string lines;
    int n = 3;
    out.Get_Lines(lines, n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(lines, "second\r\n2.5");
    out.Get_Line(line, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(line, "");
    // a null input is an empty line; empty lines before the first text are left out of the block
    out.Put_Line(Variant::Null());
    out.Put_Line("x");
    out.Put_Line("");
    out.Put_Line("y");
    n = 10;
    out.Get_Lines(lines, n);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(lines, "x\r\n\r\ny");
    // a line of 255 two-byte characters comes back whole, in the process code page
    const unsigned codePage = AnsiCodePage();
    SetAnsiCodePage(1251);
    out.Put_Line(std::u16string(255, u'\u0416'));
    n = 1;
    out.Get_Lines(lines, n);
    SetAnsiCodePage(codePage);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(lines, std::string(255, '\xC6'));
    // the package goes on with its own calls after the block
    out.Put_Line("after");
    out.Get_Line(line, status);
    EXPECT_EQ(line, "after");
    // a disabled buffer keeps nothing
    out.Disable();
    out.Put_Line("lost");
    out.Get_Line(line, status);
    EXPECT_EQ(status, 1);
}

TEST_P(DBMSStandIn, ManyLinesAreReadATableAtATime) {
    TOracleQuery fill;
    fill.SetSession(session.get());
    fill.SQL().SetText("begin dbms_output.enable(null); for i in 1 .. 2500 loop dbms_output.put_line('line ' || i); end loop; end;");
    fill.Execute();
    TDBMS_Output& out = session->DBMS_Output();
    std::string lines;
    int n = 100000;
    out.Get_Lines(lines, n);
    EXPECT_EQ(n, 2500);
    std::string expected;
    for (int i = 1; i <= 2500; ++i) expected += (i > 1 ? "\r\n" : "") + std::string("line ") + std::to_string(i);
    EXPECT_EQ(lines, expected);
    // the table holds one call's worth, not what was asked for
    EXPECT_EQ(out.Package().Query().Variables().Data(0).ArraySize, TDBMS_Output::LinesPerCall);
    // exactly a table's worth left: the second call finds nothing more
    fill.SQL().SetText("begin for i in 1 .. 1000 loop dbms_output.put_line('x'); end loop; end;");
    fill.Execute();
    n = 1001;
    out.Get_Lines(lines, n);
    EXPECT_EQ(n, 1000);
}

TEST_P(DBMSStandIn, PipeItemsKeepTheirTypesBetweenSessions) {
    auto other = db.LogOn(GetParam());
    TDBMS_Pipe& send = session->DBMS_Pipe();
    TDBMS_Pipe& receive = other->DBMS_Pipe();
    const TDateTime day = EncodeDate(2020, 5, 17);
    send.Pack_Message("hello");
    send.Pack_Message(Variant(42));
    send.Pack_Message(Variant(day));
    send.Pack_Message_Raw("0A0B");
    send.Pack_Message(Variant(int64_t(7)));
    const std::string rowid = Scalar(*session, "select rowid from dept where deptno = 10");
    send.Pack_Message_Rowid(rowid);
    send.Pack_Message_Rowid(rowid);
    EXPECT_EQ(send.Send_Message("orders", 0, 8192), 0);

    EXPECT_EQ(receive.Receive_Message("orders", 5), 0);
    Variant item;
    receive.Unpack_Message(item);
    EXPECT_TRUE(item.IsText());
    EXPECT_EQ(item.ToString(), "hello");
    receive.Unpack_Message(item);
    EXPECT_EQ(item.Type(), vtDouble);
    EXPECT_EQ(item.ToDouble(), 42);
    EXPECT_EQ(receive.Next_Item_Type(), 12);
    receive.Unpack_Message(item);
    EXPECT_EQ(item.Type(), vtDate);
    EXPECT_EQ(item.ToDateTime(), day);
    std::string raw;
    receive.Unpack_Message_Raw(raw);
    EXPECT_EQ(raw, "0A0B");
    receive.Unpack_Message(item);
    EXPECT_EQ(item.ToDouble(), 7);
    EXPECT_EQ(receive.Next_Item_Type(), 11);
    receive.Unpack_Message(item);
    EXPECT_EQ(item.ToString(), rowid);
    std::string text;
    receive.Unpack_Message_Rowid(text);
    EXPECT_EQ(text, rowid);
    EXPECT_EQ(receive.Next_Item_Type(), 0);
    // nothing left to unpack: the server's error reaches the caller
    try {
        receive.Unpack_Message(item);
        ADD_FAILURE() << "an item unpacked from an empty buffer";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 6556);
    }
    // an empty pipe times out
    EXPECT_EQ(receive.Receive_Message("orders", 0), 1);

    EXPECT_EQ(send.Create_Pipe("private_box", 4096, true), 0);
    send.Pack_Message("kept");
    EXPECT_EQ(send.Send_Message("private_box", 0, 4096), 0);
    send.Purge("private_box");
    EXPECT_EQ(send.Receive_Message("private_box", 0), 1);
    EXPECT_EQ(send.Remove_Pipe("private_box"), 0);
    send.Pack_Message("dropped");
    send.Reset_Buffer();
    EXPECT_EQ(send.Next_Item_Type(), 0);
    EXPECT_FALSE(send.Unique_Session_Name().empty());
    EXPECT_NE(send.Unique_Session_Name(), receive.Unique_Session_Name());
}

TEST_P(DBMSStandIn, AlertsArriveAfterTheSignallingCommit) {
    auto other = db.LogOn(GetParam());
    TDBMS_Alert& listener = other->DBMS_Alert();
    listener.Register("PRICES");
    session->DBMS_Alert().Signal("PRICES", "changed");
    std::string message, name;
    int status = -1;
    listener.WaitOne("PRICES", message, status, 0);
    EXPECT_EQ(status, 1);   // not committed yet
    session->Commit();
    listener.WaitAny(name, message, status, 5);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(name, "PRICES");
    EXPECT_EQ(message, "changed");
    listener.Set_Defaults(1);
    listener.Remove("PRICES");
    listener.RemoveAll();
}

TEST_P(DBMSStandIn, ApplicationInfoIsReadBack) {
    TDBMS_Application_Info& info = session->DBMS_Application_Info();
    info.Set_Module("Installer", "warehouse.sql");
    std::string module, action, client;
    info.Read_Module(module, action);
    EXPECT_EQ(module + "|" + action, "Installer|warehouse.sql");
    info.Set_Action("step 2");
    info.Read_Module(module, action);
    EXPECT_EQ(action, "step 2");
    info.Set_Client_Info("client");
    info.Read_Client_Info(client);
    EXPECT_EQ(client, "client");
    // a null read comes back as empty text, also when the session gives nulls as null
    for (TNullValueOption nulls : {nvUnAssigned, nvNull}) {
        session->NullValue = nulls;
        info.Set_Client_Info("");
        info.Read_Client_Info(client);
        EXPECT_EQ(client, "");
    }
}

TEST_P(DBMSStandIn, DebugShowsTheWrappersBlock) {
    std::vector<std::string> shown;
    QueryDebugHook = [&](TOracleQuery& q) { shown.push_back(q.SQL().Text()); };
    TDBMS_Output& out = session->DBMS_Output();
    out.SetDebug(true);
    out.Put_Line("x");
    out.SetDebug(false);
    out.Put_Line("y");
    QueryDebugHook = nullptr;
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "begin\r\n  sys.dbms_output.put_line(a => :a);\r\nend;\r\n");
}

TEST_P(DBMSStandIn, JobsAreSubmittedRunChangedAndRemoved) {
    RunSql(*session, "create table job_log (n number)");
    TDBMS_Job& jobs = session->DBMS_Job();
    int job = 0;
    jobs.Submit(job, "null;", Now(), "sysdate + 1", false);
    ASSERT_GT(job, 0);
    const std::string where = std::string(" from user_jobs where job = ") + std::to_string(job);
    EXPECT_EQ(Scalar(*session, "select what || '|' || interval" + where), "null;|sysdate + 1");
    jobs.What(job, "insert into job_log values (1);");
    jobs.Interval(job, "sysdate + 2");
    jobs.Next_Date(job, EncodeDate(2030, 1, 1));
    EXPECT_EQ(Scalar(*session, "select what || '|' || interval || '|' || to_char(next_date, 'yyyy-mm-dd')" + where),
              "insert into job_log values (1);|sysdate + 2|2030-01-01");
    jobs.Change(job, "insert into job_log values (2);", EncodeDate(2031, 1, 1), "sysdate + 3");
    EXPECT_EQ(Scalar(*session, "select what || '|' || interval || '|' || to_char(next_date, 'yyyy-mm-dd')" + where),
              "insert into job_log values (2);|sysdate + 3|2031-01-01");
    jobs.Run(job);
    EXPECT_EQ(Scalar(*session, "select sum(n) from job_log"), "2");
    jobs.Broken(job, true, Now());
    EXPECT_EQ(Scalar(*session, "select broken" + where), "Y");
    jobs.Remove(job);
    EXPECT_EQ(Scalar(*session, "select count(*)" + where), "0");
    try {
        jobs.Remove(job);
        FAIL() << "a removed job removed again";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 23421);
    }
    // no_parse travels as a BOOLEAN
    int second = 0;
    jobs.Submit(second, "null;", Now(), "sysdate + 1", true);
    EXPECT_GT(second, job);
}

class UTLFileStandIn : public DBMSStandIn {
protected:
    void SetUp() override {
        DBMSStandIn::SetUp();
        if (IsSkipped()) return;
        files = db.Root() + "/files";
        std::filesystem::create_directories(files);
        auto system = db.LogOn(GetParam(), "system/manager");
        RunSql(*system, "create or replace directory module_files as '" + files + "'");
    }
    std::string files;
};

TEST_P(UTLFileStandIn, FilesAreWrittenAndReadThroughTheFileRecord) {
    TUTL_File& utl = session->UTL_File();
    Variant f = utl.FOpen("MODULE_FILES", "log.txt", "w");
    EXPECT_FALSE(f.IsNullOrUnassigned());
    EXPECT_TRUE(utl.Is_Open(f));
    utl.Put(f, "one");
    utl.New_Line(f, 1);
    utl.Put_Line(f, "two");
    utl.Putf(f, "%s-%s-%s-%s-%s\\n", {"a", "b", "c", "d", "e"});
    utl.FFlush(f);
    utl.FClose(f);
    EXPECT_TRUE(f.IsNullOrUnassigned());   // the closed record has no handle any more
    EXPECT_FALSE(utl.Is_Open(f));
    std::ifstream in(files + "/log.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "one\ntwo\na-b-c-d-e\n");
    ASSERT_NE(utl.LastStatement(), nullptr);
    EXPECT_EQ(utl.LastStatement()->Session(), session.get());

    Variant r = utl.FOpen("MODULE_FILES", "log.txt", "r");
    std::vector<std::string> got(3);
    for (auto& line : got) utl.Get_Line(r, line);
    EXPECT_EQ(got, (std::vector<std::string>{"one", "two", "a-b-c-d-e"}));
    // reading past the end is no UTL_FILE exception: the database error reaches the caller
    try {
        std::string line;
        utl.Get_Line(r, line);
        FAIL() << "a line past the end";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 1403);
    }
    utl.FClose_All();
    EXPECT_FALSE(utl.Is_Open(r));
}

TEST_P(UTLFileStandIn, PackageExceptionsBecomeFileErrors) {
    TUTL_File& utl = session->UTL_File();
    struct Case {
        std::function<void()> call;
        TUTL_File_Error error;
        const char* message;
    };
    const Variant stale(int32_t(987654));
    const std::vector<Case> cases = {
        {[&] { utl.FOpen("NO_SUCH_DIR", "a.txt", "w"); }, ufInvalidPath, "File location or filename is invalid"},
        {[&] { utl.FOpen("MODULE_FILES", "a.txt", "z"); }, ufInvalidMode, "Open_Mode parameter in FOpen is invalid"},
        {[&] { utl.Put_Line(stale, "x"); }, ufInvalidFilehandle, "File handle is invalid"},
        {[&] { utl.Put_Line(Variant(), "x"); }, ufInvalidFilehandle, "File handle is invalid"},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.message << ": no error";
        } catch (const EUTL_File_Error& e) {
            EXPECT_EQ(e.Error, c.error);
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    // reading a file opened for writing
    Variant w = utl.FOpen("MODULE_FILES", "w.txt", "w");
    try {
        std::string line;
        utl.Get_Line(w, line);
        ADD_FAILURE() << "a line read from a file opened for writing";
    } catch (const EUTL_File_Error& e) {
        EXPECT_EQ(e.Error, ufInvalidOperation);
    }
    utl.FClose(w);
}

const auto ModeName = [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "OCI7" : "OCI8"; };
INSTANTIATE_TEST_SUITE_P(CallModes, DBMSStandIn, ::testing::Values(false, true), ModeName);
INSTANTIATE_TEST_SUITE_P(CallModes, UTLFileStandIn, ::testing::Values(false, true), ModeName);

} // namespace
