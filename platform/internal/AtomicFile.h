#pragma once
// Replacing a file's whole contents so that a reader sees the old text or the new, never a
// half-written one: write a temporary file beside it, sync it, rename it over the old one.
#include <string>
#include <sys/types.h>

namespace quorvel::platform::internal {

// A new file gets `mode`; with keepExistingMode an existing file keeps its permission bits.
// False (and nothing changed) when any step fails.
bool WriteFileAtomically(const std::string& path, const std::string& text, mode_t mode, bool keepExistingMode);

} // namespace quorvel::platform::internal
