// A transaction-server support library for tests: it hands out the service context a test
// gives it, accepts enlistments and records every call, so a session can be driven through
// the whole distributed-transaction path. Loaded by the client binding from the client's
// directory like the real one.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct FakeState {
    std::mutex lock;
    void* service = nullptr;      // what OraMTSSvcGet hands out
    void* environment = nullptr;
    unsigned getResult = 0;       // non-zero: OraMTSSvcGet fails with it
    unsigned enlistResult = 0;    // non-zero: OraMTSSvcEnlistEx fails with it
    std::vector<std::string> calls;
};

FakeState& State() {
    static FakeState state;
    return state;
}

void Record(const std::string& call) {
    std::lock_guard<std::mutex> guard(State().lock);
    State().calls.push_back(call);
}

std::string Text(const unsigned char* s) { return s ? reinterpret_cast<const char*>(s) : "(null)"; }
std::string Text(const char* s) { return s ? s : "(null)"; }
std::string Pointer(const void* p) { return p ? std::to_string(reinterpret_cast<std::uintptr_t>(p)) : "null"; }

} // namespace

// ---- control for tests ----

FAKE_EXPORT void FakeMTSConfigure(void* service, void* environment, unsigned getResult, unsigned enlistResult) {
    std::lock_guard<std::mutex> guard(State().lock);
    State().service = service;
    State().environment = environment;
    State().getResult = getResult;
    State().enlistResult = enlistResult;
    State().calls.clear();
}

// The calls made since the last FakeMTSConfigure, one per line.
FAKE_EXPORT void FakeMTSCalls(std::string* out) {
    std::lock_guard<std::mutex> guard(State().lock);
    out->clear();
    for (const std::string& call : State().calls) *out += call + "\n";
}

// ---- the support library's entry points ----

FAKE_EXPORT unsigned OraMTSSvcGet(unsigned char* user, unsigned char* password, unsigned char* database, void** svc,
                                  void** env, unsigned flags) {
    Record("OraMTSSvcGet " + Text(user) + " " + Text(password) + " " + Text(database) + " flags=" +
           std::to_string(flags));
    std::lock_guard<std::mutex> guard(State().lock);
    if (State().getResult) return State().getResult;
    *svc = State().service;
    *env = State().environment;
    return 0;
}

FAKE_EXPORT unsigned OraMTSSvcRel(void* svc) {
    Record("OraMTSSvcRel " + std::string(svc == State().service ? "service" : Pointer(svc)));
    return 0;
}

FAKE_EXPORT unsigned OraMTSSvcEnlist(void* svc, void* err, void* transaction, unsigned flags) {
    Record("OraMTSSvcEnlist");
    return 6003;
}

FAKE_EXPORT unsigned OraMTSSvcEnlistEx(void* svc, void* err, void* transaction, unsigned flags, char* database) {
    Record("OraMTSSvcEnlistEx " + std::string(svc == State().service ? "service" : Pointer(svc)) + " " +
           Pointer(transaction) + " flags=" + std::to_string(flags) + " " + Text(database));
    std::lock_guard<std::mutex> guard(State().lock);
    return State().enlistResult;
}

FAKE_EXPORT int OraMTSTransTest(void) { return 0; }
