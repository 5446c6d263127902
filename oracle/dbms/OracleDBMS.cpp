#include "oracle/dbms/OracleDBMS.h"

#include <algorithm>
#include <climits>

#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

namespace {

// A variant input as the package call passes it: null and unassigned as empty text, and an
// Int64 value (which a package call would take for an output marker) as the number it is.
Variant In(const Variant& v) {
    if (v.IsNullOrUnassigned()) return Variant(std::string());
    if (v.Type() == vtInt64) {
        int64_t n = v.ToInt64();
        if (n >= INT32_MIN && n <= INT32_MAX) return Variant(int32_t(n));
        return Variant(std::to_string(n));
    }
    return v;
}

Variant Text(const std::string& s) { return Variant(s); }
Variant Int(int v) { return Variant(int32_t(v)); }

} // namespace

// ---- TDBMSPackage ---------------------------------------------------------------------------

TDBMSPackage::TDBMSPackage(TOracleSession* session, const std::string& name) : FSession(session) {
    SetName(name);
    FPackage = new TOraclePackage(this);
    FPackage->SetName(name);
    FPackage->SetSession(session);
    FPackage->ParameterMode = pmNamed;
    FPackage->PackageName = "sys." + name;
}

TDBMSPackage::~TDBMSPackage() {
    try {
        delete FPackage;
    } catch (...) {
    }
    FPackage = nullptr;
}

bool TDBMSPackage::Debug() const { return FPackage->Debug; }
void TDBMSPackage::SetDebug(bool v) { FPackage->Debug = v; }

void TDBMSPackage::Procedure(const std::string& name, const TPackageArguments& parameters) {
    FPackage->CallProcedure(name, parameters);
}

int TDBMSPackage::IntegerFunction(const std::string& name, const TPackageArguments& parameters) {
    Variant v = FPackage->CallIntegerFunction(name, parameters);
    return v.IsNullOrUnassigned() ? 0 : v.ToInteger();
}

std::string TDBMSPackage::StringFunction(const std::string& name, const TPackageArguments& parameters) {
    return VarToStr(FPackage->CallStringFunction(name, parameters));
}

std::string TDBMSPackage::StringResult(int position) { return VarToStr(FPackage->GetParameter(position)); }

int TDBMSPackage::IntegerResult(int position) {
    Variant v = FPackage->GetParameter(position);
    return v.IsNullOrUnassigned() ? 0 : v.ToInteger();
}

TOracleQuery& TDBMSPackage::OwnStatement() {
    TOracleQuery& q = FPackage->Query();
    q.SetSession(FPackage->Session());
    q.Debug = FPackage->Debug;
    q.Cursor = FPackage->Cursor;
    q.Clear();
    // The package's next call must not count on the variables it left here.
    FPackage->SetReDeclareVariables();
    return q;
}

// ---- TDBMS_Alert ----------------------------------------------------------------------------

void TDBMS_Alert::Set_Defaults(int sensitivity) { Procedure("set_defaults", {"sensitivity", Int(sensitivity)}); }
void TDBMS_Alert::Register(const std::string& name) { Procedure("register", {"name", Text(name)}); }
void TDBMS_Alert::Remove(const std::string& name) { Procedure("remove", {"name", Text(name)}); }
void TDBMS_Alert::RemoveAll() { Procedure("removeall", NoParameters); }

void TDBMS_Alert::WaitAny(std::string& name, std::string& message, int& status, int timeOut) {
    Procedure("waitany", {"name", OutString, "message", OutString, "status", OutInteger, "timeout", Int(timeOut)});
    name = StringResult(0);
    message = StringResult(1);
    status = IntegerResult(2);
}

void TDBMS_Alert::WaitOne(const std::string& name, std::string& message, int& status, int timeOut) {
    Procedure("waitone", {"name", Text(name), "message", OutString, "status", OutInteger, "timeout", Int(timeOut)});
    message = StringResult(1);
    status = IntegerResult(2);
}

void TDBMS_Alert::Signal(const std::string& name, const std::string& message) {
    Procedure("signal", {"name", Text(name), "message", Text(message)});
}

// ---- TDBMS_Application_Info -----------------------------------------------------------------

void TDBMS_Application_Info::Set_Module(const std::string& moduleName, const std::string& actionName) {
    Procedure("set_module", {"module_name", Text(moduleName), "action_name", Text(actionName)});
}
void TDBMS_Application_Info::Set_Action(const std::string& actionName) {
    Procedure("set_action", {"action_name", Text(actionName)});
}
void TDBMS_Application_Info::Read_Module(std::string& moduleName, std::string& actionName) {
    Procedure("read_module", {"module_name", OutString, "action_name", OutString});
    moduleName = StringResult(0);
    actionName = StringResult(1);
}
void TDBMS_Application_Info::Set_Client_Info(const std::string& clientInfo) {
    Procedure("set_client_info", {"client_info", Text(clientInfo)});
}
void TDBMS_Application_Info::Read_Client_Info(std::string& clientInfo) {
    Procedure("read_client_info", {"client_info", OutString});
    clientInfo = StringResult(0);
}

// ---- TDBMS_Job ------------------------------------------------------------------------------

void TDBMS_Job::Submit(int& job, const std::string& what, TDateTime nextDate, const std::string& interval, bool noParse) {
    Procedure("submit", {"job", OutInteger, "what", Text(what), "next_date", Variant(nextDate), "interval", Text(interval),
                         "no_parse", Variant(noParse)});
    job = IntegerResult(0);
}
void TDBMS_Job::Remove(int job) { Procedure("remove", {"job", Int(job)}); }
void TDBMS_Job::Change(int job, const std::string& what, TDateTime nextDate, const std::string& interval) {
    Procedure("change", {"job", Int(job), "what", Text(what), "next_date", Variant(nextDate), "interval", Text(interval)});
}
void TDBMS_Job::What(int job, const std::string& what) { Procedure("what", {"job", Int(job), "what", Text(what)}); }
void TDBMS_Job::Next_Date(int job, TDateTime nextDate) {
    Procedure("next_date", {"job", Int(job), "next_date", Variant(nextDate)});
}
void TDBMS_Job::Interval(int job, const std::string& interval) {
    Procedure("interval", {"job", Int(job), "interval", Text(interval)});
}
void TDBMS_Job::Broken(int job, bool broken, TDateTime nextDate) {
    Procedure("broken", {"job", Int(job), "broken", Variant(broken), "next_date", Variant(nextDate)});
}
void TDBMS_Job::Run(int job) { Procedure("run", {"job", Int(job)}); }

// ---- TDBMS_Output ---------------------------------------------------------------------------

void TDBMS_Output::Enable(int bufferSize) { Procedure("enable", {"buffer_size", Int(bufferSize)}); }
void TDBMS_Output::Disable() { Procedure("disable", NoParameters); }
void TDBMS_Output::Put(const Variant& a) { Procedure("put", {"a", In(a)}); }
void TDBMS_Output::Put_Line(const Variant& a) { Procedure("put_line", {"a", In(a)}); }
void TDBMS_Output::New_Line() { Procedure("new_line", NoParameters); }

void TDBMS_Output::Get_Line(std::string& line, int& status) {
    Procedure("get_line", {"line", OutString, "status", OutInteger});
    line = StringResult(0);
    status = IntegerResult(1);
}

void TDBMS_Output::Get_Lines(std::string& lines, int& numLines) {
    lines.clear();
    const int wanted = numLines;
    numLines = 0;
    // Nothing asked for: a PL/SQL table needs at least one element.
    if (wanted < 1) return;
    TOracleQuery& q = OwnStatement();
    q.SQL().Add("begin");
    q.SQL().Add("  sys.dbms_output.get_lines(lines => :lines, numlines => :numlines);");
    q.SQL().Add("end;");
    q.DeclareVariable("lines", otString);
    // 255 characters each: in bytes of the database character set, so a line of multi-byte
    // characters is not cut inside its 255 characters (at most the longest bind text).
    int lineBytes = 255;
    if (TOracleSession* s = Session(); s && s->Connected())
        lineBytes = std::min(255 * std::max(1, s->CharacterSize()), std::max(255, s->MaxVarchar()));
    // A large request is served a table's worth at a time, so the buffers stay small however
    // many lines are asked for; the lines and the count are those of one call.
    const int tableSize = std::min(wanted, LinesPerCall);
    q.DimPLSQLTable("lines", tableSize, lineBytes);
    q.DeclareVariable("numlines", otInteger);
    while (numLines < wanted) {
        const int ask = std::min(wanted - numLines, tableSize);
        q.SetVariable("numlines", Int(ask));
        q.Execute();
        Variant n = q.GetVariable("numlines");
        const int got = n.IsNullOrUnassigned() ? 0 : std::min(n.ToInteger(), ask);
        Variant table = q.GetVariable("lines");
        if (table.IsArray()) {
            int count = 0;
            for (int i = table.LowBound(); i <= table.HighBound() && count < got; ++i, ++count) {
                std::string element = VarToStr(table.Element(i));
                if (lines.empty()) lines = element;
                else lines += "\r\n" + element;
            }
        }
        numLines += std::max(got, 0);
        if (got < ask) break;
    }
}

// ---- TDBMS_Pipe -----------------------------------------------------------------------------

void TDBMS_Pipe::Pack_Message(const Variant& item) { Procedure("pack_message", {"item", In(item)}); }
void TDBMS_Pipe::Pack_Message_Raw(const std::string& item) { Procedure("pack_message_raw", {"item", Text(item)}); }
void TDBMS_Pipe::Pack_Message_Rowid(const std::string& item) { Procedure("pack_message_rowid", {"item", Text(item)}); }

void TDBMS_Pipe::Unpack_Message(Variant& item) {
    switch (Next_Item_Type()) {
    case 6: Procedure("unpack_message", {"item", OutFloat}); break;
    case 11: Procedure("unpack_message_rowid", {"item", OutString}); break;
    case 12: Procedure("unpack_message", {"item", OutDate}); break;
    case 23: Procedure("unpack_message_raw", {"item", OutString}); break;
    default: Procedure("unpack_message", {"item", OutString}); break;
    }
    item = Package().GetParameter(0);
}

void TDBMS_Pipe::Unpack_Message_Raw(std::string& item) {
    Procedure("unpack_message_raw", {"item", OutString});
    item = StringResult(0);
}
void TDBMS_Pipe::Unpack_Message_Rowid(std::string& item) {
    Procedure("unpack_message_rowid", {"item", OutString});
    item = StringResult(0);
}
int TDBMS_Pipe::Next_Item_Type() { return IntegerFunction("next_item_type", NoParameters); }
int TDBMS_Pipe::Create_Pipe(const std::string& pipeName, int maxPipeSize, bool isPrivate) {
    return IntegerFunction("create_pipe",
                           {"pipename", Text(pipeName), "maxpipesize", Int(maxPipeSize), "private", Variant(isPrivate)});
}
int TDBMS_Pipe::Remove_Pipe(const std::string& pipeName) { return IntegerFunction("remove_pipe", {"pipename", Text(pipeName)}); }
int TDBMS_Pipe::Send_Message(const std::string& pipeName, int timeOut, int maxPipeSize) {
    return IntegerFunction("send_message",
                           {"pipename", Text(pipeName), "timeout", Int(timeOut), "maxpipesize", Int(maxPipeSize)});
}
int TDBMS_Pipe::Receive_Message(const std::string& pipeName, int timeOut) {
    return IntegerFunction("receive_message", {"pipename", Text(pipeName), "timeout", Int(timeOut)});
}
void TDBMS_Pipe::Reset_Buffer() { Procedure("reset_buffer", NoParameters); }
void TDBMS_Pipe::Purge(const std::string& pipeName) { Procedure("purge", {"pipename", Text(pipeName)}); }
std::string TDBMS_Pipe::Unique_Session_Name() { return StringFunction("unique_session_name", NoParameters); }

// ---- TUTL_File ------------------------------------------------------------------------------

namespace {

const char* UTLFileMessage(int code) {
    switch (code & 0x7F) {
    case 1: return "File location or filename is invalid";
    case 2: return "Open_Mode parameter in FOpen is invalid";
    case 3: return "File handle is invalid";
    case 4: return "File cannot be opened or operated on as requested";
    case 5: return "OS error occurred during read operation";
    case 6: return "OS error occurred during write operation";
    case 7: return "Unspecified error in PL/SQL";
    default: return "Unexpected error";
    }
}

} // namespace

EUTL_File_Error::EUTL_File_Error(int code) : Exception(UTLFileMessage(code)), Error(TUTL_File_Error(code - 1)) {}
EUTL_File_Error::~EUTL_File_Error() = default;

TOracleQuery& TUTL_File::FileBlock(const std::string& statement, const Variant& file) {
    TOracleQuery& q = OwnStatement();
    FLastStatement = &q;
    TStringList& sql = q.SQL();
    sql.BeginUpdate();
    for (const char* line : {"declare", "  fh sys.utl_file.file_type;", "begin", "  fh.id := :afile;"}) sql.Add(line);
    sql.Add("  " + statement);
    for (const char* line : {"  :afile := fh.id;", "  :error := 0;", "exception",
                             "  when sys.utl_file.invalid_path then :error := 1;",
                             "  when sys.utl_file.invalid_mode then :error := 2;",
                             "  when sys.utl_file.invalid_filehandle then :error := 3;",
                             "  when sys.utl_file.invalid_operation then :error := 4;",
                             "  when sys.utl_file.read_error then :error := 5;",
                             "  when sys.utl_file.write_error then :error := 6;",
                             "  when sys.utl_file.internal_error then :error := 7;", "end;"})
        sql.Add(line);
    sql.EndUpdate();
    q.DeclareAndSet("afile", otInteger, file);
    q.DeclareVariable("error", otInteger);
    return q;
}

void TUTL_File::RunFileBlock(TOracleQuery& q) {
    q.Execute();
    Variant error = q.GetVariable("error");
    int code = error.IsNullOrUnassigned() ? 0 : error.ToInteger();
    if (code != 0) throw EUTL_File_Error(code);
}

Variant TUTL_File::FOpen(const std::string& location, const std::string& filename, const std::string& openMode) {
    TOracleQuery& q =
        FileBlock("fh := sys.utl_file.fopen(location => :location, filename => :filename, open_mode => :open_mode);", Int(0));
    q.DeclareAndSet("location", otString, Text(location));
    q.DeclareAndSet("filename", otString, Text(filename));
    q.DeclareAndSet("open_mode", otString, Text(openMode));
    RunFileBlock(q);
    return q.GetVariable("afile");
}

bool TUTL_File::Is_Open(const Variant& file) {
    TOracleQuery& q = FileBlock("if sys.utl_file.is_open(file => fh) then :r := 1; else :r := 0; end if;", file);
    q.DeclareVariable("r", otInteger);
    RunFileBlock(q);
    Variant r = q.GetVariable("r");
    return !r.IsNullOrUnassigned() && r.ToInteger() == 1;
}

void TUTL_File::FClose(Variant& file) {
    TOracleQuery& q = FileBlock("sys.utl_file.fclose(file => fh);", file);
    RunFileBlock(q);
    file = q.GetVariable("afile");
}

void TUTL_File::FClose_All() {
    TOracleQuery& q = FileBlock("sys.utl_file.fclose_all;", Variant::Null());
    RunFileBlock(q);
}

void TUTL_File::Get_Line(const Variant& file, std::string& buffer) {
    TOracleQuery& q = FileBlock("sys.utl_file.get_line(file => fh, buffer => :buffer);", file);
    q.DeclareVariable("buffer", otString);
    RunFileBlock(q);
    buffer = VarToStr(q.GetVariable("buffer"));
}

void TUTL_File::Put(const Variant& file, const std::string& buffer) {
    TOracleQuery& q = FileBlock("sys.utl_file.put(file => fh, buffer => :buffer);", file);
    q.DeclareAndSet("buffer", otString, Text(buffer));
    RunFileBlock(q);
}

void TUTL_File::New_Line(const Variant& file, int lines) {
    TOracleQuery& q = FileBlock("sys.utl_file.new_line(file => fh, lines => :lines);", file);
    q.DeclareAndSet("lines", otInteger, Int(lines));
    RunFileBlock(q);
}

void TUTL_File::Put_Line(const Variant& file, const std::string& buffer) {
    TOracleQuery& q = FileBlock("sys.utl_file.put_line(file => fh, buffer => :buffer);", file);
    q.DeclareAndSet("buffer", otString, Text(buffer));
    RunFileBlock(q);
}

void TUTL_File::Putf(const Variant& file, const std::string& format, const std::vector<std::string>& args) {
    if (args.size() > 5) throw Exception("Up to 5 arguments allowed in UTL_File.Putf");
    std::string statement = "sys.utl_file.putf(file => fh, format => :format";
    for (size_t k = 1; k <= args.size(); ++k) {
        std::string arg = "arg";
        arg += std::to_string(k);
        statement += ", " + arg + " => :" + arg;
    }
    statement += ");";
    TOracleQuery& q = FileBlock(statement, file);
    q.DeclareAndSet("format", otString, Text(format));
    for (size_t k = 1; k <= args.size(); ++k) {
        std::string arg = "arg";
        arg += std::to_string(k);
        q.DeclareAndSet(arg, otString, Text(args[k - 1]));
    }
    RunFileBlock(q);
}

void TUTL_File::FFlush(const Variant& file) {
    TOracleQuery& q = FileBlock("sys.utl_file.fflush(file => fh);", file);
    RunFileBlock(q);
}

} // namespace quorvel
