// Connect-string resolution: net service names from tnsnames.ora, literal descriptors,
// directory paths, //host[:port]/name and the default database.
#include "ocisim/client/internal/Handles.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ocisim::client {

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper((unsigned char)c));
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

[[noreturn]] void Unresolved() {
    throw EngineError(12154, "ORA-12154: TNS:could not resolve the connect identifier specified");
}

// The home: ORACLE_HOME, else the directory above the one holding this library.
std::string OracleHome() {
    if (const char* h = std::getenv("ORACLE_HOME"); h && *h) return h;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OracleHome), &info) && info.dli_fname) {
        std::filesystem::path p = std::filesystem::absolute(info.dli_fname);
        return p.parent_path().parent_path().string();
    }
    return ".";
}

std::string AdminDir() {
    if (const char* t = std::getenv("TNS_ADMIN"); t && *t) return t;
    return OracleHome() + "/network/admin";
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path);
    if (!f) return {};
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// Removes comments (# to end of line).
std::string StripComments(const std::string& text) {
    std::string out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t h = line.find('#');
        if (h != std::string::npos) line.erase(h);
        out += line + "\n";
    }
    return out;
}

// The entries of tnsnames.ora: names (upper case) and their descriptors.
std::vector<std::pair<std::vector<std::string>, std::string>> ParseTnsNames(const std::string& raw) {
    std::vector<std::pair<std::vector<std::string>, std::string>> out;
    std::string text = StripComments(raw);
    size_t i = 0, n = text.size();
    while (i < n) {
        size_t eq = text.find('=', i);
        if (eq == std::string::npos) break;
        std::string names = text.substr(i, eq - i);
        size_t j = eq + 1;
        while (j < n && std::isspace((unsigned char)text[j])) ++j;
        std::string value;
        if (j < n && text[j] == '(') {
            int depth = 0;
            size_t k = j;
            for (; k < n; ++k) {
                if (text[k] == '(') ++depth;
                else if (text[k] == ')' && --depth == 0) break;
            }
            value = text.substr(j, k - j + 1);
            i = k + 1;
        } else {
            size_t k = text.find('\n', j);
            if (k == std::string::npos) k = n;
            value = Trim(text.substr(j, k - j));
            i = k;
        }
        std::vector<std::string> list;
        std::stringstream ns(names);
        std::string part;
        while (std::getline(ns, part, ',')) {
            part = Trim(part);
            if (!part.empty()) list.push_back(Upper(part));
        }
        if (!list.empty()) out.push_back({list, value});
    }
    return out;
}

std::string DefaultDomain() {
    std::string text = StripComments(ReadFile(AdminDir() + "/sqlnet.ora"));
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (Upper(Trim(line.substr(0, eq))) == "NAMES.DEFAULT_DOMAIN") return Upper(Trim(line.substr(eq + 1)));
    }
    return {};
}

// The value of (KEY=value) inside a descriptor, case-insensitive key.
std::string DescriptorValue(const std::string& desc, const std::string& key) {
    std::string compact;
    for (char c : desc) if (!std::isspace((unsigned char)c)) compact += c;
    std::string u = Upper(compact);
    size_t p = u.find("(" + key + "=");
    if (p == std::string::npos) return {};
    size_t b = p + key.size() + 2;
    size_t e = compact.find(')', b);
    return compact.substr(b, e == std::string::npos ? std::string::npos : e - b);
}

std::string FromDescriptor(const std::string& desc) {
    std::string dir = DescriptorValue(desc, "DIRECTORY");
    if (dir.empty()) {
        // a descriptor without a directory names a database by its service name
        std::string service = DescriptorValue(desc, "SERVICE_NAME");
        if (service.empty()) service = DescriptorValue(desc, "SID");
        if (service.empty()) Unresolved();
        std::string lower;
        for (char c : service) lower += char(std::tolower((unsigned char)c));
        size_t dot = lower.find('.');
        if (dot != std::string::npos) lower.erase(dot);
        return OracleHome() + "/oradata/" + lower;
    }
    if (dir[0] == '?') dir = OracleHome() + dir.substr(1);
    return dir;
}

std::string Lookup(const std::string& alias) {
    auto entries = ParseTnsNames(ReadFile(AdminDir() + "/tnsnames.ora"));
    std::string name = Upper(alias);
    std::vector<std::string> candidates;
    if (name.find('.') == std::string::npos) {
        std::string domain = DefaultDomain();
        if (!domain.empty()) candidates.push_back(name + "." + domain);
    }
    candidates.push_back(name);
    for (const auto& c : candidates)
        for (const auto& [names, value] : entries)
            for (const auto& n : names)
                if (n == c) {
                    if (!value.empty() && value[0] == '(') return FromDescriptor(value);
                    return value;
                }
    Unresolved();
}

} // namespace

std::string ResolveConnect(const std::string& connectIn) {
    std::string connect = Trim(connectIn);
    if (connect.empty()) {
        const char* two = std::getenv("TWO_TASK");
        if (two && *two) connect = two;
        else {
            try {
                return Lookup("QUORVEL");
            } catch (const EngineError&) {
                return OracleHome() + "/oradata/quorvel";
            }
        }
    }
    if (connect[0] == '(') return FromDescriptor(connect);
    if (connect.rfind("//", 0) == 0) {
        size_t slash = connect.find('/', 2);
        if (slash == std::string::npos || slash + 1 >= connect.size()) Unresolved();
        std::string name = connect.substr(slash + 1);
        size_t colon = name.find(':');
        if (colon != std::string::npos) name.erase(colon);
        std::string lower;
        for (char c : name) lower += char(std::tolower((unsigned char)c));
        if (lower.find('/') != std::string::npos || lower.find("..") != std::string::npos || lower.empty()) Unresolved();
        return OracleHome() + "/oradata/" + lower;
    }
    if (connect[0] == '/' || connect.rfind("./", 0) == 0 || connect.rfind("../", 0) == 0) return connect;
    return Lookup(connect);
}

} // namespace ocisim::client
