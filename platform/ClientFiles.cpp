#include "platform/ClientFiles.h"

#include "platform/Environment.h"

namespace quorvel::platform {

namespace {

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

} // namespace

const std::vector<ClientNameMapping>& ClientNameTable() {
    static const std::vector<ClientNameMapping> table = {
        {"oci.dll", "libclntsh.so"},
        {"ora*.dll", "ora*.so"},
        {"oramts10.dll", "liboramts10.so"},
        {"oramts.dll", "liboramts.so"},
        {"bin", "lib"},
        {"PATH", "LD_LIBRARY_PATH"},
        {";", ":"},
        {"\\", "/"},
    };
    return table;
}

std::string NativeClientName(std::string_view windowsName) {
    for (const auto& row : ClientNameTable()) {
        if (row.Windows.find('*') != std::string_view::npos) continue;
        if (EqualNoCase(windowsName, row.Windows)) return std::string(row.Native);
    }
    // Versioned clients and patterns keep their own spelling up to the extension, so that
    // their version digits read the same on both sides.
    if (EndsWithNoCase(windowsName, ".dll"))
        return std::string(windowsName.substr(0, windowsName.size() - 4)) + ".so";
    return std::string(windowsName);
}

std::string WindowsClientName(std::string_view nativeName) {
    for (const auto& row : ClientNameTable()) {
        if (row.Native.find('*') != std::string_view::npos) continue;
        if (nativeName == row.Native) return std::string(row.Windows);
    }
    if (StartsWithNoCase(nativeName, "ora") && EndsWithNoCase(nativeName, ".so"))
        return std::string(nativeName.substr(0, nativeName.size() - 3)) + ".dll";
    return std::string(nativeName);
}

std::string NativePathText(std::string_view windowsText) {
    std::string out(windowsText);
    for (char& c : out) {
        if (c == '\\') c = NativeDirSeparator;
        else if (c == ';') c = NativeListSeparator;
    }
    return out;
}

std::string GetLibrarySearchPath() { return GetEnvironmentVariable(std::string(NativeLibraryPathVariable)); }

bool SetLibrarySearchPath(const std::string& value) {
    return SetEnvironmentVariable(std::string(NativeLibraryPathVariable), value);
}

} // namespace quorvel::platform
