#include "oracle/filter/tests/TestRecords.h"
#include "oracle/filter/internal/FilterText.h"

#include <cmath>

namespace quorvel::test {

std::string Utf8(std::u16string_view text) { return filter_detail::ToUtf8(text); }
std::u16string Utf16(std::string_view text) { return filter_detail::FromUtf8(text); }

std::vector<int> TTestRecords::Matching(std::u16string_view filter, TFilterOptions options) {
    std::vector<int> rows;
    auto root = ParseFilter(filter, options, *this);
    for (int r = 0; r < RecordCount(); ++r) {
        SetCurrent(r);
        if (!root || root->AsBoolean()) rows.push_back(r);
    }
    return rows;
}

int TTestRecords::FieldIndex(std::u16string_view name) const {
    for (size_t i = 0; i < FColumns.size(); ++i)
        if (FColumns[i].Name == name) return static_cast<int>(i);
    throw Exception("Field '" + Utf8(name) + "' not found");
}

bool TTestRecords::FieldIsNull(int index) const {
    return FRows.empty() || std::holds_alternative<std::monostate>(Cell(index));
}

TDateTime TTestRecords::FieldAsDateTime(int index) const { return TDateTime(FieldAsFloat(index)); }

double TTestRecords::FieldAsFloat(int index) const {
    if (FRows.empty()) return 0;
    const TCell& c = Cell(index);
    if (auto* i = std::get_if<int32_t>(&c)) return *i;
    if (auto* d = std::get_if<double>(&c)) return *d;
    if (auto* b = std::get_if<bool>(&c)) return *b;
    return 0;
}

int32_t TTestRecords::FieldAsInteger(int index) const {
    if (FRows.empty()) return 0;
    const TCell& c = Cell(index);
    if (auto* i = std::get_if<int32_t>(&c)) return *i;
    return static_cast<int32_t>(std::trunc(FieldAsFloat(index)));
}

bool TTestRecords::FieldAsBoolean(int index) const {
    if (FRows.empty()) return false;
    const TCell& c = Cell(index);
    if (auto* b = std::get_if<bool>(&c)) return *b;
    return FieldAsFloat(index) != 0;
}

std::u16string_view TTestRecords::FieldAsString(int index, std::u16string& buffer) const {
    if (FRows.empty()) return {};
    const TCell& c = Cell(index);
    if (auto* s = std::get_if<std::u16string>(&c)) return *s;
    if (std::holds_alternative<std::monostate>(c)) return {};
    filter_detail::FormatFloat(FieldAsFloat(index), buffer);
    return buffer;
}

} // namespace quorvel::test
