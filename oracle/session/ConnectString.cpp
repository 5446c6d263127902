#include "oracle/session/ConnectString.h"

#include <algorithm>
#include <cctype>

namespace quorvel {

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

bool ParseConnectString(std::string text, TConnectStringParts& parts) {
    if (text.empty()) {
        text = parts.User;
        if (!parts.Password.empty()) text += "/" + parts.Password;
        if (!parts.Database.empty()) text += "@" + parts.Database;
        if (!parts.ConnectAs.empty()) text += " as " + parts.ConnectAs;
        parts.User.clear();
        parts.Password.clear();
        parts.Database.clear();
    }

    // The connect-as part follows the first " AS " (tabs count as spaces, case is ignored).
    std::string probe = Upper(text);
    std::replace(probe.begin(), probe.end(), '\t', ' ');
    const size_t as = probe.find(" AS ");
    if (as != std::string::npos) {
        parts.ConnectAs = Trim(probe.substr(as + 4));
        text = Trim(text.substr(0, as + 1));
    } else {
        parts.ConnectAs.clear();
    }

    // Outside double quotes, the first "/" ends the user and an "@" ends user or password;
    // quotes stay in the text, and anything after "@" belongs to the database.
    enum { InUser, InPassword, InDatabase } part = InUser;
    std::string user, password, database;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '/' && part == InUser) { part = InPassword; continue; }
        if (!quoted && c == '@' && part != InDatabase) { part = InDatabase; continue; }
        (part == InUser ? user : part == InPassword ? password : database) += c;
    }
    parts.User = user;
    parts.Password = password;
    parts.Database = database;
    return !password.empty() || !database.empty() || !parts.ConnectAs.empty() || text == "/";
}

} // namespace quorvel
