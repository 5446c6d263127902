// The blocks the server package wrappers send, without a database: a wrapper with no session
// fills its statement and stops at "Session undefined".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oracle/dbms/OracleDBMS.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/query/tests/QueryTestSupport.h"

namespace quorvel {
namespace {

using testing::Unsent;

std::string Sql(TDBMSPackage& w) { return w.Package().Query().SQL().Text(); }

// The file-record block around one statement.
std::string FileBlock(const std::string& statement) {
    return "declare\r\n"
           "  fh sys.utl_file.file_type;\r\n"
           "begin\r\n"
           "  fh.id := :afile;\r\n"
           "  " + statement + "\r\n"
           "  :afile := fh.id;\r\n"
           "  :error := 0;\r\n"
           "exception\r\n"
           "  when sys.utl_file.invalid_path then :error := 1;\r\n"
           "  when sys.utl_file.invalid_mode then :error := 2;\r\n"
           "  when sys.utl_file.invalid_filehandle then :error := 3;\r\n"
           "  when sys.utl_file.invalid_operation then :error := 4;\r\n"
           "  when sys.utl_file.read_error then :error := 5;\r\n"
           "  when sys.utl_file.write_error then :error := 6;\r\n"
           "  when sys.utl_file.internal_error then :error := 7;\r\n"
           "end;\r\n";
}

std::vector<std::string> VariableNames(TOracleQuery& q) {
    std::vector<std::string> names;
    for (int i = 0; i < q.VariableCount(); ++i) names.push_back(q.VariableName(i));
    return names;
}

TEST(DBMSBlock, WrappersCallTheirSysPackageInNamedMode) {
    TDBMS_Output output(nullptr);
    EXPECT_EQ(output.Name(), "dbms_output");
    EXPECT_EQ(output.Package().Name(), "dbms_output");
    EXPECT_EQ(output.Package().PackageName, "sys.dbms_output");
    EXPECT_EQ(output.Package().ParameterMode, pmNamed);
    output.SetDebug(true);
    EXPECT_TRUE(output.Package().Debug);

    struct Case {
        std::function<void()> call;
        std::string line;
    };
    TDBMS_Alert alert(nullptr);
    TDBMS_Application_Info info(nullptr);
    TDBMS_Job job(nullptr);
    TDBMS_Pipe pipe(nullptr);
    std::string s, t;
    int n = 0;
    Variant v;
    const TDateTime day(45000.5);
    const std::vector<std::pair<TDBMSPackage*, Case>> cases = {
        {&output, {[&] { output.Enable(20000); }, "  sys.dbms_output.enable(buffer_size => :buffer_size);"}},
        {&output, {[&] { output.Disable(); }, "  sys.dbms_output.disable;"}},
        {&output, {[&] { output.Put(Variant()); }, "  sys.dbms_output.put(a => :a);"}},
        {&output, {[&] { output.Get_Line(s, n); }, "  sys.dbms_output.get_line(line => :line, status => :status);"}},
        {&alert, {[&] { alert.WaitAny(s, t, n, 5); },
                  "  sys.dbms_alert.waitany(name => :name, message => :message, status => :status, timeout => :timeout);"}},
        {&alert, {[&] { alert.RemoveAll(); }, "  sys.dbms_alert.removeall;"}},
        {&info, {[&] { info.Read_Module(s, t); },
                 "  sys.dbms_application_info.read_module(module_name => :module_name, action_name => :action_name);"}},
        {&job, {[&] { job.Change(1, "x;", day, "sysdate"); },
                "  sys.dbms_job.change(job => :job, what => :what, next_date => :next_date, interval => :interval);"}},
        {&pipe, {[&] { pipe.Send_Message("p", 1, 8192); },
                 "  :quorvel__value := sys.dbms_pipe.send_message(pipename => :pipename, timeout => :timeout, "
                 "maxpipesize => :maxpipesize);"}},
        {&pipe, {[&] { pipe.Unique_Session_Name(); }, "  :quorvel__value := sys.dbms_pipe.unique_session_name;"}},
    };
    for (const auto& [wrapper, c] : cases) {
        Unsent(c.call);
        EXPECT_EQ(Sql(*wrapper), "begin\r\n" + c.line + "\r\nend;\r\n");
    }
    // a null variant input is passed as empty text
    Unsent([&] { output.Put_Line(Variant::Null()); });
    EXPECT_EQ(output.Package().Query().GetVariable("a").Type(), vtString);
    // an Int64 input is a number, not an output marker
    Unsent([&] { pipe.Pack_Message(Variant(int64_t(5))); });
    EXPECT_EQ(pipe.Package().Query().VariableType(0), otInteger);
    EXPECT_EQ(pipe.Package().Query().GetVariable("item").ToInteger(), 5);
    Unsent([&] { pipe.Pack_Message(Variant(int64_t(1) << 40)); });
    EXPECT_EQ(pipe.Package().Query().GetVariable("item").ToString(), "1099511627776");
}

TEST(DBMSBlock, BooleanArgumentsOfJobsAndPipes) {
    TDBMS_Job job(nullptr);
    int id = 0;
    Unsent([&] { job.Submit(id, "null;", TDateTime(45000), "sysdate + 1", true); });
    EXPECT_EQ(Sql(job),
              "declare\r\n"
              "  quorvel__boolean1 boolean := sys.diutil.int_to_bool(:no_parse);\r\n"
              "begin\r\n"
              "  sys.dbms_job.submit(job => :job, what => :what, next_date => :next_date, interval => :interval, "
              "no_parse => quorvel__boolean1);\r\n"
              "  :no_parse := sys.diutil.bool_to_int(quorvel__boolean1);\r\n"
              "end;\r\n");
    EXPECT_EQ(job.Package().Query().GetVariable("no_parse").ToInteger(), 1);
    Unsent([&] { job.Broken(3, false, TDateTime(45000)); });
    EXPECT_NE(Sql(job).find("  sys.dbms_job.broken(job => :job, broken => quorvel__boolean1, next_date => :next_date);"),
              std::string::npos);
    TDBMS_Pipe pipe(nullptr);
    Unsent([&] { pipe.Create_Pipe("p", 4096, false); });
    EXPECT_NE(Sql(pipe).find("  :quorvel__value := sys.dbms_pipe.create_pipe(pipename => :pipename, "
                             "maxpipesize => :maxpipesize, private => quorvel__boolean1);"),
              std::string::npos);
}

TEST(DBMSBlock, GetLinesReadsIntoAPlsqlTable) {
    TDBMS_Output output(nullptr);
    std::string lines;
    int n = 3;
    Unsent([&] { output.Get_Lines(lines, n); });
    TOracleQuery& q = output.Package().Query();
    EXPECT_EQ(q.SQL().Text(), "begin\r\n  sys.dbms_output.get_lines(lines => :lines, numlines => :numlines);\r\nend;\r\n");
    EXPECT_EQ(VariableNames(q), (std::vector<std::string>{":LINES", ":NUMLINES"}));
    EXPECT_TRUE(q.Variables().Data(0).IsPLSQLTable);
    EXPECT_EQ(q.Variables().Data(0).ArraySize, 3);
    EXPECT_EQ(q.Variables().Data(0).bufsize, 256);
    EXPECT_EQ(q.GetVariable("numlines").ToInteger(), 3);
    // the package's next call declares its own variables again
    EXPECT_TRUE(output.Package().ReDeclareVariables());
    // nothing asked for: nothing sent
    q.SQL().SetText("untouched");
    n = 0;
    output.Get_Lines(lines, n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(lines, "");
    EXPECT_EQ(q.SQL().Text(), "untouched\r\n");
}

TEST(DBMSBlock, UtlFileBlocksCarryTheHandleThroughTheFileRecord) {
    TUTL_File file(nullptr);
    EXPECT_EQ(file.LastStatement(), nullptr);
    Variant handle(int32_t(7));
    std::string buffer;
    struct Case {
        std::function<void()> call;
        std::string statement;
        std::vector<std::string> variables;
    };
    const std::vector<Case> cases = {
        {[&] { file.FOpen("DIR", "a.txt", "w"); },
         "fh := sys.utl_file.fopen(location => :location, filename => :filename, open_mode => :open_mode);",
         {":AFILE", ":ERROR", ":LOCATION", ":FILENAME", ":OPEN_MODE"}},
        {[&] { file.Is_Open(handle); }, "if sys.utl_file.is_open(file => fh) then :r := 1; else :r := 0; end if;",
         {":AFILE", ":ERROR", ":R"}},
        {[&] { file.FClose(handle); }, "sys.utl_file.fclose(file => fh);", {":AFILE", ":ERROR"}},
        {[&] { file.FClose_All(); }, "sys.utl_file.fclose_all;", {":AFILE", ":ERROR"}},
        {[&] { file.Get_Line(handle, buffer); }, "sys.utl_file.get_line(file => fh, buffer => :buffer);",
         {":AFILE", ":ERROR", ":BUFFER"}},
        {[&] { file.Put(handle, "x"); }, "sys.utl_file.put(file => fh, buffer => :buffer);", {":AFILE", ":ERROR", ":BUFFER"}},
        {[&] { file.New_Line(handle, 2); }, "sys.utl_file.new_line(file => fh, lines => :lines);",
         {":AFILE", ":ERROR", ":LINES"}},
        {[&] { file.Put_Line(handle, "x"); }, "sys.utl_file.put_line(file => fh, buffer => :buffer);",
         {":AFILE", ":ERROR", ":BUFFER"}},
        {[&] { file.FFlush(handle); }, "sys.utl_file.fflush(file => fh);", {":AFILE", ":ERROR"}},
        {[&] { file.Putf(handle, "%s", {}); }, "sys.utl_file.putf(file => fh, format => :format);",
         {":AFILE", ":ERROR", ":FORMAT"}},
        {[&] { file.Putf(handle, "%s %s %s %s %s", {"a", "b", "c", "d", "e"}); },
         "sys.utl_file.putf(file => fh, format => :format, arg1 => :arg1, arg2 => :arg2, arg3 => :arg3, "
         "arg4 => :arg4, arg5 => :arg5);",
         {":AFILE", ":ERROR", ":FORMAT", ":ARG1", ":ARG2", ":ARG3", ":ARG4", ":ARG5"}},
    };
    for (const auto& c : cases) {
        Unsent(c.call);
        ASSERT_EQ(file.LastStatement(), &file.Package().Query());
        EXPECT_EQ(file.LastStatement()->SQL().Text(), FileBlock(c.statement));
        EXPECT_EQ(VariableNames(*file.LastStatement()), c.variables);
    }
    TOracleQuery& q = *file.LastStatement();
    EXPECT_EQ(q.GetVariable("afile").ToInteger(), 7);
    EXPECT_EQ(q.GetVariable("arg5").ToString(), "e");
    Unsent([&] { file.FOpen("DIR", "a.txt", "w"); });
    EXPECT_EQ(q.GetVariable("afile").ToInteger(), 0);   // a new handle starts as 0
    Unsent([&] { file.FClose_All(); });
    EXPECT_TRUE(q.GetVariable("afile").IsUnassigned());   // no handle at all

    // a sixth argument is refused before anything is sent
    q.SQL().SetText("untouched");
    try {
        file.Putf(handle, "%s", {"1", "2", "3", "4", "5", "6"});
        FAIL() << "six arguments accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Up to 5 arguments allowed in UTL_File.Putf");
    }
    EXPECT_EQ(q.SQL().Text(), "untouched\r\n");
}

TEST(DBMSBlock, UtlFileErrorsByCode) {
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "File location or filename is invalid"},
        {2, "Open_Mode parameter in FOpen is invalid"},
        {3, "File handle is invalid"},
        {4, "File cannot be opened or operated on as requested"},
        {5, "OS error occurred during read operation"},
        {6, "OS error occurred during write operation"},
        {7, "Unspecified error in PL/SQL"},
        {8, "Unexpected error"},
        {129, "File location or filename is invalid"},
    };
    for (const auto& [code, message] : cases) {
        EUTL_File_Error e(code);
        EXPECT_EQ(e.Message(), message) << code;
        EXPECT_EQ(int(e.Error), code - 1);
    }
    EXPECT_EQ(EUTL_File_Error(1).Error, ufInvalidPath);
    EXPECT_EQ(EUTL_File_Error(7).Error, ufInternalError);
}

} // namespace
} // namespace quorvel
