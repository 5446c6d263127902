#include "app/FormMain.h"

#include "app/ModuleInstall.h"

#include "base/CodePage.h"
#include "base/Exception.h"
#include "oracle/logon/OracleLogon.h"
#include "oracle/script/OracleScript.h"
#include "oracle/session/OracleSession.h"
#include "platform/UIServices.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QStatusBar>

#include <exception>

namespace quorvel {

const char* const ApplicationTitle = "Quorvel: установка программных модулей";

namespace {

constexpr int kClientWidth = 517;
constexpr int kClientHeight = 261;
constexpr int kStatusBarHeight = 20;
constexpr int kPanelWidth = 100;

} // namespace

TFormMain::TFormMain(QWidget* parent)
    : QMainWindow(parent), FOracleSession(std::make_unique<TOracleSession>()),
      FOracleLogon(std::make_unique<TOracleLogon>()), FOracleScriptInstall(std::make_unique<TOracleScript>()) {
    setWindowTitle(QString::fromUtf8(ApplicationTitle));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);

    MenuFile = menuBar()->addMenu(QStringLiteral("&Файл"));
    MenuConnect = MenuFile->addAction(QStringLiteral("Подключиться к базе"));
    MenuDisconnect = MenuFile->addAction(QStringLiteral("Отключиться"));
    MenuFile->addSeparator();
    MenuExit = MenuFile->addAction(QStringLiteral("Выход"));
    MenuAction = menuBar()->addMenu(QStringLiteral("&Действия"));
    MenuSQL = MenuAction->addAction(QStringLiteral("Установить программный модуль"));
    MenuAction->addSeparator();
    MenuClearLog = MenuAction->addAction(QStringLiteral("Очистить журнал действий"));
    MenuHelp = menuBar()->addAction(QStringLiteral("&Помощь"));

    connect(MenuConnect, &QAction::triggered, this, [this] { Run(&TFormMain::MenuConnectClick); });
    connect(MenuDisconnect, &QAction::triggered, this, [this] { Run(&TFormMain::MenuDisconnectClick); });
    connect(MenuExit, &QAction::triggered, this, [this] { Run(&TFormMain::MenuExitClick); });
    connect(MenuSQL, &QAction::triggered, this, [this] { Run(&TFormMain::MenuSQLClick); });
    connect(MenuClearLog, &QAction::triggered, this, [this] { Run(&TFormMain::MenuClearLogClick); });
    connect(MenuHelp, &QAction::triggered, this, [this] { Run(&TFormMain::MenuHelpClick); });

    MemoLog = new QPlainTextEdit(this);
    MemoLog->setReadOnly(true);
    MemoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setCentralWidget(MemoLog);

    StatusPanel0 = new QLabel(this);
    StatusPanel1 = new QLabel(this);
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) {
        panel->setFixedWidth(kPanelWidth);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    statusBar()->setFixedHeight(kStatusBarHeight);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(StatusPanel0);
    statusBar()->addWidget(StatusPanel1);

    ChooseModuleFile = [](TFormMain& form) {
        return QFileDialog::getOpenFileName(&form, QStringLiteral("Выберите файл для загрузки модуля"), QString(),
                                            QStringLiteral("Файлы SQL-скриптов(.sql) (*.sql);;Все файлы (*.*) (*)"));
    };

    FOracleSession->Preferences().SetConvertUTF(cuUTF8ToUTF16);
    FOracleSession->OnChange = [this](TOracleSession&) { SetStatusMenu(); };
    // The logon history has no registry key and no file: it lives in memory while the program runs.
    FOracleLogon->SetSession(FOracleSession.get());
    FOracleLogon->Options = {ldAuto, ldDatabase, ldDatabaseList, ldLogonHistory, ldConnectAs};
    FOracleLogon->Caption = "Подключение";
    FOracleScriptInstall->SetSession(FOracleSession.get());

    // The client area (log and status bar) has the design size; the menu bar comes on top.
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        move(desk.center() - rect().center());
    }

    SetStatusMenu();
}

TFormMain::~TFormMain() {
    // The session goes first so its last notification cannot reach a half-destroyed window.
    FOracleSession->OnChange = nullptr;
    FOracleScriptInstall.reset();
    FOracleSession.reset();
    FOracleLogon.reset();
}

void TFormMain::Run(void (TFormMain::*handler)()) {
    // The application's default handler: a failure ends the command and its message is shown.
    try {
        (this->*handler)();
    } catch (const Exception& e) {
        ShowFailure(e.Message());
    } catch (const std::exception& e) {
        ShowFailure(e.what());
    }
}

void TFormMain::ShowFailure(const std::string& message) {
    platform::UIServices().MessageBox(message, std::string(), platform::MessageKind::Error, platform::MessageButtons::OK);
}

void TFormMain::AddLog(const QString& line) {
    QTextDocument* doc = MemoLog->document();
    const bool first = doc->isEmpty() && !FLogHasEmptyLine;
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    if (!first) cursor.insertBlock();
    cursor.insertText(line);
    FLogHasEmptyLine = first && line.isEmpty();
    MemoLog->verticalScrollBar()->setValue(MemoLog->verticalScrollBar()->maximum());
}

void TFormMain::ClearLog() {
    MemoLog->clear();
    FLogHasEmptyLine = false;
}

void TFormMain::SetStatusMenu() {
    const bool connected = FOracleSession->Connected();
    MenuConnect->setEnabled(!connected);
    MenuDisconnect->setEnabled(connected);
    MenuAction->setEnabled(connected);
    MenuAction->menuAction()->setEnabled(connected);
    StatusPanel0->setText(connected ? FromLibraryText(FOracleSession->LogonUsername()) : QString());
    StatusPanel1->setText(connected ? FromLibraryText(FOracleSession->LogonDatabase()) : QString());
    ClearLog();
    if (connected) AddLog(QStringLiteral("Подключение успешно произведено..."));
}

void TFormMain::MenuConnectClick() {
    // The outcome shows through the session's change callback; logon failures are reported
    // inside the logon dialog.
    FOracleLogon->Execute();
}

void TFormMain::MenuDisconnectClick() { FOracleSession->SetConnected(false); }

void TFormMain::MenuExitClick() { close(); }

void TFormMain::MenuClearLogClick() { ClearLog(); }

void TFormMain::MenuHelpClick() {
    ClearLog();
    AddLog(QString::fromUtf8(ApplicationTitle));
    AddLog(QStringLiteral("Разработчик: команда Quorvel."));
    AddLog(QStringLiteral("Описания устанавливаемых программных модулей публикуются вместе с модулями, "
                          "в файле README рядом с их SQL-скриптами."));
}

void TFormMain::MenuSQLClick() {
    const QString path = ChooseModuleFile ? ChooseModuleFile(*this) : QString();
    if (path.isEmpty()) return;
    // The heading and the output are written together once the last command has run.
    const TModuleInstallResult result = InstallModule(*FOracleScriptInstall, path);
    for (const QString& line : result.LogLines) AddLog(line);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    try {
        FOracleSession->LogOff();
    } catch (const Exception& e) {
        ShowFailure(e.Message());
    }
    event->accept();
}

} // namespace quorvel
