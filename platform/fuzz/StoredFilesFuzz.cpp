// Feeds arbitrary bytes to the registry hive reader and the ini file reader, then makes one
// change to each and checks that everything that was readable before still reads the same.
#include "platform/Environment.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

using namespace quorvel::platform;

namespace {

const std::string& WorkDir() {
    // Never destroyed, so the exit handler below can still read it.
    static const std::string& dir = *new std::string([] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        SetEnvironmentVariable("QUORVEL_REGISTRY_DIR", pattern);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(WorkDir(), ec);
        });
        return pattern;
    }());
    return dir;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
}

using Snapshot = std::map<std::string, std::string>;

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Drops what the change itself touches: the key it writes and its value.
void DropChanged(Snapshot& snapshot) {
    for (auto it = snapshot.begin(); it != snapshot.end();) {
        const std::string upper = Upper(it->first);
        if (upper == "\\QUORVELFUZZ|<KEY>" || upper == "QUORVELFUZZ|V") it = snapshot.erase(it);
        else ++it;
    }
}

void Collect(const std::string& key, int depth, Snapshot& out) {
    if (depth > 8 || out.size() > 2000) return;
    for (const auto& name : RegValueNames(HKEY_LOCAL_MACHINE, key))
        out[key + "|" + name] = RegReadString(HKEY_LOCAL_MACHINE, key, name);
    for (const auto& sub : RegSubKeyNames(HKEY_LOCAL_MACHINE, key)) {
        out[key + "\\" + sub + "|<key>"] = "";
        Collect(key.empty() ? sub : key + "\\" + sub, depth + 1, out);
    }
}

Snapshot IniSnapshot(const std::string& file) {
    Snapshot out;
    for (const auto& section : IniReadSections(file)) {
        if (Upper(section) == "QUORVELFUZZ") continue;
        for (const auto& [key, value] : IniReadSectionValues(file, section)) out[section + "|" + key] = value;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = WorkDir();
    std::filesystem::remove(dir + "/machine.reg.bad");

    WriteFile(dir + "/machine.reg", data, size);
    Snapshot before;
    Collect("", 0, before);
    if (before.size() <= 2000 && RegWriteString(HKEY_LOCAL_MACHINE, "QuorvelFuzz", "v", "1")) {
        Snapshot after;
        Collect("", 0, after);
        DropChanged(before);
        DropChanged(after);
        if (before != after) std::abort();
    }

    const std::string ini = dir + "/fuzz.ini";
    WriteFile(ini, data, size);
    const Snapshot iniBefore = IniSnapshot(ini);
    if (IniWriteString(ini, "QuorvelFuzz", "k", "v")) {
        if (IniSnapshot(ini) != iniBefore) std::abort();
        if (IniReadString(ini, "QuorvelFuzz", "k") != "v") std::abort();
    }
    return 0;
}
