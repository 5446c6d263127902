// Feeds arbitrary bytes to the reader of stored history values and to the history itself:
// nothing crashes, every text scrambles and reads back as it was, and a list built from what
// was read gives a menu whose tags name its entries.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/CodePage.h"
#include "oracle/logon/LogonHistory.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // As a stored value.
    const std::string read = UnscrambleHistoryText(bytes);

    // As a text to store: any text without a null character, as the code page has it.
    std::string text = Utf16ToAnsi(AnsiToUtf16(bytes));
    std::erase(text, '\0');
    const int key = 2000 + static_cast<int>(size % 1000);
    if (UnscrambleHistoryText(ScrambleHistoryText(text, key)) != text) std::abort();

    // Into a list and its menu.
    THistoryItems history;
    history.SetSize(static_cast<int32_t>(size % 5));
    history.SetWithPassword(size % 2 == 0);
    history.Add(read, "", "", "", false, false);
    history.Add(text, "", "", "", size % 3 == 0);
    history.Add(text.substr(0, text.size() / 2), "", "", "");
    for (const platform::PopupMenuItem& item : HistoryMenuItems(history)) {
        if (item.Tag >= history.Count()) std::abort();
        for (const platform::PopupMenuItem& child : item.Children)
            if (child.Tag >= history.Count()) std::abort();
    }
    for (int i = 0; i < history.Count(); ++i) {
        // Bytes that are not text in the code page are stored as the code page reads them.
        const std::string value = Utf16ToAnsi(AnsiToUtf16(history.ValueText(i)));
        if (UnscrambleHistoryText(ScrambleHistoryText(value, key)) != value) std::abort();
        platform::LogonDialogState state;
        state.ConnectAsVisible = true;
        ApplyHistoryEntry(history, i, state, false);
    }
    return 0;
}
