#include "app/Console.h"
#include "app/FormMain.h"
#include "app/ModuleInstall.h"
#include "app/QtUIServices.h"
#include "base/CodePage.h"
#include "oracle/logon/LogonHistory.h"
#include "oracle/logon/OracleLogon.h"
#include "oracle/logon/widgets/LogOnForm.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/script/OracleScript.h"
#include "oracle/session/OracleSession.h"
#include "platform/HeadlessUIServices.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

using quorvel::TFormMain;

namespace {

class FormMainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) app = new QApplication(argc, argv);
    }

    void SetUp() override {
        previous = quorvel::platform::SetUIServices(&ui);
        form = std::make_unique<TFormMain>();
        form->show();
    }

    void TearDown() override {
        form.reset();
        quorvel::platform::SetUIServices(previous);
    }

    std::vector<std::string> Failures() const {
        std::vector<std::string> texts;
        for (const auto& r : ui.Shown()) texts.push_back(r.Text);
        return texts;
    }

    QStringList LogLines() const {
        QString text = form->MemoLog->toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }

    static inline QApplication* app = nullptr;
    quorvel::platform::HeadlessUIServices ui;
    quorvel::platform::IUIServices* previous = nullptr;
    std::unique_ptr<TFormMain> form;
};

TEST_F(FormMainTest, StartsDisconnectedWithTheDesignedLayout) {
    EXPECT_TRUE(form->MenuConnect->isEnabled());
    EXPECT_FALSE(form->MenuDisconnect->isEnabled());
    EXPECT_FALSE(form->MenuAction->menuAction()->isEnabled());
    EXPECT_TRUE(form->StatusPanel0->text().isEmpty());
    EXPECT_TRUE(form->StatusPanel1->text().isEmpty());
    EXPECT_TRUE(form->MemoLog->isReadOnly());
    EXPECT_EQ(form->MemoLog->toPlainText(), QString());

    // Client area 517 x 261 below the menu bar; status bar 20 high with two 100-wide panels.
    EXPECT_EQ(form->width(), 517);
    EXPECT_EQ(form->height() - form->menuBar()->height(), 261);
    EXPECT_EQ(form->statusBar()->height(), 20);
    EXPECT_EQ(form->StatusPanel0->width(), 100);
    EXPECT_EQ(form->StatusPanel1->width(), 100);
    EXPECT_EQ(form->font().pixelSize(), 11);

    const auto menus = form->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&Файл"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("&Действия"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("&Помощь"));
    QStringList fileItems;
    for (QAction* a : form->MenuFile->actions()) fileItems << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(fileItems, (QStringList{"Подключиться к базе", "Отключиться", "-", "Выход"}));
    QStringList actionItems;
    for (QAction* a : form->MenuAction->actions()) actionItems << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(actionItems, (QStringList{"Установить программный модуль", "-", "Очистить журнал действий"}));

    const QString shot = QDir::temp().filePath("quorvel-main-window.png");
    form->grab().save(shot);
}

// Logging on through the window's session on the stand-in client: the window follows the
// session's change callback into the connected state and back.
TEST_F(FormMainTest, LogonAndLogoffDriveMenusStatusPanelsAndLog) {
    const char* home = std::getenv("QUORVEL_STANDIN_HOME");
    if (!home) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const std::string dir = root.path().toStdString();
    std::filesystem::create_directories(dir + "/registry");
    ::setenv("QUORVEL_REGISTRY_DIR", (dir + "/registry").c_str(), 1);
    ::setenv("ORACLE_HOME", home, 1);

    auto& session = form->OracleSession();
    session.SetLogonUsername("scott");
    session.SetLogonPassword("tiger");
    session.SetLogonDatabase(dir + "/db");
    form->MemoLog->appendPlainText("old line");
    session.LogOn();
    ASSERT_TRUE(session.Connected());
    EXPECT_FALSE(form->MenuConnect->isEnabled());
    EXPECT_TRUE(form->MenuDisconnect->isEnabled());
    EXPECT_TRUE(form->MenuAction->menuAction()->isEnabled());
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("scott"));
    EXPECT_EQ(form->StatusPanel1->text(), QString::fromStdString(dir + "/db"));
    EXPECT_EQ(LogLines(), QStringList{QStringLiteral("Подключение успешно произведено...")});
    form->grab().save(QDir::temp().filePath("quorvel-main-window-connected.png"));

    form->MenuDisconnect->trigger();
    EXPECT_FALSE(session.Connected());
    EXPECT_TRUE(form->MenuConnect->isEnabled());
    EXPECT_FALSE(form->MenuDisconnect->isEnabled());
    EXPECT_FALSE(form->MenuAction->menuAction()->isEnabled());
    EXPECT_TRUE(form->StatusPanel0->text().isEmpty());
    EXPECT_TRUE(form->StatusPanel1->text().isEmpty());
    EXPECT_TRUE(LogLines().isEmpty());
    EXPECT_TRUE(Failures().empty());

    // Closing the window while connected logs the session off first.
    session.LogOn();
    ASSERT_TRUE(session.Connected());
    form->MenuExit->trigger();
    EXPECT_FALSE(session.Connected());
    ::unsetenv("QUORVEL_REGISTRY_DIR");
}

TEST_F(FormMainTest, HelpReplacesTheLogAndClearLogEmptiesIt) {
    form->MemoLog->appendPlainText("old line");
    form->MenuHelp->trigger();
    const QStringList lines = LogLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QString::fromUtf8(quorvel::ApplicationTitle));
    form->MenuClearLog->trigger();
    EXPECT_TRUE(LogLines().isEmpty());
}

TEST_F(FormMainTest, AFailedLogonLeavesTheDisconnectedStateAndACancelledConnectChangesNothing) {
    form->MemoLog->appendPlainText("before");
    int changes = 0;
    form->OracleSession().OnChange = [&](quorvel::TOracleSession&) { ++changes; form->SetStatusMenu(); };
    // The session reports every attempt, failed ones included, and the window follows it.
    EXPECT_ANY_THROW(form->OracleSession().LogOn());
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(form->OracleSession().Connected());
    EXPECT_TRUE(LogLines().isEmpty());
    EXPECT_TRUE(form->MenuConnect->isEnabled());

    // The connect command runs the logon dialog; cancelling it changes nothing and reports nothing.
    form->MenuConnect->trigger();
    const auto shown = ui.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].What, quorvel::platform::UIRecord::Kind::LogonDialog);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(form->OracleSession().Connected());
}

// The connect command through the logon component with its dialog answered by the script.
class FormMainConnectTest : public FormMainTest {
protected:
    void SetUp() override {
        const char* home = std::getenv("QUORVEL_STANDIN_HOME");
        if (!home) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        ASSERT_TRUE(root.isValid());
        dir = root.path().toStdString();
        std::filesystem::create_directories(dir + "/registry");
        ::setenv("QUORVEL_REGISTRY_DIR", (dir + "/registry").c_str(), 1);
        ::setenv("ORACLE_HOME", home, 1);
        quorvel::LogonHistory().Clear();
        FormMainTest::SetUp();
    }
    void TearDown() override {
        FormMainTest::TearDown();
        quorvel::OracleShutdown();
        quorvel::LogonHistory().Clear();
        quorvel::LogonTexts() = quorvel::TLogonTexts();
        ::unsetenv("QUORVEL_REGISTRY_DIR");
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& r : ui.Shown())
            if (r.What == quorvel::platform::UIRecord::Kind::MessageBox) texts.push_back(r.Text);
        return texts;
    }

    QTemporaryDir root;
    std::string dir;
};

TEST_F(FormMainConnectTest, ConnectingThroughTheLogonDialog) {
    using quorvel::platform::LogonDialogState;
    LogonDialogState seen;
    ui.QueueLogonAnswer(quorvel::platform::DialogResult::OK, [&](LogonDialogState& s) {
        seen = s;
        s.Username.Text = "scott";
        s.Password.Text = "tiger";
        s.Database.Text = dir + "/db";
    });
    form->MemoLog->appendPlainText("old line");
    form->MenuConnect->trigger();
    ASSERT_TRUE(form->OracleSession().Connected());
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(LogLines(), QStringList{QStringLiteral("Подключение успешно произведено...")});
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("scott"));
    EXPECT_EQ(form->StatusPanel1->text(), QString::fromStdString(dir + "/db"));
    EXPECT_FALSE(form->MenuConnect->isEnabled());

    // The dialog as the window configures it: caption, database list, connect-as row, history.
    EXPECT_EQ(seen.Caption, "Подключение");
    EXPECT_TRUE(seen.Database.Visible);
    EXPECT_TRUE(seen.UseAliasList);
    EXPECT_TRUE(seen.ConnectAsVisible);
    EXPECT_TRUE(seen.HistoryButtonVisible);
    EXPECT_FALSE(seen.HistoryButtonEnabled);
    EXPECT_EQ(form->OracleSession().Preferences().ConvertUTF(), quorvel::cuUTF8ToUTF16);

    // The log-on is remembered for the rest of the run, so the next dialog offers it.
    ASSERT_EQ(quorvel::LogonHistory().Count(), 1);
    EXPECT_EQ(quorvel::LogonHistory().Item(0).DisplayString(), "scott@" + dir + "/db");
    form->MenuDisconnect->trigger();
    ui.QueueLogonAnswer(quorvel::platform::DialogResult::Cancel, [&](LogonDialogState& s) { seen = s; });
    form->MenuConnect->trigger();
    EXPECT_TRUE(seen.HistoryButtonEnabled);
    EXPECT_EQ(seen.Username.Text, "scott");
    EXPECT_FALSE(form->OracleSession().Connected());
}

// The same through the Qt services: the connect command opens the real logon form.
TEST_F(FormMainConnectTest, TheQtServicesShowTheLogonForm) {
    quorvel::TQtUIServices qt;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* logon = dynamic_cast<quorvel::TLogOnForm*>(QApplication::activeModalWidget());
        ASSERT_NE(logon, nullptr);
        shown = true;
        EXPECT_EQ(logon->windowTitle(), QStringLiteral("Подключение"));
        EXPECT_TRUE(logon->AliasList->isVisible());
        EXPECT_GT(logon->AliasList->count(), 0);
        EXPECT_TRUE(logon->ConnectAsList->isVisible());
        EXPECT_TRUE(logon->HistoryBtn->isVisible());
        EXPECT_EQ(logon->size(), QSize(291, 175));
        EXPECT_EQ(logon->focusWidget(), static_cast<QWidget*>(logon->UsernameEdit));
        logon->UsernameEdit->setText(QStringLiteral("scott"));
        logon->PasswordEdit->setText(QStringLiteral("tiger"));
        logon->AliasList->setEditText(QString::fromStdString(dir + "/db"));
        logon->grab().save(QDir::temp().filePath("quorvel-main-window-logon.png"));
        logon->OKBtn->click();
    });
    form->MenuConnect->trigger();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(form->OracleSession().Connected());
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("scott"));
}

// A failed log-on is reported inside the logon flow; the window stays disconnected.
TEST_F(FormMainConnectTest, AFailedLogonIsReportedByTheLogonFlow) {
    using quorvel::platform::LogonDialogState;
    ui.QueueLogonAnswer(quorvel::platform::DialogResult::OK, [&](LogonDialogState& s) {
        s.Username.Text = "scott";
        s.Password.Text = "wrong";
        s.Database.Text = dir + "/db";
    });
    ui.QueueLogonAnswer(quorvel::platform::DialogResult::Cancel);
    form->MemoLog->appendPlainText("old line");
    form->MenuConnect->trigger();
    EXPECT_FALSE(form->OracleSession().Connected());
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("ORA-01017", 0), 0u) << messages[0];
    EXPECT_TRUE(LogLines().isEmpty());
    EXPECT_TRUE(form->MenuConnect->isEnabled());
    EXPECT_FALSE(form->MenuAction->menuAction()->isEnabled());
    EXPECT_TRUE(form->StatusPanel0->text().isEmpty());
    EXPECT_EQ(quorvel::LogonHistory().Count(), 0);
}

// Installing modules through the window's install command on a stand-in database.
class FormMainInstallTest : public FormMainConnectTest {
protected:
    void SetUp() override {
        FormMainConnectTest::SetUp();
        if (IsSkipped()) return;
        auto& session = form->OracleSession();
        session.SetLogonUsername("scott");
        session.SetLogonPassword("tiger");
        session.SetLogonDatabase(dir + "/db");
        session.LogOn();
        ASSERT_TRUE(session.Connected());
    }
    // Writes a module file (UTF-8 with its byte-order mark) and installs it as the user would.
    QString Install(const char* name, const QString& text) {
        const QString path = QString::fromStdString(dir) + "/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xEF\xBB\xBF");
        f.write(text.toUtf8());
        f.close();
        form->ChooseModuleFile = [path](TFormMain&) { return path; };
        form->MenuSQL->trigger();
        return path;
    }
    static QStringList Heading(const QString& path) {
        return {QString(), QStringLiteral("Установка программного модуля"), "из файла \"" + path + "\"", "..."};
    }
};

TEST_F(FormMainInstallTest, AModuleIsInstalledAndItsOutputFollowsTheHeading) {
    const QString path = Install("tools.sql", QStringLiteral(
        "create table tool (id number(4) primary key, name varchar2(40));\n"
        "insert into tool values (1, 'Молоток');\n"
        "commit;\n"
        "select name from tool;\n"));
    EXPECT_TRUE(Failures().empty());
    const QStringList log = LogLines();
    ASSERT_GE(log.size(), 6);
    EXPECT_EQ(log[0], QStringLiteral("Подключение успешно произведено..."));
    EXPECT_EQ(log.mid(1, 4), Heading(path));
    const QString output = log.mid(5).join('\n');
    for (const char* expected : {"Table created", "1 row inserted", "Commit complete", "Молоток", "1 row selected"})
        EXPECT_TRUE(output.contains(QString::fromUtf8(expected))) << expected << "\n" << output.toStdString();
    // The row is in the database, its text intact.
    quorvel::TOracleQuery q;
    q.SetSession(&form->OracleSession());
    q.SQL().SetText("select name from tool");
    q.Execute();
    EXPECT_EQ(QString::fromStdString(q.FieldAsString(0)), QStringLiteral("Молоток"));
    form->grab().save(QDir::temp().filePath("quorvel-main-window-installed.png"));

    // A second install is appended with its own output only, not the first one's again.
    Install("again.sql", QStringLiteral("select count(*) n from tool;\n"));
    const QString both = LogLines().join('\n');
    EXPECT_EQ(both.count(QStringLiteral("Установка программного модуля")), 2);
    EXPECT_EQ(both.count(QStringLiteral("Table created")), 1) << both.toStdString();
    EXPECT_EQ(both.count(QStringLiteral("1 row selected")), 2) << both.toStdString();
}

// On a workstation whose code page is 1251, module text goes to the library in the code page
// and reaches the UTF-8 database as its characters, whether NLS_LANG names UTF-8 (the library
// converts the statement text) or the code page itself (the client converts it).
TEST_F(FormMainInstallTest, ModuleTextTravelsInTheCodePageOfTheWorkstation) {
    const unsigned saved = quorvel::AnsiCodePage();
    int round = 0;
    for (const char* nlsLang : {"RUSSIAN_CIS.AL32UTF8", "RUSSIAN_CIS.CL8MSWIN1251"}) {
        SCOPED_TRACE(nlsLang);
        form->OracleSession().LogOff();
        quorvel::OracleShutdown();
        quorvel::SetAnsiCodePage(1251);
        ::setenv("NLS_LANG", nlsLang, 1);
        form->OracleSession().LogOn();
        const std::string table = "w" + std::to_string(++round);
        Install("cyrillic.sql", QString::fromStdString("create table " + table + " (name varchar2(40));\n"
                                                       "insert into " + table + " values ('") +
                                    QStringLiteral("Ёжик в тумане") +
                                    QString::fromStdString("');\nselect name from " + table + ";\n"));
        const QString log = LogLines().join('\n');
        quorvel::TOracleQuery q;
        q.SetSession(&form->OracleSession());
        q.SQL().SetText("select lengthb(name), name from " + table);
        q.Execute();
        const int storedBytes = q.FieldAsInteger(0);
        const QString stored = quorvel::FromLibraryText(q.FieldAsString(1));
        form->OracleSession().LogOff();
        quorvel::OracleShutdown();
        ::unsetenv("NLS_LANG");
        quorvel::SetAnsiCodePage(saved);
        EXPECT_EQ(storedBytes, 24);   // 11 Cyrillic letters of two bytes and two blanks in UTF-8
        EXPECT_EQ(stored, QStringLiteral("Ёжик в тумане"));
        EXPECT_TRUE(log.contains(QStringLiteral("Ёжик в тумане"))) << log.toStdString();
    }
}

TEST_F(FormMainInstallTest, AModuleWhoseCommandsAllFailStillLogsTheHeadingAndTheErrors) {
    const QString path = Install("broken.sql", QStringLiteral(
        "insert into no_such_table values (1);\n"
        "select * from also_missing;\n"));
    const QStringList log = LogLines();
    ASSERT_GE(log.size(), 5);
    EXPECT_EQ(log.mid(1, 4), Heading(path));
    EXPECT_EQ(log.mid(5).join('\n').count(QStringLiteral("ORA-00942")), 2) << log.join('\n').toStdString();
    EXPECT_TRUE(form->OracleSession().Connected());
    EXPECT_TRUE(Failures().empty());
}

TEST_F(FormMainInstallTest, ADisconnectInsideTheModuleSwitchesTheWindowBeforeTheLogIsWritten) {
    const QString path = Install("leave.sql", QStringLiteral("select 1 one from dual;\ndisconnect\n"));
    EXPECT_FALSE(form->OracleSession().Connected());
    EXPECT_TRUE(form->MenuConnect->isEnabled());
    EXPECT_FALSE(form->MenuAction->menuAction()->isEnabled());
    EXPECT_TRUE(form->StatusPanel0->text().isEmpty());
    // The log was cleared by the disconnect; the heading and the whole output came after it.
    const QStringList log = LogLines();
    ASSERT_GE(log.size(), 5);
    EXPECT_EQ(log.mid(0, 4), Heading(path));
    EXPECT_TRUE(log.mid(4).join('\n').contains(QStringLiteral("1 row selected"))) << log.join('\n').toStdString();
    form->grab().save(QDir::temp().filePath("quorvel-main-window-disconnected-by-module.png"));
}

// The console mode runs the same install without a window.
TEST_F(FormMainConnectTest, TheConsoleModeInstallsAModule) {
    const std::string module = dir + "/console.sql";
    {
        QFile f(QString::fromStdString(module));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("create table c (id number);\ninsert into c values (7);\nselect id from c;\n");
    }
    const std::string logon = "scott/tiger@" + dir + "/db";
    testing::internal::CaptureStdout();
    const int status = quorvel::RunConsole({"--logon", logon, "--install", module});
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Подключение успешно произведено..."), std::string::npos) << out;
    EXPECT_NE(out.find("из файла \"" + module + "\""), std::string::npos) << out;
    EXPECT_NE(out.find("1 row inserted"), std::string::npos) << out;

    // A failing command gives status 1, a logon failure status 3, wrong usage status 2.
    {
        QFile f(QString::fromStdString(module));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("select * from missing;\n");
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(quorvel::RunConsole({"--logon", logon, "--install", module}), 1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("ORA-00942"), std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_EQ(quorvel::RunConsole({"--logon", "scott/wrong@" + dir + "/db", "--install", module}), 3);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("ORA-01017"), std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_EQ(quorvel::RunConsole({"--install", module}), 2);
    testing::internal::GetCapturedStderr();
}

TEST_F(FormMainTest, CancellingTheModuleDialogChangesNothing) {
    form->MemoLog->appendPlainText("kept");
    int asked = 0;
    form->ChooseModuleFile = [&](TFormMain&) { ++asked; return QString(); };
    form->MenuSQLClick();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(LogLines(), QStringList{"kept"});
    EXPECT_TRUE(Failures().empty());
}

TEST_F(FormMainTest, AnUnreadableModuleFileIsReportedAndNothingIsLogged) {
    form->MemoLog->appendPlainText("kept");
    form->ChooseModuleFile = [](TFormMain&) { return QStringLiteral("/nonexistent/module.sql"); };
    form->MenuSQL->setEnabled(true);
    form->MenuSQL->trigger();
    const auto failures = Failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("/nonexistent/module.sql"), std::string::npos);
    EXPECT_EQ(LogLines(), QStringList{"kept"});
}

TEST(ReadModuleText, ByteOrderMarksSelectTheEncoding) {
    QTemporaryDir dir;
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    };
    const QString text = QStringLiteral("select 'Привет' from dual;");
    QByteArray utf8 = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    QByteArray utf16;
    utf16.append("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(quorvel::ReadModuleText(write("a.sql", utf8)), text);
    EXPECT_EQ(quorvel::ReadModuleText(write("b.sql", utf16)), text);
    EXPECT_EQ(quorvel::ReadModuleText(write("c.sql", "plain")), QStringLiteral("plain"));
    // Without a mark the ANSI code page decides: 0xCF 0xF0 is "Пр" in code page 1251.
    const unsigned saved = quorvel::AnsiCodePage();
    quorvel::SetAnsiCodePage(1251);
    EXPECT_EQ(quorvel::ReadModuleText(write("d.sql", "\xCF\xF0")), QStringLiteral("Пр"));
    quorvel::SetAnsiCodePage(saved);
}

} // namespace
