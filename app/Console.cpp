#include "app/Console.h"

#include "app/ModuleInstall.h"
#include "base/Exception.h"
#include "oracle/script/OracleScript.h"
#include "oracle/session/OracleSession.h"
#include "oracle/session/SessionPreferences.h"

#include <cstdio>
#include <exception>

namespace quorvel {

namespace {

std::string OptionValue(const std::vector<std::string>& args, const std::string& name) {
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == name) return args[i + 1];
    return {};
}

} // namespace

bool IsConsoleMode(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--logon" || a == "--install") return true;
    return false;
}

int RunConsole(const std::vector<std::string>& args) {
    const std::string logon = OptionValue(args, "--logon");
    const std::string file = OptionValue(args, "--install");
    if (logon.empty() || file.empty()) {
        std::fprintf(stderr, "usage: quorvel-installer --logon user/password@database --install file.sql\n");
        return 2;
    }
    auto print = [](const QString& line) { std::printf("%s\n", line.toUtf8().constData()); };
    try {
        // The same components as the window, configured the same way.
        TOracleSession session;
        session.Preferences().SetConvertUTF(cuUTF8ToUTF16);
        TOracleScript script;
        script.SetSession(&session);
        session.SetLogonUsername(logon);
        session.LogOn();
        print(QStringLiteral("Подключение успешно произведено..."));
        const TModuleInstallResult result = InstallModule(script, QString::fromLocal8Bit(file.c_str()));
        for (const QString& line : result.LogLines) print(line);
        std::fflush(stdout);
        session.LogOff();
        return result.Succeeded ? 0 : 1;
    } catch (const Exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.Message().c_str());
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.what());
    }
    return 3;
}

} // namespace quorvel
