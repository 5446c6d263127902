#pragma once
// The logon history: recent successful log-ons (user, database, connect-as mode and, when
// allowed, password), offered by the logon dialog in its history menu.
//
// One list exists per process (LogonHistory()). It lives in memory, and a logon component can
// load it from and save it to a key of the current user's registry hive or a section "Logon"
// of an initialisation file. Each entry is stored as the text "user/password@database" (plus
// " as MODE" when there is a mode) in a scrambled form of decimal digits, so that a password
// is not stored as plain text; the form is the one every installation reads and writes.
//
// Entries whose user name begins with ">" are menu entries: ">Production" starts a submenu
// "Production" holding the entries that follow, a lone ">" ends it. An entry named "-" is a
// separator line.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/UIServices.h"

namespace quorvel {

class THistoryItem {
public:
    std::string Username;
    std::string Password;
    std::string Database;
    std::string ConnectAs;   // "SYSDBA", "SYSOPER" or empty
    bool Fixed = false;      // not counted against Size, never moved, always offers its password
    int32_t OriginalIndex = -1; // in a menu copy: the index in the history list

    // "user@database as MODE"; a menu entry without its leading ">".
    std::string DisplayString() const;
    bool IsMenu() const;
};

class THistoryItems {
public:
    // Most non-fixed entries kept; 0 means no limit. Making it smaller drops nothing at once:
    // the next Add trims the list.
    int32_t Size() const { return FSize; }
    void SetSize(int32_t size) { FSize = size < 0 ? 0 : size; }
    // Whether entries keep passwords. Turning it off forgets the passwords of non-fixed entries.
    bool WithPassword() const { return FWithPassword; }
    void SetWithPassword(bool withPassword);

    // Adds a log-on. A user name holding a whole connect string ("scott/tiger@orcl as sysdba")
    // is split into its parts; parts given separately win over those inside the user name.
    // A non-fixed entry replaces the entries with the same user, database and mode (letter case
    // ignored; the password takes no part); with Sort it goes to the top, else to the end.
    // Nothing is added when the user name is empty or a fixed entry already stands for it.
    void Add(const std::string& username, const std::string& password, const std::string& database,
             const std::string& connectAs, bool fixed = false, bool sort = true);

    int Count() const { return static_cast<int>(FItems.size()); }
    int NonFixedCount() const;
    // The entry at index; raises Exception "List index out of bounds (" index ")" when there is none.
    const THistoryItem& Item(int index) const;
    void Delete(int index);
    void Clear() { FItems.clear(); }

    // The registry form: values "Logon0", "Logon1", ... of the key under the current user's
    // hive. Loading appends to the list; saving replaces every numbered value of the key.
    // Storage failures are never reported: both always return true.
    bool Load(const std::string& location);
    bool Save(const std::string& location) const;
    // The file form: keys "0", "1", ... of section "Logon". False when the file could not be
    // read or written.
    bool LoadIni(const std::string& filename);
    bool SaveIni(const std::string& filename) const;

    // What a logon component does around its dialog: before it, the list takes the component's
    // size and password setting and, when the component names a registry key or else a file,
    // is emptied and loaded from there (with neither it keeps what it held); after it, the list
    // goes back to the key, or to the file when there is no key.
    void Prepare(int32_t size, bool withPassword, const std::string& regSection, const std::string& iniFile);
    void Store(const std::string& regSection, const std::string& iniFile) const;

    // The stored (unscrambled) text of the entry at index.
    std::string ValueText(int index) const;

private:
    std::vector<THistoryItem> FItems;
    int32_t FSize = 0;
    bool FWithPassword = false;
};

// The process-wide history list, shared by all logon components.
THistoryItems& LogonHistory();

// The scrambled form of a value text with the given key (2000 to 2999), and the text read back
// from a scrambled form. A damaged form reads back as far as it is sound.
std::string ScrambleHistoryText(const std::string& text, int key);
std::string ScrambleHistoryText(const std::string& text); // a random key
std::string UnscrambleHistoryText(const std::string& scrambled);

// The history menu of the logon dialog: the entries' display strings with their index as tag,
// submenus for menu entries and separators for "-" entries.
std::vector<platform::PopupMenuItem> HistoryMenuItems(const THistoryItems& history);
// Fills the dialog's fields from the entry at index (a tag of HistoryMenuItems). True when the
// dialog should close with OK at once: user name and password are filled and Control is not
// held down. An index that is no longer in the list changes nothing.
bool ApplyHistoryEntry(const THistoryItems& history, int index, platform::LogonDialogState& state,
                       bool controlDown);
// The same, asking the registered user-interface services for the Control key.
bool ApplyHistoryEntry(const THistoryItems& history, int index, platform::LogonDialogState& state);

} // namespace quorvel
