// UTL_FILE: text files in the server's directories, named through directory objects
// (CREATE DIRECTORY name AS 'path'). A file name is one name inside its directory: separators,
// "..", absolute names and symbolic links are refused, so no call reaches outside the directory.
// Open files belong to the session (they are closed when it ends); a FILE_TYPE record carries
// the file's number in its ID field.
#include "ocisim/engine/packages/PackageSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <map>

namespace ocisim::eng::pkg {
namespace {

constexpr int kInvalidPath = 29280, kInvalidMode = 29281, kInvalidFilehandle = 29282, kInvalidOperation = 29283,
              kReadError = 29284, kWriteError = 29285, kInternalError = 29286, kInvalidMaxLinesize = 29287,
              kInvalidFilename = 29288, kAccessDenied = 29289, kInvalidOffset = 29290, kDeleteFailed = 29291,
              kRenameFailed = 29292;

struct NamedError { const char* name; int code; const char* text; };
const NamedError kErrors[] = {
    {"INVALID_PATH", kInvalidPath, "invalid directory path"},
    {"INVALID_MODE", kInvalidMode, "invalid mode"},
    {"INVALID_FILEHANDLE", kInvalidFilehandle, "invalid file ID"},
    {"INVALID_OPERATION", kInvalidOperation, "invalid file operation"},
    {"READ_ERROR", kReadError, "file read error"},
    {"WRITE_ERROR", kWriteError, "file write error"},
    {"INTERNAL_ERROR", kInternalError, "internal error"},
    {"INVALID_MAXLINESIZE", kInvalidMaxLinesize, "invalid maximum line size"},
    {"INVALID_FILENAME", kInvalidFilename, "invalid file name"},
    {"ACCESS_DENIED", kAccessDenied, "directory access denied"},
    {"INVALID_OFFSET", kInvalidOffset, "invalid offset specified for seek"},
    {"DELETE_FAILED", kDeleteFailed, "file remove operation failed"},
    {"RENAME_FAILED", kRenameFailed, "file rename operation failed"},
};

[[noreturn]] void Error(int code) {
    for (const auto& e : kErrors)
        if (e.code == code) Raise(code, e.text);
    Raise(code, "internal error");
}

struct File {
    FILE* f = nullptr;
    char mode = 'r';               // r, w, a
    size_t maxLine = 1024;
    size_t lineLength = 0;         // bytes written since the last new line
    ~File() { if (f) std::fclose(f); }
};

struct Files {
    std::map<int64_t, std::unique_ptr<File>> open;
    int64_t nextId = 1;
};

Files& FilesOf(NativeContext& ctx) {
    auto& slot = ctx.SessionState("UTL_FILE");
    if (!slot) slot = std::make_shared<Files>();
    return *static_cast<Files*>(slot.get());
}

// The directory a directory object names; INVALID_PATH when there is none.
std::string DirectoryPath(NativeContext& ctx, const Value& location) {
    if (IsNull(location)) Error(kInvalidPath);
    std::string name = Text(location);
    Rows r = Query(ctx, "SELECT DIRECTORY_PATH FROM ALL_DIRECTORIES WHERE DIRECTORY_NAME = :1", {TextValue(name)});
    if (r.empty()) {
        std::string upper = name;
        for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        r = Query(ctx, "SELECT DIRECTORY_PATH FROM ALL_DIRECTORIES WHERE DIRECTORY_NAME = :1", {TextValue(upper)});
    }
    if (r.empty() || IsNull(r[0][0])) Error(kInvalidPath);
    std::string path = Text(r[0][0]);
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) Error(kInvalidPath);
    return path;
}

// The full name of a file inside its directory.
std::string FilePath(NativeContext& ctx, const Value& location, const Value& filename) {
    std::string dir = DirectoryPath(ctx, location);
    if (IsNull(filename)) Error(kInvalidFilename);
    std::string name = Text(filename);
    if (name == "." || name == ".." || name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
        name.find('\0') != std::string::npos || name.size() > 255)
        Error(kInvalidFilename);
    return dir + (dir.back() == '/' ? "" : "/") + name;
}

bool IsSymlink(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

FILE* OpenFile(const std::string& path, char mode) {
    int flags = O_CLOEXEC | O_NOFOLLOW;
    if (mode == 'r') flags |= O_RDONLY;
    else if (mode == 'w') flags |= O_WRONLY | O_CREAT | O_TRUNC;
    else flags |= O_WRONLY | O_CREAT | O_APPEND;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return nullptr;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    FILE* f = ::fdopen(fd, mode == 'r' ? "r" : mode == 'w' ? "w" : "a");
    if (!f) ::close(fd);
    return f;
}

// The handle a FILE_TYPE actual carries: its ID field (or the value itself when it is a number).
int64_t HandleOf(const NativeArg* a) {
    if (!a) Error(kInvalidFilehandle);
    const Value& id = a->isRecord ? (a->fields.empty() ? Value() : a->fields[0]) : a->value;
    if (IsNull(id)) Error(kInvalidFilehandle);
    return Int(id);
}

void SetHandle(NativeArg* a, const Value& id) {
    if (!a || !a->out) return;
    if (a->isRecord) {
        a->fields.resize(3);
        a->fields[0] = id;
        a->fields[1] = IsNull(id) ? NullValue() : IntValue(1);
        a->fields[2] = IsNull(id) ? NullValue() : BoolValue(false);
    } else {
        a->value = id;
    }
}

File& OpenOf(NativeContext& ctx, const NativeArg* a) {
    Files& files = FilesOf(ctx);
    auto it = files.open.find(HandleOf(a));
    if (it == files.open.end()) Error(kInvalidFilehandle);
    return *it->second;
}

void Write(File& f, const std::string& text) {
    if (f.mode == 'r') Error(kInvalidOperation);
    size_t from = 0;
    while (from <= text.size()) {
        size_t nl = text.find('\n', from);
        size_t piece = (nl == std::string::npos ? text.size() : nl) - from;
        if (f.lineLength + piece > f.maxLine) Error(kWriteError);
        f.lineLength += piece;
        if (nl == std::string::npos) break;
        f.lineLength = 0;
        from = nl + 1;
    }
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f.f) != text.size()) Error(kWriteError);
}

// PUTF: %s takes the next argument (an empty text when there is none), \n is a new line.
std::string Format(const std::string& format, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            if (next < args.size()) out += args[next];
            ++next;
            ++i;
        } else if (format[i] == '\\' && i + 1 < format.size() && format[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

bool CopyLines(const std::string& from, const std::string& to, int64_t first, int64_t last) {
    FILE* in = OpenFile(from, 'r');
    if (!in) return false;
    FILE* out = OpenFile(to, 'w');
    if (!out) {
        std::fclose(in);
        return false;
    }
    bool ok = true;
    int64_t line = 1;
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (line >= first && (last <= 0 || line <= last))
            if (std::fputc(c, out) == EOF) ok = false;
        if (c == '\n') ++line;
    }
    if (std::ferror(in)) ok = false;
    std::fclose(in);
    if (std::fclose(out) != 0) ok = false;
    return ok;
}

class UtlFile final : public NativePackage {
public:
    std::string_view Name() const override { return "UTL_FILE"; }

    int ExceptionCode(std::string_view name) const override {
        for (const auto& e : kErrors)
            if (name == e.name) return -e.code;
        return 0;
    }

    bool RecordType(std::string_view name, std::vector<std::pair<std::string, OraType>>& fields) const override {
        if (name != "FILE_TYPE") return false;
        fields = {{"ID", OraType::Number}, {"DATATYPE", OraType::Number}, {"BYTE_MODE", OraType::Boolean}};
        return true;
    }

    std::string_view RecordResult(std::string_view member) const override {
        return member == "FOPEN" ? "FILE_TYPE" : "";
    }

    bool ReturnsBoolean(std::string_view member) const override { return member == "IS_OPEN"; }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        Params p;
        if (m == "FOPEN") {
            // the interpreter passes the record result as a last argument named RETURN
            NativeArg* ret = nullptr;
            if (!result && !args.empty() && args.back().name == "RETURN") {
                ret = &args.back();
                std::vector<NativeArg> rest(args.begin(), args.end() - 1);
                if (!p.Match(rest, {"LOCATION", "FILENAME", "OPEN_MODE", "MAX_LINESIZE"}, 3)) return false;
                Value id = Open(ctx, p);
                SetHandle(ret, id);
                return true;
            }
            if (!result || !p.Match(args, {"LOCATION", "FILENAME", "OPEN_MODE", "MAX_LINESIZE"}, 3)) return false;
            *result = Open(ctx, p);
            return true;
        }
        if (m == "IS_OPEN") {
            if (!result || !p.Match(args, {"FILE"}, 1)) return false;
            const NativeArg* a = p[0];
            const Value& id = a->isRecord ? (a->fields.empty() ? Value() : a->fields[0]) : a->value;
            *result = BoolValue(!IsNull(id) && FilesOf(ctx).open.count(Int(id)));
            return true;
        }
        if (result) return false;
        if (m == "FCLOSE") {
            if (!p.Match(args, {"FILE"}, 1)) return false;
            Files& files = FilesOf(ctx);
            auto it = files.open.find(HandleOf(p[0]));
            if (it == files.open.end()) Error(kInvalidFilehandle);
            FILE* f = it->second->f;
            it->second->f = nullptr;
            files.open.erase(it);
            SetHandle(p[0], NullValue());
            if (std::fclose(f) != 0) Error(kWriteError);
            return true;
        }
        if (m == "FCLOSE_ALL") {
            if (!p.Match(args, {}, 0)) return false;
            FilesOf(ctx).open.clear();
            return true;
        }
        if (m == "GET_LINE") {
            if (!p.Match(args, {"FILE", "BUFFER", "LEN"}, 2) || !p[1]->out) return false;
            File& f = OpenOf(ctx, p[0]);
            if (f.mode != 'r') Error(kInvalidOperation);
            size_t len = f.maxLine;
            if (p.Given(2) && !IsNull(p.In(2))) len = static_cast<size_t>(std::max<int64_t>(1, Int(p.In(2))));
            std::string line;
            int c;
            bool any = false;
            while ((c = std::fgetc(f.f)) != EOF) {
                any = true;
                if (c == '\n') break;
                line += static_cast<char>(c);
                if (line.size() > f.maxLine + 1) Error(kReadError);
            }
            if (std::ferror(f.f)) Error(kReadError);
            if (!any) Raise(1403, "no data found");
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > f.maxLine) Error(kReadError);
            if (line.size() > len) ValueError("character string buffer too small");
            p.Out(1, TextValue(line));
            return true;
        }
        if (m == "PUT" || m == "PUT_LINE") {
            if (!p.Match(args, {"FILE", "BUFFER", "AUTOFLUSH"}, 2)) return false;
            if (m == "PUT" && p.Given(2)) return false;
            File& f = OpenOf(ctx, p[0]);
            Write(f, Text(p.In(1)) + (m == "PUT_LINE" ? "\n" : ""));
            if (p.Given(2) && !IsNull(p.In(2)) && Bool(p.In(2)) && std::fflush(f.f) != 0) Error(kWriteError);
            return true;
        }
        if (m == "NEW_LINE") {
            if (!p.Match(args, {"FILE", "LINES"}, 1)) return false;
            File& f = OpenOf(ctx, p[0]);
            int64_t n = p.Given(1) && !IsNull(p.In(1)) ? Int(p.In(1)) : 1;
            if (n > 0) Write(f, std::string(static_cast<size_t>(std::min<int64_t>(n, 32767)), '\n'));
            return true;
        }
        if (m == "PUTF") {
            if (!p.Match(args, {"FILE", "FORMAT", "ARG1", "ARG2", "ARG3", "ARG4", "ARG5"}, 2)) return false;
            File& f = OpenOf(ctx, p[0]);
            std::vector<std::string> values;
            for (size_t k = 2; k < 7; ++k) values.push_back(Text(p.In(k)));
            Write(f, Format(Text(p.In(1)), values));
            return true;
        }
        if (m == "FFLUSH") {
            if (!p.Match(args, {"FILE"}, 1)) return false;
            File& f = OpenOf(ctx, p[0]);
            if (f.mode == 'r') Error(kInvalidOperation);
            if (std::fflush(f.f) != 0) Error(kWriteError);
            return true;
        }
        if (m == "FREMOVE") {
            if (!p.Match(args, {"LOCATION", "FILENAME"}, 2)) return false;
            std::string path = FilePath(ctx, p.In(0), p.In(1));
            struct stat st{};
            if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::unlink(path.c_str()) != 0) Error(kDeleteFailed);
            return true;
        }
        if (m == "FRENAME") {
            if (!p.Match(args, {"SRC_LOCATION", "SRC_FILENAME", "DEST_LOCATION", "DEST_FILENAME", "OVERWRITE"}, 4)) return false;
            std::string from = FilePath(ctx, p.In(0), p.In(1));
            std::string to = FilePath(ctx, p.In(2), p.In(3));
            bool overwrite = p.Given(4) && !IsNull(p.In(4)) && Bool(p.In(4));
            struct stat st{};
            if (::lstat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) Error(kRenameFailed);
            if (::lstat(to.c_str(), &st) == 0 && (!overwrite || !S_ISREG(st.st_mode))) Error(kRenameFailed);
            if (std::rename(from.c_str(), to.c_str()) != 0) Error(kRenameFailed);
            return true;
        }
        if (m == "FCOPY") {
            if (!p.Match(args, {"SRC_LOCATION", "SRC_FILENAME", "DEST_LOCATION", "DEST_FILENAME", "START_LINE", "END_LINE"}, 4))
                return false;
            std::string from = FilePath(ctx, p.In(0), p.In(1));
            std::string to = FilePath(ctx, p.In(2), p.In(3));
            int64_t first = p.Given(4) && !IsNull(p.In(4)) ? Int(p.In(4)) : 1;
            int64_t last = p.Given(5) && !IsNull(p.In(5)) ? Int(p.In(5)) : 0;
            if (first < 1 || (p.Given(5) && !IsNull(p.In(5)) && last < first)) Error(kInvalidOffset);
            if (from == to || IsSymlink(to)) Error(kInvalidOperation);
            if (!CopyLines(from, to, first, last)) Error(kInvalidOperation);
            return true;
        }
        if (m == "FGETATTR") {
            if (!p.Match(args, {"LOCATION", "FILENAME", "FEXISTS", "FILE_LENGTH", "BLOCK_SIZE"}, 5)) return false;
            std::string path = FilePath(ctx, p.In(0), p.In(1));
            struct stat st{};
            bool exists = ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
            p.Out(2, BoolValue(exists));
            p.Out(3, exists ? IntValue(static_cast<int64_t>(st.st_size)) : NullValue());
            p.Out(4, exists ? IntValue(static_cast<int64_t>(st.st_blksize)) : NullValue());
            return true;
        }
        return false;
    }

private:
    static Value Open(NativeContext& ctx, Params& p) {
        std::string path = FilePath(ctx, p.In(0), p.In(1));
        std::string mode = Text(p.In(2));
        for (auto& c : mode) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (mode != "r" && mode != "w" && mode != "a" && mode != "rb" && mode != "wb" && mode != "ab") Error(kInvalidMode);
        int64_t maxLine = 1024;
        if (p.Given(3) && !IsNull(p.In(3))) maxLine = Int(p.In(3));
        if (maxLine < 1 || maxLine > 32767) Error(kInvalidMaxLinesize);
        Files& files = FilesOf(ctx);
        if (files.open.size() >= 50) Error(kInvalidOperation);
        if (IsSymlink(path)) Error(kInvalidOperation);
        FILE* f = OpenFile(path, mode[0]);
        if (!f) Error(errno == EACCES ? kInvalidOperation : kInvalidOperation);
        auto file = std::make_unique<File>();
        file->f = f;
        file->mode = mode[0];
        file->maxLine = static_cast<size_t>(maxLine);
        int64_t id = files.nextId++;
        files.open[id] = std::move(file);
        return IntValue(id);
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeUtlFile() { return std::make_unique<UtlFile>(); }

} // namespace ocisim::eng::pkg
