// DBMS_ALERT: named alerts signalled by one session and received by the sessions registered for
// them. A signal is a row of SYS.ALERT$ written in the signalling transaction, so waiters see it
// only once that transaction commits and never when it rolls back; two sessions signalling the
// same alert are serialised by the row lock. Each session remembers, per registered alert, the
// last signal it has seen.
#include "ocisim/engine/packages/PackageSupport.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <mutex>

namespace ocisim::eng::pkg {
namespace {

constexpr double kMaxWait = 86400000;

struct Registrations {
    std::map<std::string, int64_t> seen;   // alert name -> last signal number seen
};

struct Counter {
    std::mutex mu;
    int64_t next = 0;                      // 0: not read from the table yet
};

Registrations& RegistrationsOf(NativeContext& ctx) {
    auto& slot = ctx.SessionState("DBMS_ALERT");
    if (!slot) slot = std::make_shared<Registrations>();
    return *static_cast<Registrations*>(slot.get());
}

std::string AlertName(const Value& v) {
    if (IsNull(v)) ValueError();
    std::string n = Text(v);
    if (n.size() > 30) ValueError("character string buffer too small");
    for (auto& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return n;
}

int64_t LatestSignal(NativeContext& ctx, const std::string& name, Value* message) {
    Rows r = Query(ctx, "SELECT SEQ, MESSAGE FROM SYS.ALERT$ WHERE NAME = :1 ORDER BY SEQ DESC", {TextValue(name)});
    if (r.empty()) return 0;
    if (message) *message = r[0][1];
    return Int(r[0][0]);
}

class DbmsAlert final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_ALERT"; }

    bool Constant(std::string_view name, Value& out) const override {
        if (name != "MAXWAIT") return false;
        out = IntValue(static_cast<int64_t>(kMaxWait));
        return true;
    }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        if (result) return false;
        Params p;
        Registrations& reg = RegistrationsOf(ctx);
        if (m == "REGISTER") {
            if (!p.Match(args, {"NAME"}, 1)) return false;
            std::string name = AlertName(p.In(0));
            if (!reg.seen.count(name)) reg.seen[name] = LatestSignal(ctx, name, nullptr);
            return true;
        }
        if (m == "REMOVE") {
            if (!p.Match(args, {"NAME"}, 1)) return false;
            reg.seen.erase(AlertName(p.In(0)));
            return true;
        }
        if (m == "REMOVEALL") {
            if (!p.Match(args, {}, 0)) return false;
            reg.seen.clear();
            return true;
        }
        if (m == "SET_DEFAULTS") {
            // the polling interval: waits here poll every few milliseconds whatever it is
            if (!p.Match(args, {"SENSITIVITY"}, 1)) return false;
            if (!IsNull(p.In(0))) Num(p.In(0));
            return true;
        }
        if (m == "SIGNAL") {
            if (!p.Match(args, {"NAME", "MESSAGE"}, 2)) return false;
            std::string name = AlertName(p.In(0));
            std::string message = Text(p.In(1));
            if (message.size() > 1800) ValueError("character string buffer too small");
            int64_t seq = NextSignal(ctx);
            if (Exec(ctx, "UPDATE SYS.ALERT$ SET SEQ = :1, MESSAGE = :2 WHERE NAME = :3",
                     {IntValue(seq), TextValue(message), TextValue(name)}) == 0)
                Exec(ctx, "INSERT INTO SYS.ALERT$ (NAME, SEQ, MESSAGE) VALUES (:1, :2, :3)",
                     {TextValue(name), IntValue(seq), TextValue(message)});
            return true;
        }
        if (m == "WAITONE") {
            if (!p.Match(args, {"NAME", "MESSAGE", "STATUS", "TIMEOUT"}, 3) || !p[1]->out || !p[2]->out) return false;
            std::string name = AlertName(p.In(0));
            double timeout = p.Given(3) && !IsNull(p.In(3)) ? Num(p.In(3)) : kMaxWait;
            Exec(ctx, "COMMIT");
            Value message;
            bool got = WaitFor(ctx, timeout, [&] {
                auto it = reg.seen.find(name);
                if (it == reg.seen.end()) return false;
                int64_t seq = LatestSignal(ctx, name, &message);
                if (seq <= it->second) return false;
                it->second = seq;
                return true;
            });
            p.Out(1, got ? message : NullValue());
            p.Out(2, IntValue(got ? 0 : 1));
            return true;
        }
        if (m == "WAITANY") {
            if (!p.Match(args, {"NAME", "MESSAGE", "STATUS", "TIMEOUT"}, 3) || !p[0]->out || !p[1]->out || !p[2]->out) return false;
            if (reg.seen.empty()) Raise(20000, "ORU-10024: there are no alerts registered");
            double timeout = p.Given(3) && !IsNull(p.In(3)) ? Num(p.In(3)) : kMaxWait;
            Exec(ctx, "COMMIT");
            Value message, name;
            bool got = WaitFor(ctx, timeout, [&] {
                for (auto& [alert, seen] : reg.seen) {
                    int64_t seq = LatestSignal(ctx, alert, &message);
                    if (seq > seen) {
                        seen = seq;
                        name = TextValue(alert);
                        return true;
                    }
                }
                return false;
            });
            p.Out(0, got ? name : NullValue());
            p.Out(1, got ? message : NullValue());
            p.Out(2, IntValue(got ? 0 : 1));
            return true;
        }
        return false;
    }

private:
    static int64_t NextSignal(NativeContext& ctx) {
        auto& slot = ctx.DatabaseState("DBMS_ALERT");
        if (!slot) slot = std::make_shared<Counter>();
        auto& c = *static_cast<Counter*>(slot.get());
        std::lock_guard<std::mutex> g(c.mu);
        if (c.next == 0) {
            Rows r = Query(ctx, "SELECT MAX(SEQ) FROM SYS.ALERT$");
            c.next = (r.empty() || IsNull(r[0][0]) ? 0 : Int(r[0][0])) + 1;
        }
        return c.next++;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsAlert() { return std::make_unique<DbmsAlert>(); }

} // namespace ocisim::eng::pkg
