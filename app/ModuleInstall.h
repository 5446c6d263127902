#pragma once
// Installing a software module: the module file's text goes into the script component, the
// script runs on the script's session, and what the run produced comes back as log lines.
// Shared by the window's install command and the console mode.
#include <QString>
#include <QStringList>

#include <string>

namespace quorvel {

class TOracleScript;

// Reads a text file: a UTF-8 or UTF-16 byte-order mark selects that encoding, otherwise the
// process's ANSI code page is used. Raises on a file that cannot be read.
QString ReadModuleText(const QString& path);

// Text as the library holds it: 8-bit text in the process's ANSI code page. The library turns
// statement text into UTF-8 itself when the client's NLS_LANG names a UTF-8 set.
std::string ToLibraryText(const QString& text);
QString FromLibraryText(const std::string& text);

struct TModuleInstallResult {
    bool Succeeded = false;   // no command ended with a database error
    QStringList LogLines;     // the heading lines, then every line of the script's output
};

// Reads the file (a failure raises before anything changes), replaces the script's text with
// it, runs the script and returns the lines for the action log. The script's output of earlier
// runs is cleared first, so each install logs only its own output.
TModuleInstallResult InstallModule(TOracleScript& script, const QString& path);

} // namespace quorvel
