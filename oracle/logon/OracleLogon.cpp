#include "oracle/logon/OracleLogon.h"

#include "base/CodePage.h"
#include "base/Exception.h"
#include "base/Strings.h"
#include "base/TextCase.h"
#include "oracle/ci/NetServiceNames.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/logon/LogonHistory.h"
#include "oracle/session/OracleError.h"
#include "oracle/session/OracleSession.h"
#include "oracle/session/UTF8.h"
#include "platform/Process.h"
#include "platform/UIServices.h"

namespace quorvel {

using platform::DialogResult;
using platform::UIServices;

TLogonTexts& LogonTexts() {
    static TLogonTexts texts;
    return texts;
}

namespace {

constexpr int kConnectAsNormal = 0, kConnectAsSYSDBA = 1, kConnectAsSYSOPER = 2;

// "user@database" of the session in lower case, put for every "%1" of text.
std::string WithUser(const std::string& text, const TOracleSession& session) {
    std::string who = session.LogonUsername();
    if (!session.LogonDatabase().empty()) who += "@" + session.LogonDatabase();
    who = AnsiLowerCase(who);
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '1') {
            result += who;
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

void ShowMessage(const std::string& message) {
    UIServices().MessageBox(LogonDisplayMessage(message), std::string(), platform::MessageKind::None,
                            platform::MessageButtons::OK);
}

int ConnectAsIndex(TConnectAsOption mode) {
    return mode == caSYSDBA ? kConnectAsSYSDBA : mode == caSYSOPER ? kConnectAsSYSOPER : kConnectAsNormal;
}

std::string ConnectAsText(TConnectAsOption mode) {
    return mode == caSYSDBA ? "SYSDBA" : mode == caSYSOPER ? "SYSOPER" : "";
}

// Whether the loaded client can log on as SYSDBA / SYSOPER. The row is decided before the first
// log-on has loaded the client, so the client is loaded here when it is not yet; a client that
// cannot be loaded hides the row, and the log-on itself reports why.
bool ConnectAsPossible(const TOracleSession& session) {
    if (!OCILoaded() && !session.POLite()) {
        try {
            EnsureOCILoaded();
        } catch (const Exception&) {
        }
        // A load that had to change directory puts it back, as a log-on does.
        OCIGlobalLock().Enter();
        RestoreCurrentDir();
        OCIGlobalLock().Leave();
    }
    return HasOCI8 && !ForceOCI7 && !session.Preferences().UseOCI7();
}

// Fields of the session into the dialog.
void LoadFields(platform::LogonDialogState& state, const TOracleSession& session) {
    state.Username.Text = session.LogonUsername();
    state.Password.Text = session.LogonPassword();
    state.Database.Text = session.LogonDatabase();
}

// Runs the password dialog until the password is changed (true) or the user cancels (false).
// With withOldPassword the old password must match the session's; the new one must match its
// verification; letter case is ignored in both.
bool RunPasswordDialog(TOracleSession& session, platform::PasswordDialogState& state, bool withOldPassword) {
    const TLogonTexts& texts = LogonTexts();
    std::unique_ptr<platform::IPasswordDialog> dialog = UIServices().CreatePasswordDialog();
    for (;;) {
        if (dialog->ShowModal(state) != DialogResult::OK) return false;
        const bool oldMatches = !withOldPassword || AnsiSameText(state.OldPassword.Text, session.LogonPassword());
        if (!oldMatches || !AnsiSameText(state.NewPassword.Text, state.Verification.Text)) {
            ShowMessage(texts.VerificationFailed);
            continue;
        }
        try {
            session.SetPassword(state.NewPassword.Text);
            if (!session.Connected()) session.LogOn();
            return true;
        } catch (const EOracleError& e) {
            ShowMessage(e.Message());
        }
    }
}

platform::PasswordDialogState PasswordState(const std::string& caption) {
    const TLogonTexts& texts = LogonTexts();
    platform::PasswordDialogState state;
    state.Caption = caption;
    state.OKCaption = texts.OK;
    state.CancelCaption = texts.Cancel;
    for (platform::DialogTextField* f : {&state.OldPassword, &state.NewPassword, &state.Verification}) {
        f->Text.clear();
        f->Masked = true;
    }
    state.OldPassword.Label = texts.OldPassword;
    state.NewPassword.Label = texts.NewPassword;
    state.Verification.Label = texts.Verification;
    return state;
}

} // namespace

std::string UserIdParameter() {
    static const std::string prefix = "USERID=";
    for (const std::string& parameter : platform::ProgramParameters()) {
        if (parameter.size() >= prefix.size() && UpperCase(parameter.substr(0, prefix.size())) == prefix)
            return parameter.substr(prefix.size(), 255);
    }
    return {};
}

std::string LogonDisplayMessage(const std::string& message) {
    // Message boxes take text of the process's code page.
    return Utf16ToAnsi(MessageForDisplay(message));
}

TOracleLogon::TOracleLogon(TComponent* owner) : TComponent(owner) {}

TOracleLogon::~TOracleLogon() = default;

void TOracleLogon::SetSession(TOracleSession* session) {
    if (session == FSession) return;
    if (FSession) RemoveFreeNotification(FSession);
    FSession = session;
    if (FSession) FreeNotification(FSession);
}

void TOracleLogon::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == FSession) FSession = nullptr;
}

bool TOracleLogon::Execute() {
    if (!FSession) return false;
    THistoryItems& history = LogonHistory();
    if (Options.Contains(ldLogonHistory))
        history.Prepare(HistorySize, HistoryWithPassword, HistoryRegSection, HistoryIniFile);
    if (!Caption.empty()) LogonTexts().LogonCaption = Caption;
    const bool result = RunLogonDialog();
    if (Options.Contains(ldLogonHistory)) history.Store(HistoryRegSection, HistoryIniFile);
    return result;
}

bool TOracleLogon::RunLogonDialog() {
    TOracleSession& session = *FSession;
    const TLogonTexts& texts = LogonTexts();
    const TLogonOptions options = Options;
    std::unique_ptr<platform::ILogonDialog> dialog = UIServices().CreateLogonDialog();

    platform::LogonDialogState state;
    state.Picture = Picture;
    state.OKCaption = texts.OK;
    state.CancelCaption = texts.Cancel;
    state.Caption = texts.LogonCaption;
    state.Username.Label = texts.Username;
    state.Password.Label = texts.Password;
    state.Password.Masked = true;
    state.Database.Label = texts.Database;
    state.ConnectAsLabel = texts.ConnectAs;
    LoadFields(state, session);

    if (options.Contains(ldDatabaseList)) {
        state.UseAliasList = true;
        state.AliasDropDownCount = AliasDropDownCount;
        TStringList names;
        if (CopyTNSNames(names))
            for (int i = 0; i < names.Count(); ++i) state.Aliases.push_back(names[i]);
    }
    state.ConnectAsItems = {"Normal", "SYSDBA", "SYSOPER"};
    state.ConnectAsIndex = ConnectAsIndex(session.ConnectAs());

    if (options.Contains(ldLogonHistory)) {
        state.HistoryButtonVisible = true;
        state.HistoryButtonEnabled = LogonHistory().Count() > 0;
        state.HistoryButtonHint = texts.HistoryHint;
        state.HistoryMenu = [] { return HistoryMenuItems(LogonHistory()); };
        state.HistoryChosen = [](int tag, platform::LogonDialogState& s) {
            return ApplyHistoryEntry(LogonHistory(), tag, s);
        };
    }
    state.Database.Visible = options.Contains(ldDatabase);
    state.ConnectAsVisible = options.Contains(ldConnectAs) && ConnectAsPossible(session);

    if (options.Contains(ldPasswordOnly)) {
        state.HistoryButtonEnabled = false;
        state.Username.Enabled = state.Username.Text.empty();
        state.Database.Enabled = false;
        state.ConnectAsEnabled = false;
    }

    bool result = false;
    bool confirmed = false;
    int attempts = 0;
    bool firstPass = true;
    do {
        confirmed = false;
        bool controlDown = false;
        if (firstPass && Options.Contains(ldAuto)) {
            Options.Exclude(ldAuto);
            const std::string userId = UserIdParameter();
            if (!userId.empty()) {
                state.Username.Text = userId;
                state.Password.Text.clear();
                state.Database.Text.clear();
                confirmed = true;
            } else if (!session.LogonUsername().empty() && !session.LogonPassword().empty()) {
                confirmed = true;
            }
        }
        firstPass = false;

        if (!confirmed) {
            state.FocusPassword = !(state.Username.Enabled && state.Username.Text.empty());
            state.ControlDownOnOK = false;
            if (dialog->ShowModal(state) == DialogResult::OK) {
                confirmed = true;
                controlDown = state.ControlDownOnOK;
            }
        }
        ++attempts;

        if (confirmed) {
            result = true;
            session.SetLogonUsername(state.Username.Text);
            session.SetLogonPassword(state.Password.Text);
            session.SetLogonDatabase(state.Database.Text);
            TConnectAsOption mode = caNormal;
            if (options.Contains(ldConnectAs)) {
                if (state.ConnectAsIndex == kConnectAsSYSDBA) mode = caSYSDBA;
                if (state.ConnectAsIndex == kConnectAsSYSOPER) mode = caSYSOPER;
            }
            session.SetConnectAs(mode);
            try {
                if (session.POLite() && options.Contains(ldDatabaseList)) {
                    // A new database may need another client: the next log-on loads it afresh.
                    session.LogOff();
                    UnloadOCI();
                }
                session.LogOn();
                if (!session.ExpirationMessage().empty() &&
                    UIServices().Confirm(session.ExpirationMessage() + "\r\n" + WithUser(texts.ChangeNowQuestion, session),
                                         texts.ConfirmTitle))
                    ExpiredPasswordDialog();
                if (options.Contains(ldLogonHistory) && !controlDown)
                    LogonHistory().Add(session.LogonUsername(), session.LogonPassword(), session.LogonDatabase(),
                                       ConnectAsText(session.ConnectAs()), false, true);
            } catch (const EOracleError& e) {
                if (e.ErrorCode() == 28001 && OCI8Allowed) {
                    try {
                        ExpiredPasswordDialog();
                    } catch (const Exception& inner) {
                        ShowMessage(inner.Message());
                    }
                } else {
                    ShowMessage(e.Message());
                }
            } catch (const Exception& e) {
                ShowMessage(e.Message());
            }
            // The session may have split a user name that held a whole connect string.
            LoadFields(state, session);
            if (state.ConnectAsVisible) state.ConnectAsIndex = ConnectAsIndex(session.ConnectAs());
        }
    } while (!session.Connected() && confirmed && attempts <= int(Retries));
    return result;
}

bool TOracleLogon::ExpiredPasswordDialog() {
    platform::PasswordDialogState state = PasswordState(WithUser(LogonTexts().ExpiredCaption, *FSession));
    state.OldPassword.Visible = false;
    return RunPasswordDialog(*FSession, state, false);
}

bool TOracleLogon::SetPassword() {
    if (!FSession) return false;
    platform::PasswordDialogState state = PasswordState(WithUser(LogonTexts().ChangePasswordCaption, *FSession));
    return RunPasswordDialog(*FSession, state, true);
}

} // namespace quorvel
