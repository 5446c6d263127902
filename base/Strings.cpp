#include "base/Strings.h"

#include "base/CodePage.h"
#include "base/Stream.h"
#include "base/TextCase.h"

#include <algorithm>

namespace quorvel {

EStringListError::~EStringListError() = default;

TStrings::TStrings(const TStrings& other) : FItems(other.FItems) {}

TStrings& TStrings::operator=(const TStrings& other) {
    if (this != &other) Assign(other);
    return *this;
}

TStrings::~TStrings() = default;

void TStrings::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TStrings::Changing() {
    if (FUpdateCount == 0 && OnChanging) OnChanging(*this);
}

void TStrings::Changed() {
    if (FUpdateCount > 0) {
        FChangedInUpdate = true;
        return;
    }
    if (OnChange) OnChange(*this);
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0) {
        FChangedInUpdate = false;
        if (OnChanging) OnChanging(*this);
    }
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0 && FChangedInUpdate) {
        FChangedInUpdate = false;
        if (OnChange) OnChange(*this);
    }
}

const std::string& TStrings::Strings(int index) const {
    CheckIndex(index);
    return FItems[size_t(index)].Text;
}

void TStrings::SetStrings(int index, const std::string& value) {
    CheckIndex(index);
    Changing();
    FItems[size_t(index)].Text = value;
    Changed();
}

void* TStrings::Objects(int index) const {
    CheckIndex(index);
    return FItems[size_t(index)].Object;
}

void TStrings::SetObjects(int index, void* object) {
    CheckIndex(index);
    Changing();
    FItems[size_t(index)].Object = object;
    Changed();
}

void TStrings::InsertItem(int index, const std::string& s, void* object) {
    Changing();
    FItems.insert(FItems.begin() + index, TItem{s, object});
    Changed();
}

int TStrings::Add(const std::string& s) {
    InsertItem(Count(), s, nullptr);
    return Count() - 1;
}

int TStrings::AddObject(const std::string& s, void* object) {
    int i = Add(s);
    FItems[size_t(i)].Object = object;
    return i;
}

void TStrings::Insert(int index, const std::string& s) {
    if (index < 0 || index > Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    InsertItem(index, s, nullptr);
}

void TStrings::InsertObject(int index, const std::string& s, void* object) {
    Insert(index, s);
    FItems[size_t(index)].Object = object;
}

void TStrings::Delete(int index) {
    CheckIndex(index);
    Changing();
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TStrings::Clear() {
    if (FItems.empty()) return;
    Changing();
    FItems.clear();
    Changed();
}

void TStrings::Exchange(int a, int b) {
    CheckIndex(a);
    CheckIndex(b);
    Changing();
    std::swap(FItems[size_t(a)], FItems[size_t(b)]);
    Changed();
}

void TStrings::Move(int from, int to) {
    CheckIndex(from);
    CheckIndex(to);
    if (from == to) return;
    Changing();
    TItem item = std::move(FItems[size_t(from)]);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, std::move(item));
    Changed();
}

int TStrings::CompareStrings(std::string_view a, std::string_view b) const { return AnsiCompareText(a, b); }

int TStrings::IndexOf(std::string_view s) const {
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(FItems[size_t(i)].Text, s) == 0) return i;
    return -1;
}

int TStrings::IndexOfObject(const void* object) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)].Object == object) return i;
    return -1;
}

void TStrings::AddStrings(const TStrings& other) {
    std::vector<TItem> copy = other.FItems; // other may be this list
    BeginUpdate();
    try {
        for (const TItem& item : copy) AddObject(item.Text, item.Object);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Assign(const TStrings& source) {
    if (&source == this) return;
    Changing();
    FItems = source.FItems;
    Changed();
}

bool TStrings::Equals(const TStrings& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)].Text != other.FItems[size_t(i)].Text) return false;
    return true;
}

std::string TStrings::Text() const {
    size_t total = 0;
    for (const TItem& item : FItems) total += item.Text.size() + 2;
    std::string out;
    out.reserve(total);
    for (const TItem& item : FItems) {
        out += item.Text;
        out += "\r\n";
    }
    return out;
}

void TStrings::SetText(std::string_view text) {
    std::vector<TItem> items;
    size_t start = 0, i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            items.push_back(TItem{std::string(text.substr(start, i - start)), nullptr});
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) items.push_back(TItem{std::string(text.substr(start)), nullptr});
    BeginUpdate();
    try {
        Clear();
        for (TItem& item : items) Add(item.Text);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::string TStrings::Join(std::string_view separator) const {
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        if (i) out += separator;
        out += FItems[size_t(i)].Text;
    }
    return out;
}

std::vector<std::string> TStrings::ToVector() const {
    std::vector<std::string> out;
    out.reserve(FItems.size());
    for (const TItem& item : FItems) out.push_back(item.Text);
    return out;
}

std::string TStrings::Names(int index) const {
    const std::string& s = Strings(index);
    size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStrings::ValueFromIndex(int index) const {
    const std::string& s = Strings(index);
    size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int TStrings::IndexOfName(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& s = FItems[size_t(i)].Text;
        size_t eq = s.find('=');
        if (eq != std::string::npos && AnsiSameText(std::string_view(s).substr(0, eq), name)) return i;
    }
    return -1;
}

std::string TStrings::Values(std::string_view name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValues(std::string_view name, const std::string& value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    std::string line = std::string(name) + "=" + value;
    if (i < 0) Add(line);
    else SetStrings(i, line);
}

void TStrings::LoadFromStream(TStream& stream) {
    std::string bytes = stream.ReadRest();
    TBomInfo bom = DetectBom(bytes);
    if (bom.Encoding == TTextEncoding::teNone) SetText(bytes);
    else SetText(Utf16ToAnsi(DecodeText(bytes, AnsiCodePage())));
}

void TStrings::SaveToStream(TStream& stream) const { stream.WriteString(Text()); }

void TStrings::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    LoadFromStream(f);
}

void TStrings::SaveToFile(const std::string& fileName) const {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

// ----- TStringList -----

TStringList::~TStringList() = default;

int TStringList::CompareStrings(std::string_view a, std::string_view b) const {
    return FCaseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

void TStringList::SetSorted(bool sorted) {
    if (sorted && !FSorted) {
        FSorted = true;
        Sort();
    } else {
        FSorted = sorted;
    }
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
    if (caseSensitive == FCaseSensitive) return;
    FCaseSensitive = caseSensitive;
    if (FSorted) Sort();
}

void TStringList::Sort() {
    Changing();
    std::stable_sort(FItems.begin(), FItems.end(),
                     [this](const TItem& a, const TItem& b) { return CompareStrings(a.Text, b.Text) < 0; });
    Changed();
}

void TStringList::CustomSort(const std::function<int(const TStringList&, int, int)>& compare) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    // Sort an index permutation, so the comparison sees the list as it was.
    std::vector<int> order(FItems.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
    std::vector<TItem> sorted;
    sorted.reserve(FItems.size());
    for (int i : order) sorted.push_back(FItems[size_t(i)]);
    Changing();
    FItems = std::move(sorted);
    Changed();
}

bool TStringList::Find(std::string_view s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int c = CompareStrings(FItems[size_t(mid)].Text, s);
        if (c < 0) lo = mid + 1;
        else {
            hi = mid - 1;
            if (c == 0) found = true;
        }
    }
    index = lo;
    return found;
}

int TStringList::Add(const std::string& s) {
    if (!FSorted) return TStrings::Add(s);
    int index;
    if (Find(s, index)) {
        if (FDuplicates == dupIgnore) return index;
        if (FDuplicates == dupError) throw EStringListError("String list does not allow duplicates");
        // dupAccept: after the equal lines already there.
        while (index < Count() && CompareStrings(FItems[size_t(index)].Text, s) == 0) ++index;
    }
    InsertItem(index, s, nullptr);
    return index;
}

void TStringList::Insert(int index, const std::string& s) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    TStrings::Insert(index, s);
}

void TStringList::SetStrings(int index, const std::string& value) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    TStrings::SetStrings(index, value);
}

int TStringList::IndexOf(std::string_view s) const {
    if (!FSorted) return TStrings::IndexOf(s);
    int index;
    return Find(s, index) ? index : -1;
}

void TStringList::Assign(const TStrings& source) {
    if (&source == this) return;
    if (auto list = dynamic_cast<const TStringList*>(&source)) {
        FSorted = list->FSorted;
        FCaseSensitive = list->FCaseSensitive;
        FDuplicates = list->FDuplicates;
    }
    TStrings::Assign(source);
    if (FSorted && !dynamic_cast<const TStringList*>(&source)) Sort();
}

} // namespace quorvel
