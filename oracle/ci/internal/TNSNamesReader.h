#pragma once
// The reader of tnsnames.ora, apart from the process-wide list, for the tests and the fuzz target.
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {
class TStringList;
}

namespace quorvel::tns_internal {

struct TNSReadOptions {
    std::string DefaultDomain;        // names.default_domain of sqlnet.ora, may be empty
    bool StripDefaultDomain = false;  // the library-wide setting
    bool FollowIncludes = true;       // false: ifile lines are recognised but not opened
};

// Adds the aliases of the file at path (and of the files it includes) to names, which should
// be sorted, ignoring case, with dupIgnore. A missing or unreadable file adds nothing.
void ReadTNSNamesFile(const std::string& path, TStringList& names, const TNSReadOptions& options);
// The same for text held in memory; its include lines still open files.
void ReadTNSNamesText(std::string_view text, TStringList& names, const TNSReadOptions& options);

// A key such as "SALES, \"NEW SALES\"" split into names: commas and blanks separate them,
// double quotes keep them together (a doubled quote inside stands for one). Empty names are left out.
std::vector<std::string> SplitNameList(std::string_view key);

// The sorted, case-ignoring, duplicate-dropping list the aliases are collected in.
void PrepareNameList(TStringList& names);

} // namespace quorvel::tns_internal
