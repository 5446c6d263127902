#pragma once
// The feedback line an interactive SQL tool writes after a successful statement ("Table
// created", "3 rows updated"), from the SQL function code the client reports for the executed
// statement and its row count.
#include <cstdint>
#include <string>

namespace quorvel {

// The line for a function code and a row count. Codes without an entry (0, negative codes,
// unknown codes) give "Done". The four row-count messages read "<count> row inserted" for a
// count of exactly 1 and "<count> rows ..." for every other count, 0 and negatives included.
std::string FeedbackText(int32_t functionCode, int32_t rowCount);

} // namespace quorvel
