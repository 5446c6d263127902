#include "app/Console.h"

#include <cstdio>

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
    std::fprintf(stderr,
                 "Installing \"%s\": the unattended install is not available yet in this build "
                 "(it needs the logon and script components).\n",
                 file.c_str());
    return 3;
}

} // namespace quorvel
