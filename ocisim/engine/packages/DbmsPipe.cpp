// DBMS_PIPE: named pipes between the sessions of one database. Pipes live in memory (as in
// Oracle's shared pool) and are not transactional; each session has one buffer it packs the next
// message into and one it unpacks the last received message from.
#include "ocisim/engine/packages/PackageSupport.h"

#include <cstdio>
#include <deque>
#include <map>
#include <mutex>

namespace ocisim::eng::pkg {
namespace {

constexpr int kVarchar = 9, kNumber = 6, kRowid = 11, kDate = 12, kRaw = 23;
constexpr size_t kBufferLimit = 4096;       // bytes of one message
constexpr int64_t kDefaultPipeSize = 8192;
constexpr double kMaxWait = 86400000;

struct Item {
    int type = kVarchar;
    Value value;
};

size_t SizeOf(const Item& it) {
    switch (it.type) {
    case kNumber: return 23;
    case kDate: return 8;
    default: return it.value.bytes.size() + 3;
    }
}

struct Message {
    std::vector<Item> items;
    size_t bytes = 0;
};

struct Pipe {
    std::deque<Message> messages;
    size_t bytes = 0;
    int64_t maxSize = kDefaultPipeSize;
    bool explicitPipe = false;     // made by CREATE_PIPE (stays when empty)
    bool privatePipe = false;
    std::string owner;
};

struct Pipes {
    std::mutex mu;
    std::map<std::string, Pipe> pipes;
    int64_t nextSessionName = 1;
};

struct SessionBuffers {
    Message out;                   // being packed
    Message in;                    // received, being unpacked
    size_t next = 0;
    std::string uniqueName;
};

Pipes& PipesOf(NativeContext& ctx) {
    auto& slot = ctx.DatabaseState("DBMS_PIPE");
    if (!slot) slot = std::make_shared<Pipes>();
    return *static_cast<Pipes*>(slot.get());
}

SessionBuffers& BuffersOf(NativeContext& ctx) {
    auto& slot = ctx.SessionState("DBMS_PIPE");
    if (!slot) slot = std::make_shared<SessionBuffers>();
    return *static_cast<SessionBuffers*>(slot.get());
}

std::string PipeName(const Value& v) {
    if (IsNull(v)) Raise(23321, "Pipename may not be null");
    std::string n = Text(v);
    if (n.size() > 128) ValueError();
    return n;
}

// An existing pipe the caller may not use raises ORA-23322.
void CheckAccess(const Pipe& p, NativeContext& ctx, const std::string& name) {
    if (p.privatePipe && p.owner != ctx.Sql().UserName() && ctx.Sql().UserName() != "SYS")
        Raise(23322, "Privilege error accessing pipe");
    (void)name;
}

int TypeOfActual(const NativeArg& a) {
    switch (a.type) {
    case OraType::Number:
    case OraType::BinaryFloat:
    case OraType::BinaryDouble: return kNumber;
    case OraType::Date: return kDate;
    default: break;
    }
    if (a.value.kind == ValueRef::Integer || a.value.kind == ValueRef::Double) return kNumber;
    if (a.value.kind == ValueRef::Date) return kDate;
    return kVarchar;
}

void Pack(SessionBuffers& s, Item it) {
    size_t n = SizeOf(it);
    if (s.out.bytes + n > kBufferLimit) Raise(6558, "buffer in dbms_pipe package is full. No more items allowed");
    s.out.bytes += n;
    s.out.items.push_back(std::move(it));
}

const char* TypeName(int t) {
    switch (t) {
    case kNumber: return "NUMBER";
    case kDate: return "DATE";
    case kRowid: return "ROWID";
    case kRaw: return "RAW";
    default: return "VARCHAR2";
    }
}

class DbmsPipe final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_PIPE"; }

    bool Constant(std::string_view name, Value& out) const override {
        if (name != "MAXWAIT") return false;
        out = IntValue(static_cast<int64_t>(kMaxWait));
        return true;
    }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        Params p;
        SessionBuffers& s = BuffersOf(ctx);
        if (m == "PACK_MESSAGE" || m == "PACK_MESSAGE_RAW" || m == "PACK_MESSAGE_ROWID") {
            if (result || !p.Match(args, {"ITEM"}, 1)) return false;
            Item it;
            it.type = m == "PACK_MESSAGE" ? TypeOfActual(*p[0]) : m == "PACK_MESSAGE_RAW" ? kRaw : kRowid;
            const Value& v = p.In(0);
            if (IsNull(v)) it.value = NullValue();
            else if (it.type == kNumber) it.value = NumValue(Num(v));
            else if (it.type == kDate) it.value = DateValue(DateOf(v));
            else it.value = TextValue(Text(v));
            Pack(s, std::move(it));
            return true;
        }
        if (m == "UNPACK_MESSAGE" || m == "UNPACK_MESSAGE_RAW" || m == "UNPACK_MESSAGE_ROWID") {
            if (result || !p.Match(args, {"ITEM"}, 1) || !p[0]->out) return false;
            if (s.next >= s.in.items.size()) Raise(6556, "the pipe is empty, cannot fulfill the unpack_message request");
            const Item& it = s.in.items[s.next];
            int want = m == "UNPACK_MESSAGE_RAW" ? kRaw : m == "UNPACK_MESSAGE_ROWID" ? kRowid : -1;
            if (want < 0) {
                switch (p[0]->type) {
                case OraType::Number:
                case OraType::BinaryFloat:
                case OraType::BinaryDouble: want = kNumber; break;
                case OraType::Date: want = kDate; break;
                default: want = kVarchar;
                }
                // a character variable takes any item as its text; numbers and dates must match
                if (want == kVarchar && it.type != kRaw) want = it.type;
            }
            if (want != it.type)
                Raise(6559, std::string("wrong datatype requested, ") + TypeName(want) + ", actual datatype is " + TypeName(it.type));
            Value v = it.value;
            if (p[0]->type == OraType::Varchar2 || p[0]->type == OraType::Char)
                if (it.type == kNumber || it.type == kDate) v = TextValue(Text(it.value));
            p.Out(0, std::move(v));
            ++s.next;
            return true;
        }
        if (m == "NEXT_ITEM_TYPE") {
            if (!result || !p.Match(args, {}, 0)) return false;
            *result = IntValue(s.next < s.in.items.size() ? s.in.items[s.next].type : 0);
            return true;
        }
        if (m == "RESET_BUFFER") {
            if (result || !p.Match(args, {}, 0)) return false;
            s.out = Message();
            s.in = Message();
            s.next = 0;
            return true;
        }
        if (m == "UNIQUE_SESSION_NAME") {
            if (!result || !p.Match(args, {}, 0)) return false;
            if (s.uniqueName.empty()) {
                Pipes& all = PipesOf(ctx);
                int64_t n;
                {
                    std::lock_guard<std::mutex> g(all.mu);
                    n = all.nextSessionName++;
                }
                char b[64];
                std::snprintf(b, sizeof b, "ORA$PIPE$%04X%08llX", static_cast<unsigned>(ctx.SessionId() & 0xFFFF),
                              static_cast<unsigned long long>(n));
                s.uniqueName = b;
            }
            *result = TextValue(s.uniqueName);
            return true;
        }
        if (m == "CREATE_PIPE") {
            if (!result || !p.Match(args, {"PIPENAME", "MAXPIPESIZE", "PRIVATE"}, 1)) return false;
            std::string name = PipeName(p.In(0));
            int64_t size = p.Given(1) && !IsNull(p.In(1)) ? Int(p.In(1)) : kDefaultPipeSize;
            bool priv = p.Given(2) && !IsNull(p.In(2)) ? Bool(p.In(2)) : true;
            Pipes& all = PipesOf(ctx);
            std::lock_guard<std::mutex> g(all.mu);
            auto it = all.pipes.find(name);
            if (it != all.pipes.end()) {
                CheckAccess(it->second, ctx, name);
                if (size > it->second.maxSize) it->second.maxSize = size;
                it->second.explicitPipe = true;
            } else {
                Pipe& np = all.pipes[name];
                np.maxSize = size;
                np.explicitPipe = true;
                np.privatePipe = priv;
                np.owner = ctx.Sql().UserName();
            }
            *result = IntValue(0);
            return true;
        }
        if (m == "REMOVE_PIPE") {
            if (!result || !p.Match(args, {"PIPENAME"}, 1)) return false;
            std::string name = PipeName(p.In(0));
            Pipes& all = PipesOf(ctx);
            std::lock_guard<std::mutex> g(all.mu);
            auto it = all.pipes.find(name);
            if (it != all.pipes.end()) {
                CheckAccess(it->second, ctx, name);
                all.pipes.erase(it);
            }
            *result = IntValue(0);
            return true;
        }
        if (m == "PURGE") {
            if (result || !p.Match(args, {"PIPENAME"}, 1)) return false;
            std::string name = PipeName(p.In(0));
            Pipes& all = PipesOf(ctx);
            std::lock_guard<std::mutex> g(all.mu);
            auto it = all.pipes.find(name);
            if (it != all.pipes.end()) {
                CheckAccess(it->second, ctx, name);
                if (it->second.explicitPipe) {
                    it->second.messages.clear();
                    it->second.bytes = 0;
                } else {
                    all.pipes.erase(it);
                }
            }
            return true;
        }
        if (m == "SEND_MESSAGE") {
            if (!result || !p.Match(args, {"PIPENAME", "TIMEOUT", "MAXPIPESIZE"}, 1)) return false;
            std::string name = PipeName(p.In(0));
            double timeout = p.Given(1) && !IsNull(p.In(1)) ? Num(p.In(1)) : kMaxWait;
            int64_t size = p.Given(2) && !IsNull(p.In(2)) ? Int(p.In(2)) : kDefaultPipeSize;
            Pipes& all = PipesOf(ctx);
            {
                std::lock_guard<std::mutex> g(all.mu);
                auto it = all.pipes.find(name);
                if (it != all.pipes.end()) CheckAccess(it->second, ctx, name);
            }
            bool sent = WaitFor(ctx, timeout, [&] {
                std::lock_guard<std::mutex> g(all.mu);
                auto it = all.pipes.find(name);
                if (it == all.pipes.end()) {
                    it = all.pipes.emplace(name, Pipe()).first;
                    it->second.owner = ctx.Sql().UserName();
                }
                Pipe& pipe = it->second;
                if (size > pipe.maxSize) pipe.maxSize = size;
                // a message always goes into an empty pipe, else only when it fits
                if (!pipe.messages.empty() && pipe.bytes + s.out.bytes > static_cast<size_t>(pipe.maxSize)) return false;
                pipe.bytes += s.out.bytes;
                pipe.messages.push_back(std::move(s.out));
                s.out = Message();
                return true;
            });
            *result = IntValue(sent ? 0 : 1);
            return true;
        }
        if (m == "RECEIVE_MESSAGE") {
            if (!result || !p.Match(args, {"PIPENAME", "TIMEOUT"}, 1)) return false;
            std::string name = PipeName(p.In(0));
            double timeout = p.Given(1) && !IsNull(p.In(1)) ? Num(p.In(1)) : kMaxWait;
            Pipes& all = PipesOf(ctx);
            {
                std::lock_guard<std::mutex> g(all.mu);
                auto it = all.pipes.find(name);
                if (it != all.pipes.end()) CheckAccess(it->second, ctx, name);
            }
            s.in = Message();
            s.next = 0;
            bool got = WaitFor(ctx, timeout, [&] {
                std::lock_guard<std::mutex> g(all.mu);
                auto it = all.pipes.find(name);
                if (it == all.pipes.end() || it->second.messages.empty()) return false;
                Pipe& pipe = it->second;
                s.in = std::move(pipe.messages.front());
                pipe.messages.pop_front();
                pipe.bytes -= s.in.bytes;
                if (pipe.messages.empty() && !pipe.explicitPipe) all.pipes.erase(it);
                return true;
            });
            *result = IntValue(got ? 0 : 1);
            return true;
        }
        return false;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsPipe() { return std::make_unique<DbmsPipe>(); }

} // namespace ocisim::eng::pkg
