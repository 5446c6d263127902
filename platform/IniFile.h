#pragma once
// Initialisation files: plain text of "[Section]" headers followed by "key=value" lines.
//
// Section and key names compare without regard to ASCII letter case; names and values are
// trimmed of surrounding blanks. Blank lines, comment lines (";" or "#" first) and lines that
// are neither a header nor hold "=" are skipped when reading, and kept as they are when the
// file is changed, so a change never loses anything but what it replaces. When a section or
// key occurs twice, the first one counts. A missing file reads as empty; the first write
// creates it. Changes are written whole to a temporary file that then replaces the old one.
// None of these functions raise.
#include <string>
#include <utility>
#include <vector>

namespace quorvel::platform {

std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& defaultValue = std::string());
// Creates the file, the section or the key as needed. False when the file cannot be written or
// a name or the value cannot be stored on one line (a line break, an "=" or "]" in the wrong place).
bool IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
// The keys of a section in file order, and the keys with their values.
std::vector<std::string> IniReadSection(const std::string& file, const std::string& section);
std::vector<std::pair<std::string, std::string>> IniReadSectionValues(const std::string& file,
                                                                      const std::string& section);
std::vector<std::string> IniReadSections(const std::string& file);
// Removes every occurrence of the section with its lines. True when the file is as wanted
// afterwards (also when there was no such section or file).
bool IniEraseSection(const std::string& file, const std::string& section);
bool IniDeleteKey(const std::string& file, const std::string& section, const std::string& key);

} // namespace quorvel::platform
