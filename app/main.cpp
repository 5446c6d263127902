// quorvel-installer: the window by default, the console mode with --logon and --install.
#include "app/Console.h"
#include "app/FormMain.h"
#include "app/QtUIServices.h"
#include "platform/Process.h"

#include <QApplication>
#include <QStyleFactory>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Program parameters such as OCIDLL=, ORACLEHOME= and UserId= are read by the library.
    quorvel::platform::SetProgramParameters(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (quorvel::IsConsoleMode(args)) return quorvel::RunConsole(args);

    QApplication app(argc, argv);
    app.setApplicationDisplayName(QString::fromUtf8(quorvel::ApplicationTitle));
    // The visual theme is used when the toolkit has it; without it nothing changes.
    const QString theme = QStringLiteral("Iceberg Classico");
    if (QStyleFactory::keys().contains(theme, Qt::CaseInsensitive)) QApplication::setStyle(theme);

    quorvel::TQtUIServices ui;
    quorvel::TFormMain form;
    form.show();
    return app.exec();
}
