#pragma once
// The installer's main window: connect, disconnect, install a software module, clear the log,
// help and exit, with the action log and a status bar showing the connected user and database.
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;

namespace quorvel {

class TOracleLogon;
class TOracleScript;
class TOracleSession;

// The application title: window caption, task-bar title and first help line.
extern const char* const ApplicationTitle;

class TFormMain : public QMainWindow {
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    TOracleSession& OracleSession() { return *FOracleSession; }
    TOracleLogon& OracleLogon() { return *FOracleLogon; }
    TOracleScript& OracleScriptInstall() { return *FOracleScriptInstall; }

    // Command handlers, one per menu item.
    void MenuConnectClick();
    void MenuDisconnectClick();
    void MenuExitClick();
    void MenuClearLogClick();
    void MenuHelpClick();
    void MenuSQLClick();
    // Brings menus, status bar and log into line with the connection state.
    void SetStatusMenu();

    // Asks for the module file; an empty result means the user cancelled. The default shows the
    // file-open dialog; tests replace it.
    std::function<QString(TFormMain&)> ChooseModuleFile;

    // The visual parts, named as the window's design names them.
    QMenu* MenuFile = nullptr;
    QAction* MenuConnect = nullptr;
    QAction* MenuDisconnect = nullptr;
    QAction* MenuExit = nullptr;
    QMenu* MenuAction = nullptr;
    QAction* MenuSQL = nullptr;
    QAction* MenuClearLog = nullptr;
    QAction* MenuHelp = nullptr;
    QPlainTextEdit* MemoLog = nullptr;
    QLabel* StatusPanel0 = nullptr;   // user name
    QLabel* StatusPanel1 = nullptr;   // database

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Run(void (TFormMain::*handler)());
    void ShowFailure(const std::string& message);
    void AddLog(const QString& line);
    void ClearLog();

    std::unique_ptr<TOracleSession> FOracleSession;
    std::unique_ptr<TOracleLogon> FOracleLogon;
    std::unique_ptr<TOracleScript> FOracleScriptInstall;
    // An empty document cannot tell "no lines" from "one empty line": set while the log holds
    // exactly one empty line.
    bool FLogHasEmptyLine = false;
};

} // namespace quorvel
