#pragma once
// The comparison flags of the parse in progress on this thread; every node copies them when
// it is built.
namespace quorvel::filter_detail {

struct TParseFlags {
    bool CaseInsensitive = false;
    bool PartialMatch = true;
};

extern thread_local TParseFlags gParseFlags;

} // namespace quorvel::filter_detail
