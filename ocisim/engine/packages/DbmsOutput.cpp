// DBMS_OUTPUT: the session's line buffer that blocks write to and clients read back.
#include "ocisim/engine/packages/PackageSupport.h"

#include <deque>

namespace ocisim::eng::pkg {
namespace {

constexpr size_t kMaxLine = 32767;

struct Buffer {
    bool enabled = false;
    size_t limit = 20000;          // 0: unlimited
    size_t used = 0;               // bytes of the complete lines and the open one
    std::deque<std::string> lines;
    std::string open;              // PUT text not yet ended by NEW_LINE
    bool reading = false;          // a GET_LINE(S) ran: the next write drops what is left
};

Buffer& BufferOf(NativeContext& ctx) {
    auto& slot = ctx.SessionState("DBMS_OUTPUT");
    if (!slot) slot = std::make_shared<Buffer>();
    return *static_cast<Buffer*>(slot.get());
}

void StartWriting(Buffer& b) {
    if (!b.reading) return;
    b.reading = false;
    b.lines.clear();
    b.used = b.open.size();
}

void Put(Buffer& b, const std::string& text) {
    StartWriting(b);
    if (b.open.size() + text.size() > kMaxLine)
        Raise(20000, "ORU-10028: line length overflow, limit of " + std::to_string(kMaxLine) + " bytes per line");
    if (b.limit && b.used + text.size() > b.limit)
        Raise(20000, "ORU-10027: buffer overflow, limit of " + std::to_string(b.limit) + " bytes");
    b.open += text;
    b.used += text.size();
}

void NewLine(Buffer& b) {
    StartWriting(b);
    b.lines.push_back(std::move(b.open));
    b.open.clear();
}

class DbmsOutput final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_OUTPUT"; }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        if (result) return false;
        Params p;
        Buffer& b = BufferOf(ctx);
        if (m == "ENABLE") {
            if (!p.Match(args, {"BUFFER_SIZE"}, 0)) return false;
            size_t limit = 20000;
            if (p.Given(0)) {
                if (IsNull(p.In(0))) limit = 0;
                else {
                    int64_t n = Int(p.In(0));
                    limit = static_cast<size_t>(n < 2000 ? 2000 : n > 1000000 ? 1000000 : n);
                }
            }
            if (!b.enabled || limit == 0 || (b.limit && limit > b.limit)) b.limit = limit;
            b.enabled = true;
            return true;
        }
        if (m == "DISABLE") {
            if (!p.Match(args, {}, 0)) return false;
            b = Buffer();
            return true;
        }
        if (m == "PUT" || m == "PUT_LINE") {
            if (!p.Match(args, {"A"}, 1)) return false;
            if (!b.enabled) return true;
            Put(b, Text(p.In(0)));
            if (m == "PUT_LINE") NewLine(b);
            return true;
        }
        if (m == "NEW_LINE") {
            if (!p.Match(args, {}, 0)) return false;
            if (b.enabled) NewLine(b);
            return true;
        }
        if (m == "GET_LINE") {
            if (!p.Match(args, {"LINE", "STATUS"}, 2) || !p[0]->out || !p[1]->out) return false;
            b.reading = true;
            if (b.lines.empty()) {
                p.Out(0, NullValue());
                p.Out(1, IntValue(1));
                return true;
            }
            b.used -= b.lines.front().size();
            p.Out(0, TextValue(std::move(b.lines.front())));
            p.Out(1, IntValue(0));
            b.lines.pop_front();
            return true;
        }
        if (m == "GET_LINES") {
            if (!p.Match(args, {"LINES", "NUMLINES"}, 2) || !p[0]->out || !p[1]->out) return false;
            b.reading = true;
            int64_t want = IsNull(p.In(1)) ? 0 : Int(p.In(1));
            std::vector<Value> got;
            while (want > 0 && !b.lines.empty()) {
                b.used -= b.lines.front().size();
                got.push_back(TextValue(std::move(b.lines.front())));
                b.lines.pop_front();
                --want;
            }
            p.Out(1, IntValue(static_cast<int64_t>(got.size())));
            p[0]->table = std::move(got);
            return true;
        }
        return false;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsOutput() { return std::make_unique<DbmsOutput>(); }

} // namespace ocisim::eng::pkg
