#include "oracle/logon/LogonHistory.h"

#include <chrono>
#include <fstream>
#include <filesystem>
#include <map>
#include <random>

#include "base/CodePage.h"
#include "base/Exception.h"
#include "oracle/session/ConnectString.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"

namespace quorvel {

namespace {

const char* const kValuePrefix = "Logon";
const char* const kIniSection = "Logon";

// Upper case of one UTF-16 code unit for the scripts the history meets: ASCII, Latin-1 and
// Cyrillic. Other characters stay as they are.
char16_t UpperUnit(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    return c;
}

std::string Upper(const std::string& s) {
    bool ascii = true;
    for (unsigned char c : s) ascii = ascii && c < 0x80;
    if (ascii) {
        std::string r = s;
        for (char& c : r)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        return r;
    }
    std::u16string w = AnsiToUtf16(s);
    for (char16_t& c : w) c = UpperUnit(c);
    return Utf16ToAnsi(w);
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

// "Logon" followed by a number written the way the history writes it (no leading zeros).
bool IsNumberedValueName(const std::string& name) {
    const size_t n = std::char_traits<char>::length(kValuePrefix);
    if (name.size() <= n || Upper(name.substr(0, n)) != "LOGON") return false;
    for (size_t i = n; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return name[n] != '0' || name.size() == n + 1;
}

std::string KeyOf(std::string location) {
    if (!location.empty() && location[0] == '\\') location.erase(0, 1);
    return location;
}

// ---- scrambling ------------------------------------------------------------------------------
// The form is the key k (2000 to 2999) followed by one four-digit group per character: character
// t (counted from 1) with UTF-16 code c becomes ((k + 10 t) XOR (16 c)) + 1000. Codes are UTF-16
// code units, so the form does not depend on the code page of the installation that wrote it.
//
// That rule gives four digits only for characters below U+0200 and texts of up to 519
// characters; beyond that its groups grow and can no longer be told apart. Texts inside that
// range are written exactly by the rule. Outside it, two extensions keep every group at four
// digits: from group 520 on, the position counts again from 1 (t is taken modulo 519), and a
// character from U+0200 on is written as an escape group (the group of code 1/16, whose four
// low bits are 0001 where a character's are 0000) followed by the groups of its high and its
// low byte.

constexpr size_t kPlainPositions = 519;
constexpr long kEscape = 1;

long PositionKey(int key, size_t t) {
    return key + 10 * static_cast<long>((t - 1) % kPlainPositions + 1);
}

// The value of the four digits at pos, or -1 when they are not four digits.
long GroupAt(const std::string& s, size_t pos) {
    if (pos + 4 > s.size()) return -1;
    long v = 0;
    for (size_t i = pos; i < pos + 4; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

void AppendGroup(std::string& out, int key, size_t t, long bits) {
    out += std::to_string((PositionKey(key, t) ^ bits) + 1000);
}

std::mt19937& Generator() {
    static std::mt19937 generator(static_cast<unsigned>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    return generator;
}

int RandomKey(std::mt19937& generator) {
    return std::uniform_int_distribution<int>(2000, 2999)(generator);
}

// Seeded from the clock at the start of every save.
std::mt19937 SaveGenerator() {
    static unsigned counter = 0;
    std::seed_seq seed{static_cast<unsigned>(std::chrono::high_resolution_clock::now().time_since_epoch().count()),
                       ++counter};
    return std::mt19937(seed);
}

} // namespace

std::string ScrambleHistoryText(const std::string& text, int key) {
    const std::u16string units = AnsiToUtf16(text);
    std::string out = std::to_string(key);
    out.reserve(out.size() + 4 * units.size());
    size_t t = 0;
    for (char16_t c : units) {
        if (c < 0x200) {
            AppendGroup(out, key, ++t, 16L * c);
        } else {
            AppendGroup(out, key, ++t, kEscape);
            AppendGroup(out, key, ++t, 16L * (c >> 8));
            AppendGroup(out, key, ++t, 16L * (c & 0xFF));
        }
    }
    return out;
}

std::string ScrambleHistoryText(const std::string& text) {
    return ScrambleHistoryText(text, RandomKey(Generator()));
}

std::string UnscrambleHistoryText(const std::string& scrambled) {
    const long key = GroupAt(scrambled, 0);
    if (key < 0) return std::string();
    std::u16string out;
    size_t pos = 4, t = 1;
    // The bits of the next group: the XOR of its value less 1000 with its position's key;
    // -1 at the end of the text or at a group that is not a number.
    auto next = [&]() -> long {
        const long v = GroupAt(scrambled, pos);
        if (v < 1000) return -1;
        const long bits = (v - 1000) ^ PositionKey(static_cast<int>(key), t);
        pos += 4;
        ++t;
        return bits;
    };
    for (;;) {
        const long bits = next();
        if (bits < 0) break;
        if (bits == kEscape) {
            const long high = next();
            const long low = high < 0 ? -1 : next();
            if (low < 0 || (high & 15) != 0 || (low & 15) != 0 || high >= 16 * 256 || low >= 16 * 256) break;
            out.push_back(static_cast<char16_t>(((high >> 4) << 8) | (low >> 4)));
            continue;
        }
        // Low bits that are not zero come from a damaged or foreign group; like every reader of
        // this form, take the code as it divides out.
        const long code = bits / 16;
        if (code < 1) break;
        out.push_back(static_cast<char16_t>(code));
    }
    return Utf16ToAnsi(out);
}

// ---- entries ---------------------------------------------------------------------------------

std::string THistoryItem::DisplayString() const {
    std::string s = IsMenu() ? Username.substr(1) : Username;
    if (!Database.empty()) s.append("@").append(Database);
    if (!ConnectAs.empty()) s.append(" as ").append(ConnectAs);
    return s;
}

bool THistoryItem::IsMenu() const { return !Username.empty() && Username[0] == '>'; }

THistoryItems& LogonHistory() {
    static THistoryItems history;
    return history;
}

void THistoryItems::SetWithPassword(bool withPassword) {
    FWithPassword = withPassword;
    if (!withPassword)
        for (THistoryItem& item : FItems)
            if (!item.Fixed) item.Password.clear();
}

int THistoryItems::NonFixedCount() const {
    int n = 0;
    for (const THistoryItem& item : FItems) n += item.Fixed ? 0 : 1;
    return n;
}

const THistoryItem& THistoryItems::Item(int index) const {
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)];
}

void THistoryItems::Delete(int index) {
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    FItems.erase(FItems.begin() + index);
}

void THistoryItems::Add(const std::string& username, const std::string& password, const std::string& database,
                        const std::string& connectAs, bool fixed, bool sort) {
    if (username.empty()) return;

    // The user name may hold a whole connect string (as read back from storage). Only the user
    // name is split, so a password or database holding "/" or "@" keeps its text.
    TConnectStringParts parts;
    ParseConnectString(username, parts);
    THistoryItem item;
    item.Username = parts.User;
    item.Password = password.empty() ? parts.Password : password;
    item.Database = database.empty() ? parts.Database : database;
    item.ConnectAs = Trim(connectAs).empty() ? parts.ConnectAs : Upper(Trim(connectAs));
    item.Fixed = fixed;
    if (!FWithPassword && !fixed) item.Password.clear();

    std::string key = Upper(item.Username);
    if (!item.Database.empty()) key.append("@").append(Upper(item.Database));
    if (!item.ConnectAs.empty()) key.append(" AS ").append(item.ConnectAs);

    if (!fixed) {
        for (int i = Count() - 1; i >= 0; --i) {
            const THistoryItem& old = FItems[static_cast<size_t>(i)];
            if (Upper(old.DisplayString()) != key) continue;
            if (old.Fixed) return;
            FItems.erase(FItems.begin() + i);
        }
        // Make room: drop non-fixed entries from the Size-th one on (the oldest, in menu
        // order); fixed entries do not take a place.
        if (FSize > 0) {
            while (NonFixedCount() >= FSize) {
                int rank = 0;
                for (size_t i = 0; i < FItems.size(); ++i) {
                    if (FItems[i].Fixed) continue;
                    if (rank++ == FSize - 1) {
                        FItems.erase(FItems.begin() + static_cast<long>(i));
                        break;
                    }
                }
            }
        }
    }

    if (sort && !fixed) FItems.insert(FItems.begin(), std::move(item));
    else FItems.push_back(std::move(item));
}

std::string THistoryItems::ValueText(int index) const {
    const THistoryItem& item = Item(index);
    std::string text = item.Username + "/" + (FWithPassword || item.Fixed ? item.Password : std::string()) +
                       "@" + item.Database;
    if (!item.ConnectAs.empty()) text += " as " + item.ConnectAs;
    return text;
}

// ---- the registry form ---------------------------------------------------------------------

bool THistoryItems::Load(const std::string& location) {
    if (location.empty()) return true;
    const std::string key = KeyOf(location);
    using platform::HKEY_CURRENT_USER;
    if (!platform::RegKeyExists(HKEY_CURRENT_USER, key)) return true;
    for (int i = 0;; ++i) {
        std::optional<std::string> value =
            platform::RegReadValue(HKEY_CURRENT_USER, key, kValuePrefix + std::to_string(i));
        if (!value) break;
        const size_t nul = value->find('\0');
        if (nul != std::string::npos) value->erase(nul);
        const std::string text = UnscrambleHistoryText(*value);
        if (text.empty()) break;
        if (FSize == 0 || i < FSize) Add(text, "", "", "", false, false);
    }
    return true;
}

bool THistoryItems::Save(const std::string& location) const {
    if (location.empty()) return true;
    std::mt19937 generator = SaveGenerator();
    const std::string key = KeyOf(location);
    using platform::HKEY_CURRENT_USER;
    if (!platform::RegCreateKey(HKEY_CURRENT_USER, key)) return true;
    // Every numbered value goes, also those behind a gap in the numbering, so that no stale
    // entry comes back when the list grows again.
    for (const std::string& name : platform::RegValueNames(HKEY_CURRENT_USER, key))
        if (IsNumberedValueName(name)) platform::RegDeleteValue(HKEY_CURRENT_USER, key, name);
    int n = 0;
    for (int i = 0; i < Count(); ++i) {
        if (FItems[static_cast<size_t>(i)].Fixed) continue;
        platform::RegWriteString(HKEY_CURRENT_USER, key, kValuePrefix + std::to_string(n++),
                                 ScrambleHistoryText(ValueText(i), RandomKey(generator)));
    }
    return true;
}

// ---- the file form -----------------------------------------------------------------------------

bool THistoryItems::LoadIni(const std::string& filename) {
    if (filename.empty()) return true;
    std::error_code ec;
    if (std::filesystem::exists(filename, ec)) {
        std::ifstream probe(filename, std::ios::binary);
        if (!probe || std::filesystem::is_directory(filename, ec)) return false;
    }
    std::map<std::string, std::string> values;
    for (auto& [name, value] : platform::IniReadSectionValues(filename, kIniSection))
        values.emplace(name, value); // the first of a doubled key counts
    for (int i = 0;; ++i) {
        const auto found = values.find(std::to_string(i));
        if (found == values.end() || found->second.empty()) break;
        const std::string text = UnscrambleHistoryText(found->second);
        if (text.empty()) break;
        if (FSize == 0 || i < FSize) Add(text, "", "", "", false, false);
    }
    return true;
}

bool THistoryItems::SaveIni(const std::string& filename) const {
    if (filename.empty()) return true;
    std::mt19937 generator = SaveGenerator();
    if (!platform::IniEraseSection(filename, kIniSection)) return false;
    int n = 0;
    for (int i = 0; i < Count(); ++i) {
        if (FItems[static_cast<size_t>(i)].Fixed) continue;
        if (!platform::IniWriteString(filename, kIniSection, std::to_string(n++),
                                      ScrambleHistoryText(ValueText(i), RandomKey(generator))))
            return false;
    }
    return true;
}

void THistoryItems::Prepare(int32_t size, bool withPassword, const std::string& regSection,
                            const std::string& iniFile) {
    SetWithPassword(withPassword);
    SetSize(size);
    if (!regSection.empty()) {
        Clear();
        Load(regSection);
    } else if (!iniFile.empty()) {
        Clear();
        LoadIni(iniFile);
    }
}

void THistoryItems::Store(const std::string& regSection, const std::string& iniFile) const {
    if (!regSection.empty()) Save(regSection);
    else SaveIni(iniFile);
}

// ---- the dialog's menu ---------------------------------------------------------------------------

std::vector<platform::PopupMenuItem> HistoryMenuItems(const THistoryItems& history) {
    // Work on a copy that remembers each entry's place in the list.
    std::vector<THistoryItem> copy;
    copy.reserve(static_cast<size_t>(history.Count()));
    for (int i = 0; i < history.Count(); ++i) {
        copy.push_back(history.Item(i));
        copy.back().OriginalIndex = i;
    }

    std::vector<platform::PopupMenuItem> menu;
    int submenu = -1; // index in menu of the current submenu
    for (const THistoryItem& item : copy) {
        const std::string caption = item.DisplayString();
        if (item.IsMenu()) {
            if (caption.empty()) {
                submenu = -1;
            } else {
                platform::PopupMenuItem sub;
                sub.Caption = caption;
                menu.push_back(std::move(sub));
                submenu = static_cast<int>(menu.size()) - 1;
            }
            continue;
        }
        platform::PopupMenuItem entry;
        if (caption == "-") {
            if (menu.empty()) continue;
            entry.Separator = true;
            entry.Caption = caption;
        } else {
            entry.Caption = caption;
            entry.Tag = item.OriginalIndex;
        }
        (submenu >= 0 ? menu[static_cast<size_t>(submenu)].Children : menu).push_back(std::move(entry));
    }
    return menu;
}

bool ApplyHistoryEntry(const THistoryItems& history, int index, platform::LogonDialogState& state,
                       bool controlDown) {
    if (index < 0 || index >= history.Count()) return false;
    const THistoryItem& item = history.Item(index);
    state.Username.Text = item.Username;
    state.Password.Text = history.WithPassword() || item.Fixed ? item.Password : std::string();
    state.Database.Text = item.Database;
    if (state.ConnectAsVisible) {
        const std::string mode = Upper(item.ConnectAs);
        state.ConnectAsIndex = mode == "SYSDBA" ? 1 : mode == "SYSOPER" ? 2 : 0;
    }
    return !state.Username.Text.empty() && !state.Password.Text.empty() && !controlDown;
}

bool ApplyHistoryEntry(const THistoryItems& history, int index, platform::LogonDialogState& state) {
    return ApplyHistoryEntry(history, index, state, platform::UIServices().ControlKeyDown());
}

} // namespace quorvel
