#include "oracle/script/OracleScript.h"

#include "base/Exception.h"
#include "base/FormatSettings.h"
#include "base/StrUtils.h"
#include "base/TextCase.h"
#include "oracle/logon/OracleLogon.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/query/SqlText.h"
#include "oracle/script/Feedback.h"
#include "oracle/script/ScriptFormat.h"
#include "oracle/session/ConnectString.h"
#include "oracle/session/OracleError.h"
#include "platform/UIServices.h"

#include <charconv>
#include <initializer_list>
#include <vector>

namespace quorvel {

namespace {

// Type codes of fetched columns.
constexpr int kInteger = 3, kFloat = 4, kLong = 8, kLongRaw = 24, kObject = 108, kReference = 110,
              kCLOB = 112, kBLOB = 113, kBFile = 114;

// Upper-cased, with one trailing ";" removed.
std::string CommandWord(const std::string& word) {
    std::string w = AnsiUpperCase(word);
    if (!w.empty() && w.back() == ';') w.pop_back();
    return w;
}

void SetFlag(bool& setting, const std::string& value) {
    if (value == "ON")
        setting = true;
    else if (value == "OFF")
        setting = false;
}

void SetOption(TScriptOutputOptions& options, std::initializer_list<TScriptOutputOption> members,
               const std::string& value) {
    for (TScriptOutputOption m : members) {
        if (value == "ON")
            options.Include(m);
        else if (value == "OFF")
            options.Exclude(m);
    }
}

// A value guarded so that no failure of the library leaves the setting half done.
class RestoreCursor {
public:
    RestoreCursor(bool active, platform::CursorShape saved) : FActive(active), FSaved(saved) {}
    ~RestoreCursor() {
        if (FActive) platform::UIServices().SetCursor(FSaved);
    }
    RestoreCursor(const RestoreCursor&) = delete;
    RestoreCursor& operator=(const RestoreCursor&) = delete;

private:
    bool FActive;
    platform::CursorShape FSaved;
};

} // namespace

TOracleScript::TOracleScript(TComponent* owner) : TComponent(owner), FQuery(std::make_unique<TOracleQuery>()) {
    FQuery->SetName("Query");
}

TOracleScript::~TOracleScript() {
    FCurrentCommand = nullptr;
    FServiceQuery.reset();
    FQuery.reset();
    if (FSession) FSession->Scripts.Remove(this);
}

void TOracleScript::SetSession(TOracleSession* session) {
    if (session == FSession) return;
    if (FSession) FSession->Scripts.Remove(this);
    FSession = session;
    if (FSession) FSession->Scripts.Add(this);
    FQuery->SetSession(session);
    if (FServiceQuery) FServiceQuery->SetSession(session);
}

void TOracleScript::SessionDetach() {
    FSession = nullptr;
    // The query is on the same session's list and forgets it by itself.
}

bool TOracleScript::Finished() {
    return FCommandIndex >= Commands().Count();
}

void TOracleScript::SetFinished(bool value) {
    if (value) FCommandIndex = Commands().Count();
}

// ---- output and variables

void TOracleScript::AddOutput(const std::string& text) {
    if (text.find_first_of("\r\n") == std::string::npos) {
        // One line (an empty text included).
        if (OnOutput) OnOutput(*this, text);
        FOutput.Add(text);
        return;
    }
    for (const std::string& line : SplitTextLines(text)) {
        if (OnOutput) OnOutput(*this, line);
        FOutput.Add(line);
    }
}

std::string TOracleScript::GetVariable(const std::string& name) const {
    const std::string key = AnsiUpperCase(Trim(name)) + "=";
    for (int i = 0; i < FVariables.Count(); ++i) {
        const std::string& entry = FVariables[i];
        if (entry.compare(0, key.size(), key) == 0) return entry.substr(key.size());
    }
    return {};
}

void TOracleScript::SetVariable(const std::string& name, const std::string& value) {
    const std::string key = AnsiUpperCase(Trim(name)) + "=";
    const std::string entry = key + value;
    for (int i = 0; i < FVariables.Count(); ++i) {
        if (FVariables[i].compare(0, key.size(), key) == 0) {
            FVariables.SetStrings(i, entry);
            return;
        }
    }
    FVariables.Add(entry);
}

std::string TOracleScript::SubstituteVariables(const std::string& text) const {
    if (!ScanVariables) return text;
    return script::SubstituteReferences(text, [this](const std::string& name) { return GetVariable(name); });
}

// ---- the run

bool TOracleScript::Execute() {
    BuildIfLinesChanged();
    FCommandIndex = 0;
    platform::IUIServices& ui = platform::UIServices();
    const platform::CursorShape saved = ui.Cursor();
    if (Commands().Count() == 0) return true;
    const bool showCursor = Cursor != 0;
    RestoreCursor restore(showCursor, saved);
    if (showCursor) ui.SetCursor(Cursor);
    bool result = true;
    while (!Finished()) {
        const int i = FCommandIndex;
        TOracleCommand& command = Commands().Items(i);
        FCurrentCommand = &command;
        // Lines edited by a callback become commands once this command is over.
        TCommandsInUse inUse(*this);
        bool handled = false;
        FQuery->Clear();
        if (OnCommand) OnCommand(*this, handled);
        if (FCommandIndex != i) continue;
        if (!handled) {
            handled = ExecuteCommand(command);
            if (command.ErrorCode() != 0) result = false;
        }
        if (FCommandIndex != i) continue;
        if (AfterCommand) AfterCommand(*this, handled);
        if (FCommandIndex == i) ++FCommandIndex;
    }
    return result;
}

bool TOracleScript::ExecuteCommand(TOracleCommand& command) {
    TCommandsInUse inUse(*this);
    command.SetErrorMessage({});
    command.SetErrorCode(0);
    command.SetFunctionType(0);
    command.SetRowsProcessed(0);
    command.SetSubstitutedText(SubstituteVariables(command.Text()));
    if (command.CommandType() == ctNonSQL) return RunNonSQLCommand(command);
    return RunSQLCommand(command);
}

bool TOracleScript::RunSQLCommand(TOracleCommand& command) {
    const std::string& text = command.SubstitutedText();
    TOracleQuery& query = *FQuery;
    query.SetSession(FSession);
    query.Debug = Debug;
    query.Cursor = Cursor;
    query.SQL().SetText(text);
    if (OutputOptions.Contains(ooSQL)) {
        AddOutput(text);
        AddOutput("");
    }
    const bool serverOutput = ServerOutput && EnableServerOutput();
    try {
        query.Execute();
        const int type = query.FunctionType();
        if (AutoCommit && (type == 3 || type == 5 || type == 9 || type == 34) && FSession) FSession->Commit();
        if (type == 4) WriteRows();
    } catch (const EOracleError& e) {
        command.SetErrorMessage(e.Message());
        command.SetErrorCode(e.ErrorCode());
        if (OutputOptions.Contains(ooError)) {
            AddOutput(e.Message());
            AddOutput("");
        }
        if (ExitOnError) SetFinished(true);
    }
    command.SetFunctionType(query.FunctionType());
    command.SetRowsProcessed(query.RowsProcessed());
    // What the command wrote before it ended, failing or not.
    if (serverOutput) WriteServerOutput();
    if (command.ErrorCode() != 0) {
        if (OnError) OnError(*this);
        return false;
    }
    const bool compilationErrors = (query.WarningFlags() & 32) != 0;
    if (OutputOptions.Contains(ooFeedback)) {
        std::string line = FeedbackText(query.FunctionType(), query.RowsProcessed());
        if (compilationErrors) line = "Warning: " + line + " with compilation errors";
        AddOutput(line);
        AddOutput("");
    }
    if (compilationErrors && ShowCompilationErrors && OutputOptions.Contains(ooError)) WriteCompilationErrors(command);
    return false;
}

TOracleQuery& TOracleScript::ServiceQuery() {
    if (!FServiceQuery) FServiceQuery = std::make_unique<TOracleQuery>();
    FServiceQuery->SetSession(FSession);
    FServiceQuery->Clear();
    return *FServiceQuery;
}

// Enables the session's DBMS_OUTPUT buffer (without a size limit); false when the session is
// not connected or the server has no DBMS_OUTPUT.
bool TOracleScript::EnableServerOutput() {
    if (!FSession || !FSession->Connected()) return false;
    TOracleQuery& q = ServiceQuery();
    q.SQL().SetText("begin dbms_output.enable(null); end;");
    try {
        q.Execute();
    } catch (const EOracleError&) {
        return false;
    }
    return true;
}

void TOracleScript::WriteServerOutput() {
    if (!FSession || !FSession->Connected()) return;
    TOracleQuery& q = ServiceQuery();
    q.SQL().SetText("begin dbms_output.get_line(:quorvel_line, :quorvel_status); end;");
    q.DeclareVariable("quorvel_line", otPLSQLString); // lines up to 32512 bytes
    q.DeclareVariable("quorvel_status", otInteger);
    bool any = false;
    try {
        for (;;) {
            q.Execute();
            const Variant status = q.GetVariable("quorvel_status");
            if (status.IsNullOrUnassigned() || status.ToInteger() != 0) break;
            const Variant line = q.GetVariable("quorvel_line");
            AddOutput(line.IsNullOrUnassigned() ? std::string() : line.ToString());
            any = true;
        }
    } catch (const EOracleError& e) {
        if (OutputOptions.Contains(ooError)) AddOutput(e.Message());
        any = true;
    }
    if (any) AddOutput("");
}

// The type and name of the unit a CREATE command makes: CREATE [OR REPLACE] [AND [RE]SOLVE |
// AND COMPILE] [NO]FORCE|[NON]EDITIONABLE ... PROCEDURE|FUNCTION|PACKAGE [BODY]|TRIGGER|TYPE
// [BODY]|JAVA ... [schema.]name.
static bool CreatedUnit(const std::vector<std::string>& words, std::string& type, std::string& owner,
                        std::string& name) {
    std::size_t i = 0;
    auto upper = [&](std::size_t k) { return k < words.size() ? AnsiUpperCase(words[k]) : std::string(); };
    if (upper(i) != "CREATE") return false;
    ++i;
    static const char* const kinds[] = {"PROCEDURE", "FUNCTION", "PACKAGE", "TRIGGER", "TYPE", "LIBRARY"};
    for (; i < words.size() && i < 8; ++i) {
        const std::string w = upper(i);
        for (const char* kind : kinds) {
            if (w != kind) continue;
            type = w;
            ++i;
            if ((type == "PACKAGE" || type == "TYPE") && upper(i) == "BODY") {
                type += " BODY";
                ++i;
            }
            std::string full = i < words.size() ? words[i] : std::string();
            // The name ends at "(" or at the first blank-free separator of the text.
            const std::size_t cut = full.find_first_of("(;");
            if (cut != std::string::npos) full.resize(cut);
            const std::size_t dot = full.find('.');
            auto unquote = [](std::string part) {
                if (part.size() >= 2 && part.front() == '"' && part.back() == '"') return part.substr(1, part.size() - 2);
                return AnsiUpperCase(part);
            };
            if (dot != std::string::npos) {
                owner = unquote(full.substr(0, dot));
                name = unquote(full.substr(dot + 1));
            } else {
                name = unquote(full);
            }
            return !name.empty();
        }
    }
    return false;
}

void TOracleScript::WriteCompilationErrors(const TOracleCommand& command) {
    std::string type, owner, name;
    if (!CreatedUnit(SplitCommandWords(command.SubstitutedText()), type, owner, name)) return;
    if (!FSession || !FSession->Connected()) return;
    TOracleQuery& q = ServiceQuery();
    if (owner.empty()) {
        q.SQL().SetText("select line, position, text from user_errors where name = :quorvel_name and type = "
                        ":quorvel_type order by sequence");
    } else {
        q.SQL().SetText("select line, position, text from all_errors where owner = :quorvel_owner and name = "
                        ":quorvel_name and type = :quorvel_type order by sequence");
        q.DeclareAndSet("quorvel_owner", otString, Variant(owner));
    }
    q.DeclareAndSet("quorvel_name", otString, Variant(name));
    q.DeclareAndSet("quorvel_type", otString, Variant(type));
    std::vector<std::string> lines;
    try {
        q.Execute();
        while (!q.Eof()) {
            lines.push_back(q.FieldAsString(0) + "/" + q.FieldAsString(1) + " " + TrimRight(q.FieldAsString(2)));
            q.Next();
        }
    } catch (const EOracleError& e) {
        lines.push_back(e.Message());
    }
    if (lines.empty()) return;
    AddOutput("Errors for " + type + " " + (owner.empty() ? name : owner + "." + name) + ":");
    AddOutput("");
    for (const std::string& line : lines) AddOutput(line);
    AddOutput("");
}

void TOracleScript::WriteRows() {
    TOracleQuery& query = *FQuery;
    const bool data = OutputOptions.Contains(ooData);
    const int count = query.FieldCount();
    std::vector<int> widths(static_cast<std::size_t>(count));
    std::vector<int> types(static_cast<std::size_t>(count));
    std::vector<int> precisions(static_cast<std::size_t>(count));
    std::vector<int> scales(static_cast<std::size_t>(count));
    if (data) {
        std::string heading, underline;
        const std::string hyphens(40, '-');
        for (int i = 0; i < count; ++i) {
            const std::size_t k = std::size_t(i);
            types[k] = query.FieldType(i);
            precisions[k] = query.FieldPrecision(i);
            scales[k] = query.FieldScale(i);
            const std::string name = query.FieldName(i);
            widths[k] = script::ColumnDisplayWidth(types[k], query.FieldSize(i), precisions[k], scales[k], name, ColWidth);
            const bool right = types[k] == kInteger || types[k] == kFloat;
            if (i > 0) {
                heading += ' ';
                underline += ' ';
            }
            heading += script::PlaceInColumn(name, widths[k], right);
            underline += script::PlaceInColumn(hyphens, widths[k], right);
        }
        AddOutput(heading);
        AddOutput(underline);
    }
    if (OnData || data) {
        const char separator = FormatSettings().DecimalSeparator;
        while (!query.Eof()) {
            if (OnData) OnData(*this);
            if (data) {
                std::string line;
                for (int i = 0; i < count; ++i) {
                    const std::size_t k = std::size_t(i);
                    const int type = types[k];
                    std::string value;
                    try {
                        switch (type) {
                        case kLong:
                        case kCLOB:
                            value = script::FirstCharacters(query.FieldAsString(i), 40);
                            break;
                        case kLongRaw: value = "<Long Raw>"; break;
                        case kObject: value = "<Object>"; break;
                        case kReference: value = "<Reference>"; break;
                        case kBLOB: value = "<BLOB>"; break;
                        case kBFile: value = "<BFILE>"; break;
                        default:
                            if (scales[k] <= 0)
                                value = query.FieldAsString(i);
                            else if (!query.FieldIsNull(i))
                                value = script::FixedPointText(query.FieldAsFloat(i), precisions[k], scales[k], separator);
                        }
                    } catch (const std::exception&) {
                        value = "<Value Error>";
                    }
                    if (i > 0) line += ' ';
                    line += script::PlaceInColumn(value, widths[k], type == kInteger || type == kFloat);
                }
                AddOutput(line);
            }
            query.Next();
        }
        if (data) AddOutput("");
    }
}

bool TOracleScript::RunNonSQLCommand(TOracleCommand& command) {
    const std::string& text = command.SubstitutedText();
    if (Debug) platform::UIServices().MessageBox(text, "Debug", platform::MessageKind::Information, platform::MessageButtons::OK);
    if (OutputOptions.Contains(ooNonSQL)) {
        AddOutput(text);
        AddOutput("");
    }
    // The command's words with today's variables (its cached Words keep the values of their
    // first use).
    const std::vector<std::string> words = SplitCommandWords(text);
    if (words.empty()) return false;
    const std::string word = CommandWord(words[0]);

    std::string argument = Trim(RemoveComments(text, false));
    if (!argument.empty() && argument.back() == ';') argument.pop_back();
    const std::size_t space = argument.find(' ');
    argument = space == std::string::npos ? std::string() : Trim(std::string_view(argument).substr(space));

    using script::MatchesCommandPattern;
    if (MatchesCommandPattern(word, "REM*ARK")) return true;
    if (word == "QUIT" || word == "EXIT") {
        SetFinished(true);
        return true;
    }
    if (word == "PAUSE") {
        platform::UIServices().MessageBox(UnquoteText(argument), "", platform::MessageKind::Information,
                                          platform::MessageButtons::OK);
        return true;
    }
    if (MatchesCommandPattern(word, "DEF*INE")) {
        const std::size_t eq = argument.find('=');
        if (eq != std::string::npos) SetVariable(argument.substr(0, eq), UnquoteText(std::string_view(argument).substr(eq + 1)));
        return true;
    }
    if (MatchesCommandPattern(word, "UNDEF*INE")) {
        SetVariable(argument, "");
        return true;
    }
    if (MatchesCommandPattern(word, "PRO*MPT")) {
        AddOutput(UnquoteText(argument));
        return true;
    }
    if (MatchesCommandPattern(word, "CON*NECT")) {
        RunConnect(argument);
        return true;
    }
    if (MatchesCommandPattern(word, "DISC*ONNECT")) {
        if (FSession) FSession->SetConnected(false);
        AddOutput("Disonnected");
        AddOutput("");
        return true;
    }
    if (word == "SET") {
        if (words.size() < 2) return false;
        const std::string option = CommandWord(words[1]);
        const std::string value = words.size() > 2 ? CommandWord(words[2]) : std::string();
        if (MatchesCommandPattern(option, "SCAN")) {
            SetFlag(ScanVariables, value);
        } else if (MatchesCommandPattern(option, "FEED*BACK")) {
            SetOption(OutputOptions, {ooFeedback}, value);
        } else if (MatchesCommandPattern(option, "ECHO")) {
            SetOption(OutputOptions, {ooSQL, ooNonSQL}, value);
        } else if (MatchesCommandPattern(option, "TERM*OUT")) {
            SetOption(OutputOptions, {ooData}, value);
        } else if (MatchesCommandPattern(option, "SERVEROUT*PUT")) {
            const bool was = ServerOutput;
            SetFlag(ServerOutput, value);
            // Lines written from now on are not kept for anybody.
            if (was && !ServerOutput && FSession && FSession->Connected()) {
                TOracleQuery& q = ServiceQuery();
                q.SQL().SetText("begin dbms_output.disable; end;");
                try {
                    q.Execute();
                } catch (const EOracleError&) {
                }
            }
        } else if (MatchesCommandPattern(option, "EXIT*ONERROR")) {
            SetFlag(ExitOnError, value);
        } else if (MatchesCommandPattern(option, "COL*WIDTH")) {
            int width = 0;
            const char* first = value.data();
            const char* last = value.data() + value.size();
            if (*first == '+') ++first;
            auto [end, ec] = std::from_chars(first, last, width);
            if (!value.empty() && ec == std::errc() && end == last) ColWidth = width;
        } else {
            return false;
        }
        return true;
    }
    return false;
}

void TOracleScript::RunConnect(const std::string& argument) {
    if (FSession) {
        FSession->SetConnected(false);
        FSession->SetLogonPassword("");
    }
    AddOutput(argument.empty() ? std::string("Connecting") : "Connecting as " + argument);
    {
        TOracleLogon logon;
        logon.Options = TLogonOptions{ldAuto, ldDatabase, ldDatabaseList, ldConnectAs};
        logon.SetSession(FSession);
        try {
            if (!FSession) throw Exception("No session assigned");
            TConnectStringParts parts;
            ParseConnectString(argument, parts);
            FSession->SetLogonUsername(parts.User);
            FSession->SetLogonPassword(parts.Password);
            FSession->SetLogonDatabase(parts.Database);
            FSession->SetConnectAs(parts.ConnectAs == "SYSDBA"    ? caSYSDBA
                                   : parts.ConnectAs == "SYSOPER" ? caSYSOPER
                                                                  : caNormal);
            logon.Execute();
            if (!FSession->Connected()) {
                AddOutput("Connection failed, not logged on");
                AddOutput("");
            }
        } catch (const std::exception& e) {
            const Exception* ours = dynamic_cast<const Exception*>(&e);
            const std::string message = ours ? ours->Message() : std::string(e.what());
            if (!message.empty()) AddOutput(message);
        }
    }
    AddOutput("");
}

} // namespace quorvel
