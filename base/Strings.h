#pragma once
// Lists of strings. TStrings keeps lines with an optional object per line; its Text joins
// every line followed by CR LF, and setting Text splits at CR, LF and CR LF (a final line
// break adds no empty line). TStringList adds sorting with case-insensitive comparison and the
// treatment of duplicates that sorted lists need.
#include "base/Exception.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class TStream;

// "List index out of bounds (" + index + ")", "String list does not allow duplicates",
// "Operation not allowed on sorted list".
class EStringListError : public Exception {
public:
    using Exception::Exception;
    ~EStringListError() override;
};

class TStrings {
public:
    TStrings() = default;
    TStrings(const TStrings& other);
    TStrings& operator=(const TStrings& other);
    virtual ~TStrings();

    int Count() const { return int(FItems.size()); }
    const std::string& Strings(int index) const;
    const std::string& operator[](int index) const { return Strings(index); }
    virtual void SetStrings(int index, const std::string& value);
    void* Objects(int index) const;
    void SetObjects(int index, void* object);

    virtual int Add(const std::string& s);
    int AddObject(const std::string& s, void* object);
    virtual void Insert(int index, const std::string& s);
    void InsertObject(int index, const std::string& s, void* object);
    void Delete(int index);
    void Clear();
    void Exchange(int a, int b);
    void Move(int from, int to);
    // The first line equal to s (ignoring case as the list's comparison does), or -1.
    virtual int IndexOf(std::string_view s) const;
    int IndexOfObject(const void* object) const;
    void AddStrings(const TStrings& other);
    // Lines and objects of source (and a string list's settings when both are string lists).
    virtual void Assign(const TStrings& source);
    bool Equals(const TStrings& other) const; // same lines, same order

    std::string Text() const;
    void SetText(std::string_view text);
    // Lines joined by separator, without a final one.
    std::string Join(std::string_view separator) const;

    // Lines of the form name=value.
    std::string Names(int index) const;                 // the part before '=', empty without '='
    std::string ValueFromIndex(int index) const;        // the part after the first '='
    int IndexOfName(std::string_view name) const;       // case-insensitive
    std::string Values(std::string_view name) const;    // empty when there is no such name
    void SetValues(std::string_view name, const std::string& value); // empty value deletes the line

    // File contents: with a byte-order mark the text is decoded and converted to the ANSI code
    // page; without one the bytes are taken as they are.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    void LoadFromStream(TStream& stream); // from the stream's position to its end
    void SaveToStream(TStream& stream) const;

    // Changes between BeginUpdate and the last EndUpdate fire OnChange once at the end.
    void BeginUpdate();
    void EndUpdate();
    std::function<void(TStrings& Sender)> OnChange;
    std::function<void(TStrings& Sender)> OnChanging;

    std::vector<std::string> ToVector() const;

protected:
    struct TItem {
        std::string Text;
        void* Object = nullptr;
    };
    std::vector<TItem> FItems;

    virtual int CompareStrings(std::string_view a, std::string_view b) const; // case-insensitive
    void Changing();
    void Changed();
    void CheckIndex(int index) const;
    void InsertItem(int index, const std::string& s, void* object);

private:
    int FUpdateCount = 0;
    bool FChangedInUpdate = false;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
public:
    TStringList() = default;
    TStringList(const TStringList& other) = default;
    TStringList& operator=(const TStringList& other) = default;
    ~TStringList() override;

    bool Sorted() const { return FSorted; }
    void SetSorted(bool sorted); // sorting keeps every line, duplicates included
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates d) { FDuplicates = d; }
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool caseSensitive);

    // Sorted: inserted in order; a duplicate is dropped (dupIgnore, returning the index of
    // the existing line), added (dupAccept) or refused (dupError).
    int Add(const std::string& s) override;
    void Insert(int index, const std::string& s) override; // refused on a sorted list
    void SetStrings(int index, const std::string& value) override; // refused on a sorted list
    int IndexOf(std::string_view s) const override;
    // Binary search of a sorted list: true when found; index is the first match or the
    // place where s would be inserted.
    bool Find(std::string_view s, int& index) const;
    void Sort();
    void CustomSort(const std::function<int(const TStringList&, int, int)>& compare);
    void Assign(const TStrings& source) override;

protected:
    int CompareStrings(std::string_view a, std::string_view b) const override;

private:
    bool FSorted = false;
    bool FCaseSensitive = false;
    TDuplicates FDuplicates = dupIgnore;
};

} // namespace quorvel
