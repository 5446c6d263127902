#pragma once
// The names the Oracle client is known by on this system.
//
// The client search is written in Windows terms (oci.dll in a home's bin directory found
// through PATH). The one table below says what each of those names is here, so the search
// itself stays as written and only asks these functions for the local name:
//
//   oci.dll        libclntsh.so        (the client library)
//   ora*.dll       ora*.so             (older versioned clients: ora805.dll is ora805.so, so the
//                                       version digits, up to the first ".", read the same)
//   oramts10.dll   liboramts10.so      (transaction-server support library)
//   oramts.dll     liboramts.so
//   bin            lib                 (the home's directory holding the libraries)
//   PATH           LD_LIBRARY_PATH     (the variable searched for libraries)
//   ;              :                   (list separator of that variable)
//   \              /                   (directory separator)
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::platform {

struct ClientNameMapping {
    std::string_view Windows;
    std::string_view Native;
};

// The whole table, in the order above.
const std::vector<ClientNameMapping>& ClientNameTable();

inline constexpr char NativeDirSeparator = '/';
inline constexpr char NativeListSeparator = ':';
inline constexpr std::string_view NativeLibraryPathVariable = "LD_LIBRARY_PATH";
inline constexpr std::string_view NativeBinDirectory = "lib";

// The local name of a Windows client name or file pattern, compared ignoring case:
// "oci.dll" -> "libclntsh.so", "ORA805.DLL" -> "ora805.so", "ora*.dll" -> "ora*.so",
// "oramts.dll" -> "liboramts.so", "bin" -> "lib", "PATH" -> "LD_LIBRARY_PATH", ";" -> ":",
// "\\" -> "/". Any other name ending in ".dll" gets ".so"; anything else is returned unchanged.
std::string NativeClientName(std::string_view windowsName);
// The way back, for traces and comparisons written against Windows names:
// "libclntsh.so" -> "oci.dll", "ora81.so" -> "ora81.dll", "lib" -> "bin", ... Names not in the
// table are returned unchanged.
std::string WindowsClientName(std::string_view nativeName);

// A Windows path or path list written with "\" and ";" in local form ("/" and ":").
std::string NativePathText(std::string_view windowsText);

// The library search path of the process (LD_LIBRARY_PATH): read and set.
std::string GetLibrarySearchPath();
bool SetLibrarySearchPath(const std::string& value);

} // namespace quorvel::platform
