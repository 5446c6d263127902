#include "platform/IniFile.h"

#include "platform/internal/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quorvel::platform {

namespace {

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string Trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t' || text[b] == '\r')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r')) --e;
    return std::string(text.substr(b, e - b));
}

enum class LineKind { Other, Section, Entry };

struct Line {
    std::string Text; // as in the file, without the line end
    LineKind Kind = LineKind::Other;
    std::string Name;  // section or key, trimmed
    std::string Value; // entries only, trimmed
};

struct Document {
    std::vector<Line> Lines;
    bool EndsWithNewline = true;
    bool UsesCRLF = false;
};

Line Classify(std::string text) {
    Line line;
    line.Text = std::move(text);
    const std::string trimmed = Trim(line.Text);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') return line;
    if (trimmed[0] == '[') {
        const std::size_t close = trimmed.find(']');
        if (close != std::string::npos) {
            line.Kind = LineKind::Section;
            line.Name = Trim(std::string_view(trimmed).substr(1, close - 1));
        }
        return line;
    }
    const std::size_t eq = trimmed.find('=');
    if (eq == std::string::npos) return line;
    line.Kind = LineKind::Entry;
    line.Name = Trim(std::string_view(trimmed).substr(0, eq));
    line.Value = Trim(std::string_view(trimmed).substr(eq + 1));
    if (line.Name.empty()) line.Kind = LineKind::Other;
    return line;
}

bool ReadFile(const std::string& path, std::string& text, bool& exists) {
    text.clear();
    exists = false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return errno == ENOENT || errno == ENOTDIR;
    exists = true;
    char buffer[8192];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

Document Parse(const std::string& text) {
    Document doc;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool last = end == std::string::npos;
        if (last) end = text.size();
        std::string raw = text.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') {
            raw.pop_back();
            doc.UsesCRLF = true;
        }
        doc.Lines.push_back(Classify(std::move(raw)));
        if (last) doc.EndsWithNewline = false;
        start = end + 1;
    }
    return doc;
}

std::string Serialize(const Document& doc) {
    std::string out;
    const char* eol = doc.UsesCRLF ? "\r\n" : "\n";
    for (std::size_t i = 0; i < doc.Lines.size(); ++i) {
        out += doc.Lines[i].Text;
        if (i + 1 < doc.Lines.size() || doc.EndsWithNewline) out += eol;
    }
    return out;
}

bool WriteAtomically(const std::string& path, const std::string& text) {
    return internal::WriteFileAtomically(path, text, 0644, true);
}

// Index of the first header of the section, or npos.
std::size_t FindSection(const Document& doc, const std::string& upperSection) {
    for (std::size_t i = 0; i < doc.Lines.size(); ++i)
        if (doc.Lines[i].Kind == LineKind::Section && Upper(doc.Lines[i].Name) == upperSection) return i;
    return std::string::npos;
}

// One past the last line of the section that starts at header.
std::size_t SectionEnd(const Document& doc, std::size_t header) {
    std::size_t i = header + 1;
    while (i < doc.Lines.size() && doc.Lines[i].Kind != LineKind::Section) ++i;
    return i;
}

bool StorableName(const std::string& name, bool isKey) {
    if (name.empty() || name != Trim(name)) return false;
    for (char c : name)
        if (c == '\n' || c == '\r' || (isKey && c == '=') || (!isKey && c == ']')) return false;
    if (isKey && (name[0] == '[' || name[0] == ';' || name[0] == '#')) return false;
    return true;
}

// Reads, changes and writes under one process-wide lock (files are small; changes are rare).
std::mutex& IniLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& defaultValue) {
    std::string text;
    bool exists = false;
    {
        std::lock_guard guard(IniLock());
        if (!ReadFile(file, text, exists) || !exists) return defaultValue;
    }
    const Document doc = Parse(text);
    const std::size_t header = FindSection(doc, Upper(Trim(section)));
    if (header == std::string::npos) return defaultValue;
    const std::string upperKey = Upper(Trim(key));
    for (std::size_t i = header + 1, end = SectionEnd(doc, header); i < end; ++i)
        if (doc.Lines[i].Kind == LineKind::Entry && Upper(doc.Lines[i].Name) == upperKey) return doc.Lines[i].Value;
    return defaultValue;
}

bool IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
    if (!StorableName(section, false) || !StorableName(key, true)) return false;
    if (value.find_first_of("\r\n") != std::string::npos) return false;
    std::lock_guard guard(IniLock());
    std::string text;
    bool exists = false;
    if (!ReadFile(file, text, exists)) return false;
    Document doc = Parse(text);
    const std::string entry = key + "=" + value;
    std::size_t header = FindSection(doc, Upper(section));
    if (header == std::string::npos) {
        if (!doc.Lines.empty() && !doc.EndsWithNewline) doc.EndsWithNewline = true;
        doc.Lines.push_back(Classify("[" + section + "]"));
        doc.Lines.push_back(Classify(entry));
        doc.EndsWithNewline = true;
        return WriteAtomically(file, Serialize(doc));
    }
    const std::size_t end = SectionEnd(doc, header);
    const std::string upperKey = Upper(key);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (doc.Lines[i].Kind == LineKind::Entry && Upper(doc.Lines[i].Name) == upperKey) {
            doc.Lines[i] = Classify(doc.Lines[i].Name + "=" + value); // the key keeps its spelling
            return WriteAtomically(file, Serialize(doc));
        }
    }
    // After the last non-blank line of the section, so the blank line before the next one stays.
    std::size_t at = end;
    while (at > header + 1 && Trim(doc.Lines[at - 1].Text).empty()) --at;
    doc.Lines.insert(doc.Lines.begin() + static_cast<std::ptrdiff_t>(at), Classify(entry));
    if (at == doc.Lines.size() - 1) doc.EndsWithNewline = true;
    return WriteAtomically(file, Serialize(doc));
}

std::vector<std::pair<std::string, std::string>> IniReadSectionValues(const std::string& file,
                                                                      const std::string& section) {
    std::vector<std::pair<std::string, std::string>> values;
    std::string text;
    bool exists = false;
    {
        std::lock_guard guard(IniLock());
        if (!ReadFile(file, text, exists) || !exists) return values;
    }
    const Document doc = Parse(text);
    const std::size_t header = FindSection(doc, Upper(Trim(section)));
    if (header == std::string::npos) return values;
    std::vector<std::string> seen;
    for (std::size_t i = header + 1, end = SectionEnd(doc, header); i < end; ++i) {
        const Line& line = doc.Lines[i];
        if (line.Kind != LineKind::Entry) continue;
        const std::string upper = Upper(line.Name);
        bool duplicate = false;
        for (const auto& s : seen) duplicate = duplicate || s == upper;
        if (duplicate) continue;
        seen.push_back(upper);
        values.emplace_back(line.Name, line.Value);
    }
    return values;
}

std::vector<std::string> IniReadSection(const std::string& file, const std::string& section) {
    std::vector<std::string> keys;
    for (auto& [key, value] : IniReadSectionValues(file, section)) keys.push_back(std::move(key));
    return keys;
}

std::vector<std::string> IniReadSections(const std::string& file) {
    std::vector<std::string> names;
    std::string text;
    bool exists = false;
    {
        std::lock_guard guard(IniLock());
        if (!ReadFile(file, text, exists) || !exists) return names;
    }
    std::vector<std::string> seen;
    for (const Line& line : Parse(text).Lines) {
        if (line.Kind != LineKind::Section) continue;
        const std::string upper = Upper(line.Name);
        bool duplicate = false;
        for (const auto& s : seen) duplicate = duplicate || s == upper;
        if (duplicate) continue;
        seen.push_back(upper);
        names.push_back(line.Name);
    }
    return names;
}

bool IniEraseSection(const std::string& file, const std::string& section) {
    std::lock_guard guard(IniLock());
    std::string text;
    bool exists = false;
    if (!ReadFile(file, text, exists)) return false;
    if (!exists) return true;
    Document doc = Parse(text);
    const std::string upper = Upper(Trim(section));
    bool changed = false;
    for (std::size_t header; (header = FindSection(doc, upper)) != std::string::npos;) {
        const std::size_t end = SectionEnd(doc, header);
        doc.Lines.erase(doc.Lines.begin() + static_cast<std::ptrdiff_t>(header),
                        doc.Lines.begin() + static_cast<std::ptrdiff_t>(end));
        changed = true;
    }
    if (!changed) return true;
    if (doc.Lines.empty()) doc.EndsWithNewline = false;
    return WriteAtomically(file, Serialize(doc));
}

bool IniDeleteKey(const std::string& file, const std::string& section, const std::string& key) {
    std::lock_guard guard(IniLock());
    std::string text;
    bool exists = false;
    if (!ReadFile(file, text, exists)) return false;
    if (!exists) return true;
    Document doc = Parse(text);
    const std::size_t header = FindSection(doc, Upper(Trim(section)));
    if (header == std::string::npos) return true;
    const std::string upperKey = Upper(Trim(key));
    for (std::size_t i = header + 1, end = SectionEnd(doc, header); i < end; ++i) {
        if (doc.Lines[i].Kind == LineKind::Entry && Upper(doc.Lines[i].Name) == upperKey) {
            doc.Lines.erase(doc.Lines.begin() + static_cast<std::ptrdiff_t>(i));
            return WriteAtomically(file, Serialize(doc));
        }
    }
    return true;
}

} // namespace quorvel::platform
