// The logon component on the stand-in client, loaded through the real loader, with its dialogs
// answered by the headless user-interface services: attempts and retries, cancelling, the
// automatic attempt and the UserId= program parameter, the password-only dialog, history
// recording, connect-as, and the expired-password and change-password dialogs.
// Every test has its own database directory and registry hives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Strings.h"
#include "oracle/ci/NetServiceNames.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/logon/LogonHistory.h"
#include "oracle/logon/OracleLogon.h"
#include "oracle/session/OracleSession.h"
#include "platform/HeadlessUIServices.h"
#include "platform/Process.h"

#ifdef QUORVEL_TEST_SQLITE
#include <sqlite3.h>
#endif

using namespace quorvel;
using platform::DialogResult;
using platform::LogonDialogState;
using platform::PasswordDialogState;
using platform::UIRecord;

namespace {

std::string StandInHome() {
    const char* home = std::getenv("QUORVEL_STANDIN_HOME");
    return home ? home : "";
}

class OracleLogonTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (StandInHome().empty()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        char pattern[] = "/tmp/quorvel-logon-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        FRoot = pattern;
        std::filesystem::create_directories(FRoot + "/registry");
        ::setenv("QUORVEL_REGISTRY_DIR", (FRoot + "/registry").c_str(), 1);
        ::setenv("ORACLE_HOME", StandInHome().c_str(), 1);
        OCIDLL = StandInHome() + "/lib/libclntsh.so";
        FDatabase = FRoot + "/db";
        FPrevious = platform::SetUIServices(&FUI);
        platform::SetProgramParameters("logon_tests", {});
        LogonHistory().Clear();
        logon.SetSession(&session);
    }

    void TearDown() override {
        if (StandInHome().empty()) return;
        session.LogOff();
        OracleShutdown();
        platform::SetUIServices(FPrevious);
        platform::SetProgramParameters("logon_tests", {});
        LogonTexts() = TLogonTexts();
        LogonHistory().Clear();
        LogonHistory().SetSize(0);
        LogonHistory().SetWithPassword(false);
        ::unsetenv("QUORVEL_REGISTRY_DIR");
        if (!FRoot.empty()) std::filesystem::remove_all(FRoot);
    }

    void Credentials(const std::string& user, const std::string& password) {
        session.SetLogonUsername(user);
        session.SetLogonPassword(password);
        session.SetLogonDatabase(FDatabase);
    }

    // Runs sql as SYSTEM on a session of its own.
    void RunAsSystem(const std::string& sql) {
        TOracleSession dba;
        dba.SetLogonUsername("system/manager@" + FDatabase);
        dba.LogOn();
        void* stmt = nullptr;
        OCI.OCIHandleAlloc(dba.EnvHandle(), &stmt, OCI_HTYPE_STMT, 0, nullptr);
        auto* err = static_cast<OCIError*>(dba.ErrorHandle());
        int32_t status = OCI.OCIStmtPrepare(static_cast<OCIStmt*>(stmt), err,
                                            reinterpret_cast<const text*>(sql.c_str()), ub4(sql.size()),
                                            OCI_NTV_SYNTAX, OCI_DEFAULT);
        if (status == OCI_SUCCESS)
            status = OCI.OCIStmtExecute(static_cast<OCISvcCtx*>(dba.ServiceContext()), static_cast<OCIStmt*>(stmt),
                                        err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT);
        EXPECT_EQ(status, OCI_SUCCESS) << sql;
        dba.LogOff();
    }

    std::vector<UIRecord> Shown(UIRecord::Kind kind) const {
        std::vector<UIRecord> result;
        for (const UIRecord& r : FUI.Shown())
            if (r.What == kind) result.push_back(r);
        return result;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const UIRecord& r : Shown(UIRecord::Kind::MessageBox)) texts.push_back(r.Text);
        return texts;
    }
    int LogonDialogs() const { return int(Shown(UIRecord::Kind::LogonDialog).size()); }

    std::string FRoot;
    std::string FDatabase;
    platform::HeadlessUIServices FUI;
    platform::IUIServices* FPrevious = nullptr;
    TOracleSession session;
    TOracleLogon logon;
};

TEST_F(OracleLogonTest, DefaultsAndNoSession) {
    TOracleLogon fresh;
    EXPECT_EQ(fresh.Retries, 2);
    EXPECT_TRUE(fresh.Options == (TLogonOptions{ldAuto, ldDatabase}));
    EXPECT_EQ(fresh.AliasDropDownCount, 8);
    EXPECT_EQ(fresh.HistorySize, 6);
    EXPECT_FALSE(fresh.HistoryWithPassword);
    EXPECT_TRUE(fresh.HistoryRegSection.empty() && fresh.HistoryIniFile.empty() && fresh.Caption.empty());
    EXPECT_FALSE(fresh.Execute());
    EXPECT_FALSE(fresh.SetPassword());
    EXPECT_TRUE(FUI.Shown().empty());

    // A destroyed session is forgotten.
    auto* owned = new TOracleSession;
    fresh.SetSession(owned);
    delete owned;
    EXPECT_EQ(fresh.Session(), nullptr);
    EXPECT_FALSE(fresh.Execute());
}

// Every failed attempt shows its message; Retries further attempts follow the first, then
// Execute gives up with true (an attempt was made) and the session stays disconnected.
TEST_F(OracleLogonTest, RetriesBoundTheAttempts) {
    struct Case {
        uint16_t retries;
        int attempts;
    };
    for (const Case c : {Case{0, 1}, Case{2, 3}}) {
        FUI.Clear();
        Credentials("scott", "wrong");
        logon.Options = {ldDatabase};
        logon.Retries = c.retries;
        for (int i = 0; i < 5; ++i) FUI.QueueLogonAnswer(DialogResult::OK);
        EXPECT_TRUE(logon.Execute());
        EXPECT_FALSE(session.Connected());
        EXPECT_EQ(LogonDialogs(), c.attempts) << c.retries;
        const auto messages = Messages();
        ASSERT_EQ(int(messages.size()), c.attempts) << c.retries;
        EXPECT_EQ(messages[0].rfind("ORA-01017", 0), 0u) << messages[0];
    }
}

TEST_F(OracleLogonTest, CancellingFirstGivesFalseCancellingAfterAFailureGivesTrue) {
    Credentials("scott", "wrong");
    logon.Options = {ldDatabase};
    FUI.QueueLogonAnswer(DialogResult::Cancel);
    EXPECT_FALSE(logon.Execute());
    EXPECT_EQ(LogonDialogs(), 1);
    EXPECT_TRUE(Messages().empty());

    FUI.Clear();
    FUI.QueueLogonAnswer(DialogResult::OK);
    FUI.QueueLogonAnswer(DialogResult::Cancel);
    EXPECT_TRUE(logon.Execute());
    EXPECT_EQ(LogonDialogs(), 2);
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_FALSE(session.Connected());
}

// The dialog shows the session's values and writes back what the user typed; after a failed
// attempt it comes back with what the session now holds (a connect string typed as the user
// name is split by the session).
TEST_F(OracleLogonTest, TheDialogShowsAndWritesBackTheSessionsValues) {
    Credentials("scott", "");
    logon.Options = {ldDatabase};
    LogonDialogState first, second;
    FUI.QueueLogonAnswer(DialogResult::OK, [&](LogonDialogState& s) {
        first = s;
        s.Username.Text = "scott/wrong@" + FDatabase;
    });
    FUI.QueueLogonAnswer(DialogResult::OK, [&](LogonDialogState& s) {
        second = s;
        s.Password.Text = "tiger";
    });
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(first.Caption, "Oracle Logon");
    EXPECT_EQ(first.Username.Label, "Username");
    EXPECT_EQ(first.Password.Label, "Password");
    EXPECT_EQ(first.Database.Label, "Database");
    EXPECT_EQ(first.Username.Text, "scott");
    EXPECT_EQ(first.Database.Text, FDatabase);
    EXPECT_TRUE(first.Password.Masked);
    EXPECT_TRUE(first.FocusPassword);
    EXPECT_TRUE(first.Database.Visible);
    EXPECT_FALSE(first.ConnectAsVisible);
    EXPECT_FALSE(first.HistoryButtonVisible);
    EXPECT_FALSE(first.UseAliasList);
    EXPECT_EQ(second.Username.Text, "scott");
    EXPECT_EQ(second.Password.Text, "wrong");
    EXPECT_EQ(second.Database.Text, FDatabase);
    EXPECT_EQ(session.LogonPassword(), "tiger");
}

TEST_F(OracleLogonTest, UserIdParameterLogsOnSilentlyOnlyOnTheFirstExecute) {
    platform::SetProgramParameters("logon_tests", {"NotUserId=x/y", "uSeRiD=scott/tiger@" + FDatabase});
    EXPECT_EQ(UserIdParameter(), "scott/tiger@" + FDatabase);
    session.SetLogonUsername("other");
    session.SetLogonPassword("secret");
    logon.Options = {ldAuto, ldDatabase};
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(LogonDialogs(), 0);
    EXPECT_EQ(session.LogonUsername(), "scott");
    EXPECT_EQ(session.LogonDatabase(), FDatabase);
    EXPECT_FALSE(logon.Options.Contains(ldAuto));

    session.LogOff();
    FUI.QueueLogonAnswer(DialogResult::Cancel);
    EXPECT_FALSE(logon.Execute());
    EXPECT_EQ(LogonDialogs(), 1);
    EXPECT_FALSE(session.Connected());
}

// With ldAuto and a session holding user and password the first attempt is silent; when it
// fails the dialog comes for the remaining attempts.
TEST_F(OracleLogonTest, AutomaticAttemptWithTheSessionsCredentials) {
    Credentials("scott", "wrong");
    logon.Options = {ldAuto, ldDatabase};
    logon.Retries = 1;
    FUI.QueueLogonAnswer(DialogResult::OK, [](LogonDialogState& s) { s.Password.Text = "tiger"; });
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(LogonDialogs(), 1);
    EXPECT_EQ(Messages().size(), 1u);

    // Without a password there is nothing to try silently.
    session.LogOff();
    FUI.Clear();
    TOracleLogon other;
    other.SetSession(&session);
    session.SetLogonPassword("");
    FUI.QueueLogonAnswer(DialogResult::Cancel);
    EXPECT_FALSE(other.Execute());
    EXPECT_EQ(LogonDialogs(), 1);
}

TEST_F(OracleLogonTest, PasswordOnlyDisablesEverythingButThePassword) {
    struct Case {
        std::string user;
        bool usernameEnabled;
        bool focusPassword;
    };
    for (const Case& c : {Case{"scott", false, true}, Case{"", true, false}}) {
        Credentials(c.user, "");
        logon.Options = {ldDatabase, ldConnectAs, ldLogonHistory, ldPasswordOnly};
        LogonHistory().Add("scott", "", FDatabase, "");
        LogonDialogState seen;
        FUI.QueueLogonAnswer(DialogResult::Cancel, [&](LogonDialogState& s) { seen = s; });
        EXPECT_FALSE(logon.Execute());
        EXPECT_EQ(seen.Username.Enabled, c.usernameEnabled) << c.user;
        EXPECT_EQ(seen.FocusPassword, c.focusPassword) << c.user;
        EXPECT_TRUE(seen.Password.Enabled);
        EXPECT_FALSE(seen.Database.Enabled);
        EXPECT_TRUE(seen.ConnectAsVisible);
        EXPECT_FALSE(seen.ConnectAsEnabled);
        EXPECT_TRUE(seen.HistoryButtonVisible);
        EXPECT_FALSE(seen.HistoryButtonEnabled);
    }
}

// A successful log-on goes to the top of the history, unless Control was held down on OK.
TEST_F(OracleLogonTest, HistoryRecordsLogonsUnlessControlIsDown) {
    logon.Options = {ldDatabase, ldLogonHistory, ldConnectAs};
    Credentials("scott", "tiger");
    FUI.SetControlKeyDown(true);
    LogonDialogState seen;
    FUI.QueueLogonAnswer(DialogResult::OK, [&](LogonDialogState& s) { seen = s; });
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(LogonHistory().Count(), 0);
    EXPECT_TRUE(seen.HistoryButtonVisible);
    EXPECT_FALSE(seen.HistoryButtonEnabled);
    EXPECT_EQ(seen.HistoryButtonHint, "Logon history");
    EXPECT_EQ(LogonHistory().Size(), 6);

    FUI.SetControlKeyDown(false);
    session.LogOff();
    FUI.QueueLogonAnswer(DialogResult::OK);
    EXPECT_TRUE(logon.Execute());
    ASSERT_EQ(LogonHistory().Count(), 1);
    EXPECT_EQ(LogonHistory().Item(0).DisplayString(), "scott@" + FDatabase);
    EXPECT_TRUE(LogonHistory().Item(0).Password.empty());

    // The next dialog offers it: choosing the entry fills the fields; with the password kept
    // it closes the dialog at once.
    session.LogOff();
    Credentials("", "");
    LogonHistory().SetWithPassword(true);
    logon.HistoryWithPassword = true;
    LogonHistory().Add("system", "manager", FDatabase, "SYSDBA");
    bool closes = false;
    FUI.QueueLogonAnswer(DialogResult::OK, [&](LogonDialogState& s) {
        seen = s;
        const auto menu = s.HistoryMenu();
        ASSERT_EQ(menu.size(), 2u);
        EXPECT_EQ(menu[0].Caption, "system@" + FDatabase + " as SYSDBA");
        closes = s.HistoryChosen(menu[0].Tag, s);
    });
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(seen.HistoryButtonEnabled);
    EXPECT_TRUE(closes);
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.LogonUsername(), "system");
    EXPECT_EQ(session.ConnectAs(), caSYSDBA);
    ASSERT_EQ(LogonHistory().Count(), 2);
    EXPECT_EQ(LogonHistory().Item(0).DisplayString(), "system@" + FDatabase + " as SYSDBA");
}

TEST_F(OracleLogonTest, HistoryIsLoadedFromAndSavedToItsIniFile) {
    const std::string ini = FRoot + "/history.ini";
    THistoryItems stored;
    stored.Add("system", "", FDatabase, "");
    ASSERT_TRUE(stored.SaveIni(ini));
    LogonHistory().Add("stale", "", "", "");

    logon.Options = {ldDatabase, ldLogonHistory};
    logon.HistoryIniFile = ini;
    Credentials("scott", "tiger");
    FUI.QueueLogonAnswer(DialogResult::OK);
    EXPECT_TRUE(logon.Execute());
    THistoryItems reread;
    ASSERT_TRUE(reread.LoadIni(ini));
    ASSERT_EQ(reread.Count(), 2);
    EXPECT_EQ(reread.Item(0).DisplayString(), "scott@" + FDatabase);
    EXPECT_EQ(reread.Item(1).DisplayString(), "system@" + FDatabase);
}

TEST_F(OracleLogonTest, ConnectAsAndTheDatabaseList) {
    Credentials("system", "manager");
    logon.Options = {ldDatabase, ldDatabaseList, ldConnectAs};
    logon.AliasDropDownCount = 5;
    LogonDialogState seen;
    FUI.QueueLogonAnswer(DialogResult::OK, [&](LogonDialogState& s) {
        seen = s;
        s.ConnectAsIndex = 1;
    });
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.ConnectAs(), caSYSDBA);
    EXPECT_TRUE(seen.UseAliasList);
    EXPECT_EQ(seen.AliasDropDownCount, 5);
    TStringList names;
    ASSERT_TRUE(CopyTNSNames(names));
    ASSERT_EQ(int(seen.Aliases.size()), names.Count());
    ASSERT_FALSE(seen.Aliases.empty());
    EXPECT_EQ(seen.Aliases[0], names[0]);
    EXPECT_TRUE(seen.ConnectAsVisible);
    EXPECT_EQ(seen.ConnectAsItems, (std::vector<std::string>{"Normal", "SYSDBA", "SYSOPER"}));
    EXPECT_EQ(seen.ConnectAsIndex, 0);

    // The row is not offered when the session works through OCI7 calls, and without
    // ldConnectAs the choice is not used.
    session.LogOff();
    session.Preferences().SetUseOCI7(true);
    FUI.QueueLogonAnswer(DialogResult::Cancel, [&](LogonDialogState& s) { seen = s; });
    EXPECT_FALSE(logon.Execute());
    EXPECT_FALSE(seen.ConnectAsVisible);
    EXPECT_EQ(seen.ConnectAsIndex, 1);
    session.Preferences().SetUseOCI7(false);
    logon.Options = {ldDatabase};
    Credentials("scott", "tiger");
    FUI.QueueLogonAnswer(DialogResult::OK, [](LogonDialogState& s) { s.ConnectAsIndex = 1; });
    EXPECT_TRUE(logon.Execute());
    EXPECT_EQ(session.ConnectAs(), caNormal);
    EXPECT_TRUE(session.Connected());
}

// A Personal Oracle Lite database chosen from the list may need another client: the session is
// logged off and the client unloaded before the attempt, so it is loaded afresh.
TEST_F(OracleLogonTest, APersonalOracleLiteDatabaseFromTheListReloadsTheClient) {
    static int unloads = 0;
    static bool registered = false;
    if (!registered) AddOCIUnloadHandler([] { ++unloads; });
    registered = true;
    struct Case {
        TLogonOptions options;
        int unloads;
    };
    for (const Case& c : {Case{{ldDatabase}, 0}, Case{{ldDatabase, ldDatabaseList}, 1}}) {
        FUI.Clear();
        EnsureOCILoaded();
        Credentials("scott", "tiger");
        session.SetLogonDatabase("ODBC:POLITE");
        ASSERT_TRUE(session.POLite());
        logon.Options = c.options;
        logon.Retries = 0;
        FUI.QueueLogonAnswer(DialogResult::OK);
        const int before = unloads;
        EXPECT_TRUE(logon.Execute());
        EXPECT_EQ(unloads - before, c.unloads);
        EXPECT_FALSE(session.Connected());
        EXPECT_EQ(Messages().size(), 1u);
    }
}

// The caption of one component stays the process's logon caption, also for components
// without a caption of their own.
TEST_F(OracleLogonTest, ACaptionStaysForLaterDialogs) {
    Credentials("scott", "");
    logon.Options = {ldDatabase};
    logon.Caption = "Подключение";
    FUI.QueueLogonAnswer(DialogResult::Cancel);
    logon.Execute();
    TOracleLogon plain;
    plain.SetSession(&session);
    plain.Options = {ldDatabase};
    FUI.QueueLogonAnswer(DialogResult::Cancel);
    plain.Execute();
    const auto dialogs = Shown(UIRecord::Kind::LogonDialog);
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].Text, "Подключение");
    EXPECT_EQ(dialogs[1].Text, "Подключение");
}

// ORA-28001: the expired-password dialog asks for the new password twice; two different texts
// give "Verification failed" and the dialog again, texts differing only in letter case are
// accepted, the password is changed and the log-on completes.
TEST_F(OracleLogonTest, AnExpiredPasswordIsChangedThroughTheDialog) {
    RunAsSystem("alter user scott password expire");
    Credentials("scott", "tiger");
    logon.Options = {ldDatabase, ldLogonHistory};
    FUI.QueueLogonAnswer(DialogResult::OK);
    PasswordDialogState seen;
    FUI.QueuePasswordAnswer(DialogResult::OK, [&](PasswordDialogState& s) {
        seen = s;
        s.NewPassword.Text = "lion";
        s.Verification.Text = "tigger";
    });
    FUI.QueuePasswordAnswer(DialogResult::OK, [&](PasswordDialogState& s) {
        s.NewPassword.Text = "Lion";
        s.Verification.Text = "LION";
    });
    EXPECT_TRUE(logon.Execute());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Verification failed"});
    EXPECT_EQ(Shown(UIRecord::Kind::PasswordDialog).size(), 2u);
    EXPECT_EQ(seen.Caption, "Your password has expired");
    EXPECT_FALSE(seen.OldPassword.Visible);
    EXPECT_EQ(seen.NewPassword.Label, "New password");
    EXPECT_EQ(seen.Verification.Label, "Verification");
    EXPECT_TRUE(seen.NewPassword.Masked && seen.Verification.Masked);
    EXPECT_TRUE(seen.NewPassword.Text.empty());
    ASSERT_TRUE(session.Connected());
    EXPECT_EQ(session.LogonPassword(), "Lion");
    EXPECT_EQ(LogonDialogs(), 1);

    // The new password holds for the next log-on.
    TOracleSession again;
    again.SetLogonUsername("scott/Lion@" + FDatabase);
    again.LogOn();
    EXPECT_TRUE(again.Connected());
    again.LogOff();
}

TEST_F(OracleLogonTest, CancellingTheExpiredPasswordDialogCountsAsAFailedAttempt) {
    RunAsSystem("alter user scott password expire");
    Credentials("scott", "tiger");
    logon.Options = {ldDatabase};
    logon.Retries = 0;
    FUI.QueueLogonAnswer(DialogResult::OK);
    FUI.QueuePasswordAnswer(DialogResult::Cancel);
    EXPECT_TRUE(logon.Execute());
    EXPECT_FALSE(session.Connected());
    EXPECT_TRUE(Messages().empty());
}

#ifdef QUORVEL_TEST_SQLITE
// A password in its grace period logs on with a warning: the component asks whether to change
// it now; Yes runs the expired-password dialog on the connected session, No leaves it.
TEST_F(OracleLogonTest, AnExpiringPasswordOffersTheChange) {
    RunAsSystem("select 1 from dual");   // creates the database
    OracleShutdown();                    // the stand-in closes it with its last session
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((FDatabase + "/database.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE ocs_users SET account_status = 'EXPIRED(GRACE)' WHERE username = 'SCOTT'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    logon.Options = {ldDatabase, ldLogonHistory};
    struct Case {
        DialogResult answer;
        std::string password;
    };
    for (const Case& c : {Case{DialogResult::No, "tiger"}, Case{DialogResult::Yes, "lion"}}) {
        FUI.Clear();
        session.LogOff();
        Credentials("scott", "tiger");
        FUI.QueueLogonAnswer(DialogResult::OK);
        FUI.QueueAnswer(c.answer);
        FUI.QueuePasswordAnswer(DialogResult::OK, [](PasswordDialogState& s) {
            s.NewPassword.Text = "lion";
            s.Verification.Text = "lion";
        });
        EXPECT_TRUE(logon.Execute());
        ASSERT_TRUE(session.Connected());
        const auto confirms = Shown(UIRecord::Kind::Confirm);
        ASSERT_EQ(confirms.size(), 1u);
        EXPECT_EQ(confirms[0].Title, "Confirm");
        EXPECT_EQ(confirms[0].Text, session.ExpirationMessage() + "\r\nDo you wish to change your password now?");
        EXPECT_NE(confirms[0].Text.find("ORA-28002"), std::string::npos) << confirms[0].Text;
        EXPECT_EQ(Shown(UIRecord::Kind::PasswordDialog).size(), c.answer == DialogResult::Yes ? 1u : 0u);
        EXPECT_EQ(session.LogonPassword(), c.password);
        EXPECT_EQ(LogonHistory().Count(), 1);
        if (c.answer == DialogResult::Yes) break;
    }
}
#endif

TEST_F(OracleLogonTest, ChangePasswordChecksTheOldPasswordAndTheVerification) {
    Credentials("scott", "tiger");
    session.LogOn();
    PasswordDialogState seen;
    FUI.QueuePasswordAnswer(DialogResult::OK, [&](PasswordDialogState& s) {
        seen = s;
        s.OldPassword.Text = "wrong";
        s.NewPassword.Text = "lion";
        s.Verification.Text = "lion";
    });
    FUI.QueuePasswordAnswer(DialogResult::OK, [&](PasswordDialogState& s) {
        s.OldPassword.Text = "TIGER";
        s.NewPassword.Text = "lion";
        s.Verification.Text = "Lion";
    });
    EXPECT_TRUE(logon.SetPassword());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Verification failed"});
    EXPECT_EQ(seen.Caption, "Change password");
    EXPECT_TRUE(seen.OldPassword.Visible);
    EXPECT_EQ(seen.OldPassword.Label, "Old password");
    EXPECT_TRUE(seen.OldPassword.Masked);
    EXPECT_EQ(session.LogonPassword(), "lion");
    EXPECT_TRUE(session.Connected());

    FUI.QueuePasswordAnswer(DialogResult::Cancel);
    EXPECT_FALSE(logon.SetPassword());
    EXPECT_EQ(session.LogonPassword(), "lion");
}

TEST(LogonTexts, UserInCaptionsIsLowerCase) {
    TOracleSession session;
    session.SetLogonUsername("SCOTT");
    session.SetLogonDatabase("ORCL");
    LogonTexts().ChangePasswordCaption = "Change password for %1";
    platform::HeadlessUIServices ui;
    platform::IUIServices* previous = platform::SetUIServices(&ui);
    TOracleLogon logon;
    logon.SetSession(&session);
    ui.QueuePasswordAnswer(DialogResult::Cancel);
    EXPECT_FALSE(logon.SetPassword());
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].Text, "Change password for scott@orcl");
    platform::SetUIServices(previous);
    LogonTexts() = TLogonTexts();
}

} // namespace
