#include "oracle/script/Feedback.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quorvel {

namespace {

struct FeedbackEntry {
    uint32_t Code;
    std::string_view Template; // "%d" is the row count, "%s" the plural suffix
};

// Sorted by code.
constexpr FeedbackEntry Entries[] = {
    {1, "Table created"},
    {2, "Role set"},
    {3, "%d row%s inserted"},
    {4, "%d row%s selected"},
    {5, "%d row%s updated"},
    {6, "Role dropped"},
    {7, "View dropped"},
    {8, "Table dropped"},
    {9, "%d row%s deleted"},
    {10, "View created"},
    {11, "User dropped"},
    {12, "Role created"},
    {13, "Sequence created"},
    {14, "Sequence altered"},
    {16, "Sequence dropped"},
    {17, "Schema created"},
    {18, "Cluster created"},
    {19, "User created"},
    {20, "Index created"},
    {21, "Index dropped"},
    {22, "Cluster dropped"},
    {23, "Index validated"},
    {24, "Procedure created"},
    {25, "Procedure altered"},
    {26, "Table altered"},
    {27, "Explained"},
    {28, "Grant succeeded"},
    {29, "Revoke succeeded"},
    {30, "Synonym created"},
    {31, "Synonym dropped"},
    {32, "System altered"},
    {33, "Transaction set"},
    {34, "PL/SQL procedure successfully completed"},
    {35, "Table(s) locked"},
    {37, "Table renamed"},
    {38, "Comment added"},
    {39, "Audit succeeded"},
    {40, "Noaudit succeeded"},
    {41, "Index altered"},
    {42, "Database link created"},
    {43, "Database link dropped"},
    {44, "Database created"},
    {45, "Database altered"},
    {46, "Rollback segment created"},
    {47, "Rollback segment altered"},
    {48, "Rollback segment dropped"},
    {49, "Tablespace created"},
    {50, "Tablespace altered"},
    {51, "Tablespace dropped"},
    {52, "Session altered"},
    {53, "User altered"},
    {54, "Commit complete"},
    {55, "Rollback complete"},
    {56, "Savepoint created"},
    {57, "Control file created"},
    {58, "Tracing altered"},
    {59, "Trigger created"},
    {60, "Trigger altered"},
    {61, "Trigger dropped"},
    {62, "Table analyzed"},
    {63, "Index analyzed"},
    {64, "Cluster analyzed"},
    {65, "Profile created"},
    {66, "Profile dropped"},
    {67, "Profile altered"},
    {68, "Procedure dropped"},
    {70, "Resource cost altered"},
    {71, "Materialized view log created"},
    {72, "Materialized view log altered"},
    {73, "Materialized view log dropped"},
    {74, "Materialized view created"},
    {75, "Materialized view altered"},
    {76, "Materialized view dropped"},
    {77, "Type created"},
    {78, "Type dropped"},
    {79, "Role altered"},
    {80, "Type altered"},
    {81, "Type body created"},
    {82, "Type body altered"},
    {83, "Type body dropped"},
    {84, "Library dropped"},
    {85, "Table truncated"},
    {86, "Cluster truncated"},
    {87, "Bitmapfile created"},
    {88, "View altered"},
    {89, "Bitmapfile dropped"},
    {90, "Constraints set"},
    {91, "Function created"},
    {92, "Function altered"},
    {93, "Function dropped"},
    {94, "Package created"},
    {95, "Package altered"},
    {96, "Package dropped"},
    {97, "Package body created"},
    {98, "Package body altered"},
    {99, "Package body dropped"},
    {157, "Directory created"},
    {158, "Directory dropped"},
    {159, "Library created"},
    {160, "Java created"},
    {161, "Java altered"},
    {162, "Java dropped"},
    {163, "Operator created"},
    {164, "Indextype created"},
    {165, "Indextype dropped"},
    {166, "Indextype altered"},
    {167, "Operator dropped"},
    {168, "Statistics associated"},
    {169, "Statistics disassociated"},
    {170, "Method called"},
    {171, "Summary created"},
    {172, "Summary altered"},
    {173, "Summary dropped"},
    {174, "Dimension created"},
    {175, "Dimension altered"},
    {176, "Dimension dropped"},
    {177, "Context created"},
    {178, "Context dropped"},
    {179, "Outline altered"},
    {180, "Outline created"},
    {181, "Outline dropped"},
    {182, "Indexes updated"},
    {183, "Operator altered"},
};

static_assert(std::size(Entries) == 123);

} // namespace

std::string FeedbackText(int32_t functionCode, int32_t rowCount) {
    // Compared as an unsigned number, so negative codes find no entry.
    const uint32_t code = uint32_t(functionCode);
    const auto* end = std::end(Entries);
    const auto* it = std::lower_bound(std::begin(Entries), end, code,
                                      [](const FeedbackEntry& e, uint32_t c) { return e.Code < c; });
    if (it == end || it->Code != code) return "Done";

    std::string result;
    const std::string_view tpl = it->Template;
    result.reserve(tpl.size() + 12);
    for (std::size_t i = 0; i < tpl.size(); ++i) {
        if (tpl[i] == '%' && i + 1 < tpl.size() && (tpl[i + 1] == 'd' || tpl[i + 1] == 's')) {
            if (tpl[i + 1] == 'd')
                result += std::to_string(rowCount);
            else if (rowCount != 1)
                result += 's';
            ++i;
        } else {
            result += tpl[i];
        }
    }
    return result;
}

} // namespace quorvel
