#pragma once
// Thin client objects for six standard server packages: DBMS_ALERT, DBMS_APPLICATION_INFO,
// DBMS_JOB, DBMS_OUTPUT, DBMS_PIPE and UTL_FILE. Each method is one call of one package
// procedure or function, made through a stored-package component in named-parameter mode on
// "sys." + Name, or, where a PL/SQL table or the UTL_FILE file record is involved, through an
// explicit block on that component's statement.
//
// Every session offers one wrapper of each kind (TOracleSession::DBMS_Output() and the like),
// created on first use and freed with the session. The wrappers hold no server state: alert
// registrations, pipe buffers, open files and the output buffer live in the server session.
//
// Variant inputs that are null or unassigned are passed as empty text; null text results come
// back as empty text, null integer results as 0.
#include <functional>
#include <string>
#include <vector>

#include "base/Component.h"
#include "base/DateTime.h"
#include "base/Variant.h"
#include "oracle/query/OraclePackage.h"

namespace quorvel {

class TOracleQuery;
class TOracleSession;

class TDBMSPackage : public TComponent {
public:
    // name: the package name in lower case ("dbms_output"); it names the wrapper and its
    // package component.
    TDBMSPackage(TOracleSession* session, const std::string& name);
    ~TDBMSPackage() override;

    TOracleSession* Session() const { return FSession; }
    // The package component: named Name(), on the wrapper's session, pmNamed, "sys." + Name().
    TOraclePackage& Package() { return *FPackage; }
    bool Debug() const;
    void SetDebug(bool v);

protected:
    void Procedure(const std::string& name, const TPackageArguments& parameters);
    int IntegerFunction(const std::string& name, const TPackageArguments& parameters);
    std::string StringFunction(const std::string& name, const TPackageArguments& parameters);
    // The package component's statement for a block of its own: on the session, cleared.
    TOracleQuery& OwnStatement();
    std::string StringResult(int position);
    int IntegerResult(int position);

private:
    TOracleSession* FSession;
    TOraclePackage* FPackage;   // owned
};

// sys.dbms_alert
class TDBMS_Alert : public TDBMSPackage {
public:
    explicit TDBMS_Alert(TOracleSession* session) : TDBMSPackage(session, "dbms_alert") {}
    void Set_Defaults(int sensitivity);
    void Register(const std::string& name);
    void Remove(const std::string& name);
    void RemoveAll();
    // status 0: an alert arrived; 1: the time-out passed.
    void WaitAny(std::string& name, std::string& message, int& status, int timeOut);
    void WaitOne(const std::string& name, std::string& message, int& status, int timeOut);
    void Signal(const std::string& name, const std::string& message);
};

// sys.dbms_application_info
class TDBMS_Application_Info : public TDBMSPackage {
public:
    explicit TDBMS_Application_Info(TOracleSession* session) : TDBMSPackage(session, "dbms_application_info") {}
    void Set_Module(const std::string& moduleName, const std::string& actionName);
    void Set_Action(const std::string& actionName);
    void Read_Module(std::string& moduleName, std::string& actionName);
    void Set_Client_Info(const std::string& clientInfo);
    void Read_Client_Info(std::string& clientInfo);
};

// sys.dbms_job
class TDBMS_Job : public TDBMSPackage {
public:
    explicit TDBMS_Job(TOracleSession* session) : TDBMSPackage(session, "dbms_job") {}
    void Submit(int& job, const std::string& what, TDateTime nextDate, const std::string& interval, bool noParse);
    void Remove(int job);
    void Change(int job, const std::string& what, TDateTime nextDate, const std::string& interval);
    void What(int job, const std::string& what);
    void Next_Date(int job, TDateTime nextDate);
    void Interval(int job, const std::string& interval);
    void Broken(int job, bool broken, TDateTime nextDate);
    void Run(int job);
};

// sys.dbms_output
class TDBMS_Output : public TDBMSPackage {
public:
    explicit TDBMS_Output(TOracleSession* session) : TDBMSPackage(session, "dbms_output") {}
    void Enable(int bufferSize);
    void Disable();
    void Put(const Variant& a);
    void Put_Line(const Variant& a);
    void New_Line();
    // status 0: a line was read; 1: the buffer holds no more lines.
    void Get_Line(std::string& line, int& status);
    // Up to numLines lines (of up to 255 characters) joined with CR LF; numLines becomes the
    // number read. Empty lines before the first non-empty one are left out. More than
    // LinesPerCall lines are read in several calls of the server package.
    void Get_Lines(std::string& lines, int& numLines);
    static constexpr int LinesPerCall = 1000;
};

// sys.dbms_pipe. RAW items travel as hexadecimal text.
class TDBMS_Pipe : public TDBMSPackage {
public:
    explicit TDBMS_Pipe(TOracleSession* session) : TDBMSPackage(session, "dbms_pipe") {}
    void Pack_Message(const Variant& item);
    void Pack_Message_Raw(const std::string& item);
    void Pack_Message_Rowid(const std::string& item);
    // The next item by its type: a number (6), a date (12), text otherwise.
    void Unpack_Message(Variant& item);
    void Unpack_Message_Raw(std::string& item);
    void Unpack_Message_Rowid(std::string& item);
    int Next_Item_Type();
    int Create_Pipe(const std::string& pipeName, int maxPipeSize, bool isPrivate);
    int Remove_Pipe(const std::string& pipeName);
    int Send_Message(const std::string& pipeName, int timeOut, int maxPipeSize);
    int Receive_Message(const std::string& pipeName, int timeOut);
    void Reset_Buffer();
    void Purge(const std::string& pipeName);
    std::string Unique_Session_Name();
};

enum TUTL_File_Error : int {
    ufInvalidPath,
    ufInvalidMode,
    ufInvalidFilehandle,
    ufInvalidOperation,
    ufReadError,
    ufWriteError,
    ufInternalError
};

// A UTL_FILE named exception, caught inside the block: code 1..7 for invalid_path ..
// internal_error; Error is code - 1.
class EUTL_File_Error : public Exception {
public:
    explicit EUTL_File_Error(int code);
    ~EUTL_File_Error() override;
    TUTL_File_Error Error;
};

// sys.utl_file. A file is a variant holding the server's file handle number.
class TUTL_File : public TDBMSPackage {
public:
    explicit TUTL_File(TOracleSession* session) : TDBMSPackage(session, "utl_file") {}
    Variant FOpen(const std::string& location, const std::string& filename, const std::string& openMode);
    bool Is_Open(const Variant& file);
    // file becomes null: the block copies the handle back after the close.
    void FClose(Variant& file);
    void FClose_All();
    void Get_Line(const Variant& file, std::string& buffer);
    void Put(const Variant& file, const std::string& buffer);
    void New_Line(const Variant& file, int lines);
    void Put_Line(const Variant& file, const std::string& buffer);
    // Up to 5 arguments ("Up to 5 arguments allowed in UTL_File.Putf").
    void Putf(const Variant& file, const std::string& format, const std::vector<std::string>& args);
    void FFlush(const Variant& file);
    // The statement of the last call (none before the first).
    TOracleQuery* LastStatement() const { return FLastStatement; }

private:
    // The file-record block around statement on the package's statement, with "afile" set to
    // file and "error" declared; the caller adds its own variables and runs it with RunFileBlock,
    // which raises EUTL_File_Error for a caught UTL_FILE exception.
    TOracleQuery& FileBlock(const std::string& statement, const Variant& file);
    void RunFileBlock(TOracleQuery& q);
    TOracleQuery* FLastStatement = nullptr;
};

} // namespace quorvel
