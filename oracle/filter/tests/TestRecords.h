#pragma once
// A small in-memory record source for filter tests and benchmarks.
#include "oracle/filter/OracleFilter.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quorvel::test {

using TCell = std::variant<std::monostate, int32_t, double, bool, std::u16string>; // monostate: null

class TTestRecords : public TFieldResolver {
public:
    struct TColumn {
        std::u16string Name;
        TExprType Type;
    };

    explicit TTestRecords(std::vector<TColumn> columns) : FColumns(std::move(columns)) {}
    void AddRecord(std::vector<TCell> cells) { FRows.push_back(std::move(cells)); }
    int RecordCount() const { return static_cast<int>(FRows.size()); }
    void SetCurrent(int row) { FCurrent = row; }

    // The records for which filter is true.
    std::vector<int> Matching(std::u16string_view filter, TFilterOptions options = {});

    int FieldIndex(std::u16string_view name) const override;
    TExprType FieldType(int index) const override { return FColumns[index].Type; }
    bool FieldIsNull(int index) const override;
    TDateTime FieldAsDateTime(int index) const override;
    double FieldAsFloat(int index) const override;
    int32_t FieldAsInteger(int index) const override;
    bool FieldAsBoolean(int index) const override;
    std::u16string_view FieldAsString(int index, std::u16string& buffer) const override;

private:
    const TCell& Cell(int index) const { return FRows[FCurrent][index]; }
    std::vector<TColumn> FColumns;
    std::vector<std::vector<TCell>> FRows;
    int FCurrent = 0;
};

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

} // namespace quorvel::test
