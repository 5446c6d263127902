#pragma once
// The registry: two hives of keys holding named string values, each kept in a small text file.
//
//   machine hive (HKEY_LOCAL_MACHINE)  $QUORVEL_REGISTRY_DIR/machine.reg
//   user hive    (HKEY_CURRENT_USER)   $QUORVEL_REGISTRY_DIR/user.reg
//
// The directory defaults to ~/.config/quorvel/registry. Key paths are written with backslashes
// as on Windows ("SOFTWARE\ORACLE\HOME0"); empty components (a leading, doubled or trailing
// backslash) are ignored. Key and value names compare without regard to ASCII letter case and
// keep the spelling they were created with. The empty value name is the key's default value.
//
// Every change is written at once: the whole hive goes to a temporary file that then replaces
// the old one, so a reader (in this or another process) sees either the old or the new hive,
// never a partial one; changes from several processes are serialised by a lock file beside the
// hive. A damaged hive file is read as far as it is sound: lines that cannot be understood are
// skipped (a broken key header skips the values under it), and before such a file is replaced
// by a change its old content is kept as "<hive>.bad". A missing directory or file reads as an
// empty hive; the first change creates it.
//
// None of these functions raise.
#include <optional>
#include <string>
#include <vector>

namespace quorvel::platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

inline constexpr RegistryRoot HKEY_LOCAL_MACHINE = RegistryRoot::LocalMachine;
inline constexpr RegistryRoot HKEY_CURRENT_USER = RegistryRoot::CurrentUser;

// The directory of the hive files and the file of one hive, as currently configured.
std::string RegistryDirectory();
std::string RegistryHiveFile(RegistryRoot root);

bool RegKeyExists(RegistryRoot root, const std::string& key);
// Creates the key and any missing parents; true when it exists afterwards.
bool RegCreateKey(RegistryRoot root, const std::string& key);
// Deletes the key with all its subkeys and values; false when it does not exist (or is the root).
bool RegDeleteKey(RegistryRoot root, const std::string& key);

// The value, or nothing when the key or the value does not exist.
std::optional<std::string> RegReadValue(RegistryRoot root, const std::string& key, const std::string& name);
// The value, or empty when the key or the value does not exist.
std::string RegReadString(RegistryRoot root, const std::string& key, const std::string& name);
// Writes the value, creating the key when needed.
bool RegWriteString(RegistryRoot root, const std::string& key, const std::string& name, const std::string& value);
// False when the key or the value does not exist.
bool RegDeleteValue(RegistryRoot root, const std::string& key, const std::string& name);

// Names of the direct subkeys and of the values of a key, sorted without regard to case;
// empty when the key does not exist.
std::vector<std::string> RegSubKeyNames(RegistryRoot root, const std::string& key);
std::vector<std::string> RegValueNames(RegistryRoot root, const std::string& key);

} // namespace quorvel::platform
