// The server packages written in C++, called directly with a small stand-in for the PL/SQL
// interpreter's side of the call, on real sessions of a throw-away database.
#include "ocisim/engine/internal/NativePackages.h"
#include "ocisim/engine/tests/EngineTestSupport.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

namespace ocisim::test {
namespace {

using namespace std::chrono_literals;
using eng::NativeArg;

// What the database keeps for the packages of all its sessions.
struct SharedState {
    std::mutex mu;
    std::map<std::string, std::shared_ptr<void>, std::less<>> slots;
};

class Context final : public eng::NativeContext, public eng::SqlRunner {
public:
    Context(Session& s, SharedState& shared) : s_(s), shared_(shared) {}

    eng::SqlRunner& Sql() override { return *this; }
    std::unique_ptr<Statement> PrepareSql(std::string_view sql) override { return s_.Prepare(sql); }
    const std::string& UserName() const override { return s_.UserName(); }
    const std::string& SchemaName() const override { return s_.UserName(); }
    int SessionId() const override { return s_.SessionId(); }
    std::shared_ptr<void>& SessionState(std::string_view key) override { return session_[std::string(key)]; }
    std::shared_ptr<void>& DatabaseState(std::string_view key) override {
        std::lock_guard<std::mutex> g(shared_.mu);
        return shared_.slots[std::string(key)];
    }
    void RunBlock(std::string_view block) override {
        blocks.emplace_back(block);
        if (failBlocks) throw EngineError(1476, "ORA-01476: divisor is equal to zero");
    }
    bool Interrupted() const override { return interrupted.load(); }
    void SetApplicationInfo(std::string_view field, std::string_view value) override { info_[std::string(field)] = value; }
    std::string ApplicationInfo(std::string_view field) const override {
        auto it = info_.find(std::string(field));
        return it == info_.end() ? "" : it->second;
    }
    std::string LocalTransactionId() const override { return s_.InTransaction() ? "4.23.1034" : ""; }
    std::string CallStack() const override { return "----- PL/SQL Call Stack -----\n"; }
    std::string ErrorStack() const override { return "ORA-01403: no data found\n"; }
    void Pause(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    std::vector<std::string> blocks;
    bool failBlocks = false;
    std::atomic<bool> interrupted{false};

private:
    Session& s_;
    SharedState& shared_;
    std::map<std::string, std::shared_ptr<void>> session_;
    std::map<std::string, std::string> info_;
};

Value Txt(const std::string& s) {
    Value v;
    if (!s.empty()) { v.kind = ValueRef::Text; v.bytes = s; }
    return v;
}
Value Num(int64_t i) {
    Value v;
    v.kind = ValueRef::Integer;
    v.i = i;
    return v;
}
Value Bool(bool b) { return Num(b ? 1 : 0); }
Value Date(int y, int m, int d) {
    Value v;
    v.kind = ValueRef::Date;
    unsigned char b[7] = {static_cast<unsigned char>(y / 100 + 100), static_cast<unsigned char>(y % 100 + 100),
                          static_cast<unsigned char>(m), static_cast<unsigned char>(d), 1, 1, 1};
    for (int k = 0; k < 7; ++k) v.date[k] = b[k];
    return v;
}

NativeArg In(Value v, OraType t = OraType::Varchar2, std::string name = {}) {
    NativeArg a;
    a.name = std::move(name);
    a.value = std::move(v);
    a.type = t;
    return a;
}
NativeArg Out(OraType t = OraType::Varchar2, std::string name = {}) {
    NativeArg a;
    a.name = std::move(name);
    a.type = t;
    a.out = true;
    return a;
}

std::string S(const Value& v) { return Show(v.Ref()); }

class PackagesTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ctx_ = std::make_unique<Context>(*scott_, shared_);
    }
    void TearDown() override {
        ctx_.reset();
        EngineTest::TearDown();
    }
    // Calls PKG.MEMBER as a procedure (result == nullptr) or a function; fails the test when the
    // package does not take the call.
    static void Call(Context& c, const char* pkg, const char* member, std::vector<NativeArg>& args, Value* result = nullptr) {
        eng::NativePackage* p = eng::FindNativePackage(pkg);
        ASSERT_NE(p, nullptr) << pkg;
        ASSERT_TRUE(p->Call(member, args, result, c)) << pkg << "." << member;
    }
    static Value Fn(Context& c, const char* pkg, const char* member, std::vector<NativeArg> args = {}) {
        Value r;
        Call(c, pkg, member, args, &r);
        return r;
    }
    static void Proc(Context& c, const char* pkg, const char* member, std::vector<NativeArg> args = {}) { Call(c, pkg, member, args); }
    // The Oracle error a call fails with, 0 when it succeeds, -1 when the package does not take it.
    static int Try(Context& c, const char* pkg, const char* member, std::vector<NativeArg>& args, Value* result = nullptr) {
        try {
            if (!eng::FindNativePackage(pkg)->Call(member, args, result, c)) return -1;
        } catch (const EngineError& e) {
            return e.Code;
        }
        return 0;
    }
    // The same with the arguments given as values, and the error text.
    static int ErrorOfCall(Context& c, const char* pkg, const char* member, std::vector<NativeArg> args, std::string* text = nullptr,
                           bool function = false) {
        Value r;
        try {
            if (!eng::FindNativePackage(pkg)->Call(member, args, function ? &r : nullptr, c)) return -1;
        } catch (const EngineError& e) {
            if (text) *text = e.Text;
            return e.Code;
        }
        return 0;
    }

    SharedState shared_;
    std::unique_ptr<Context> ctx_;
};

// ---------------------------------------------------------------- DBMS_OUTPUT
TEST_F(PackagesTest, OutputBuffersLinesWhileEnabledAndHandsThemBackInOrder) {
    Context& c = *ctx_;
    Proc(c, "DBMS_OUTPUT", "PUT_LINE", {In(Txt("lost"))});   // disabled: nothing is kept
    Proc(c, "DBMS_OUTPUT", "ENABLE", {In(Num(100000))});
    Proc(c, "DBMS_OUTPUT", "PUT", {In(Txt("a"))});
    Proc(c, "DBMS_OUTPUT", "PUT", {In(Num(42), OraType::Number)});
    Proc(c, "DBMS_OUTPUT", "NEW_LINE");
    Proc(c, "DBMS_OUTPUT", "PUT_LINE", {In(Txt(""))});
    Proc(c, "DBMS_OUTPUT", "PUT_LINE", {In(Txt("third"), OraType::Varchar2, "A")});
    Proc(c, "DBMS_OUTPUT", "PUT", {In(Txt("open line is not read"))});

    std::vector<NativeArg> get = {Out(), Out(OraType::Number)};
    Call(c, "DBMS_OUTPUT", "GET_LINE", get);
    EXPECT_EQ(S(get[0].value), "a42");
    EXPECT_EQ(S(get[1].value), "0");

    NativeArg lines = Out();
    lines.isTable = true;
    std::vector<NativeArg> many = {lines, In(Num(3), OraType::Number)};
    many[1].out = true;
    Call(c, "DBMS_OUTPUT", "GET_LINES", many);
    EXPECT_EQ(S(many[1].value), "2");
    ASSERT_EQ(many[0].table.size(), 2u);
    EXPECT_EQ(S(many[0].table[0]), "NULL");
    EXPECT_EQ(S(many[0].table[1]), "third");

    get = {Out(), Out(OraType::Number)};
    Call(c, "DBMS_OUTPUT", "GET_LINE", get);
    EXPECT_EQ(S(get[0].value), "NULL");
    EXPECT_EQ(S(get[1].value), "1");
}

TEST_F(PackagesTest, OutputLinesLeftAfterReadingAreDroppedByTheNextWriteAndDisableEmptiesTheBuffer) {
    Context& c = *ctx_;
    Proc(c, "DBMS_OUTPUT", "ENABLE");
    Proc(c, "DBMS_OUTPUT", "PUT_LINE", {In(Txt("one"))});
    Proc(c, "DBMS_OUTPUT", "PUT_LINE", {In(Txt("two"))});
    std::vector<NativeArg> get = {Out(), Out(OraType::Number)};
    Call(c, "DBMS_OUTPUT", "GET_LINE", get);
    EXPECT_EQ(S(get[0].value), "one");
    Proc(c, "DBMS_OUTPUT", "PUT_LINE", {In(Txt("three"))});
    get = {Out(), Out(OraType::Number)};
    Call(c, "DBMS_OUTPUT", "GET_LINE", get);
    EXPECT_EQ(S(get[0].value), "three");

    Proc(c, "DBMS_OUTPUT", "PUT_LINE", {In(Txt("four"))});
    Proc(c, "DBMS_OUTPUT", "DISABLE");
    Proc(c, "DBMS_OUTPUT", "ENABLE");
    get = {Out(), Out(OraType::Number)};
    Call(c, "DBMS_OUTPUT", "GET_LINE", get);
    EXPECT_EQ(S(get[1].value), "1");
}

TEST_F(PackagesTest, OutputOverflowsAtItsLimitAndAtTheLineLimit) {
    Context& c = *ctx_;
    Proc(c, "DBMS_OUTPUT", "ENABLE", {In(Num(10))});   // raised to the smallest size, 2000 bytes
    std::string line(100, 'x');
    for (int k = 0; k < 20; ++k) Proc(c, "DBMS_OUTPUT", "PUT_LINE", {In(Txt(line))});
    std::string text;
    EXPECT_EQ(ErrorOfCall(c, "DBMS_OUTPUT", "PUT_LINE", {In(Txt("y"))}, &text), 20000);
    EXPECT_EQ(text, "ORA-20000: ORU-10027: buffer overflow, limit of 2000 bytes");

    Proc(c, "DBMS_OUTPUT", "DISABLE");
    Proc(c, "DBMS_OUTPUT", "ENABLE", {In(Value())});   // NULL: no limit
    for (int k = 0; k < 3; ++k) Proc(c, "DBMS_OUTPUT", "PUT", {In(Txt(std::string(10000, 'z')))});
    EXPECT_EQ(ErrorOfCall(c, "DBMS_OUTPUT", "PUT", {In(Txt(std::string(3000, 'z')))}, &text), 20000);
    EXPECT_EQ(text, "ORA-20000: ORU-10028: line length overflow, limit of 32767 bytes per line");
}

// ---------------------------------------------------------------- DBMS_PIPE
TEST_F(PackagesTest, PipeCarriesTypedItemsBetweenSessions) {
    auto other = Logon();
    Context b(*other, shared_);
    Context& a = *ctx_;
    Proc(a, "DBMS_PIPE", "PACK_MESSAGE", {In(Num(12), OraType::Number)});
    Proc(a, "DBMS_PIPE", "PACK_MESSAGE", {In(Txt("hello"))});
    Proc(a, "DBMS_PIPE", "PACK_MESSAGE", {In(Date(2024, 2, 29), OraType::Date)});
    Proc(a, "DBMS_PIPE", "PACK_MESSAGE_RAW", {In(Txt("\x01\x02"), OraType::Raw)});
    EXPECT_EQ(S(Fn(a, "DBMS_PIPE", "SEND_MESSAGE", {In(Txt("P1"))})), "0");

    EXPECT_EQ(S(Fn(b, "DBMS_PIPE", "RECEIVE_MESSAGE", {In(Txt("P1")), In(Num(0), OraType::Number)})), "0");
    std::vector<std::pair<int, OraType>> expected = {{6, OraType::Number}, {9, OraType::Varchar2}, {12, OraType::Date}, {23, OraType::Raw}};
    std::vector<std::string> values;
    for (auto [type, ora] : expected) {
        EXPECT_EQ(S(Fn(b, "DBMS_PIPE", "NEXT_ITEM_TYPE")), std::to_string(type));
        std::vector<NativeArg> item = {Out(ora)};
        Call(b, "DBMS_PIPE", type == 23 ? "UNPACK_MESSAGE_RAW" : "UNPACK_MESSAGE", item);
        values.push_back(S(item[0].value));
    }
    EXPECT_EQ(values, (std::vector<std::string>{"12", "hello", "2024-02-29 00:00:00", "\x01\x02"}));
    EXPECT_EQ(S(Fn(b, "DBMS_PIPE", "NEXT_ITEM_TYPE")), "0");
    EXPECT_EQ(ErrorOfCall(b, "DBMS_PIPE", "UNPACK_MESSAGE", {Out()}), 6556);
    // the pipe is empty now: a receive times out with 1
    EXPECT_EQ(S(Fn(b, "DBMS_PIPE", "RECEIVE_MESSAGE", {In(Txt("P1")), In(Num(0), OraType::Number)})), "1");
}

TEST_F(PackagesTest, PipeReceiveWaitsForTheSenderAndAnInterruptEndsTheWait) {
    auto other = Logon();
    Context b(*other, shared_);
    // The engine runs every package call under the database lock (only a waiting call lets it go),
    // so the pipes of the database are made by one call before another can look; this stand-in
    // context has no such lock, so the pipes are made before the second thread starts.
    EXPECT_EQ(S(Fn(*ctx_, "DBMS_PIPE", "REMOVE_PIPE", {In(Txt("NONE"))})), "0");
    std::atomic<int> status{-1};
    std::thread receiver([&] {
        Value r;
        std::vector<NativeArg> args = {In(Txt("WAITED")), In(Num(30), OraType::Number)};
        eng::FindNativePackage("DBMS_PIPE")->Call("RECEIVE_MESSAGE", args, &r, b);
        status = static_cast<int>(r.i);
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(status.load(), -1);
    Proc(*ctx_, "DBMS_PIPE", "PACK_MESSAGE", {In(Txt("late"))});
    EXPECT_EQ(S(Fn(*ctx_, "DBMS_PIPE", "SEND_MESSAGE", {In(Txt("WAITED"))})), "0");
    receiver.join();
    EXPECT_EQ(status.load(), 0);
    std::vector<NativeArg> item = {Out()};
    Call(b, "DBMS_PIPE", "UNPACK_MESSAGE", item);
    EXPECT_EQ(S(item[0].value), "late");

    std::atomic<int> code{0};
    std::thread waiter([&] { code = ErrorOfCall(b, "DBMS_PIPE", "RECEIVE_MESSAGE", {In(Txt("NOBODY"))}, nullptr, true); });
    std::this_thread::sleep_for(100ms);
    b.interrupted = true;
    waiter.join();
    EXPECT_EQ(code.load(), 1013);
}

TEST_F(PackagesTest, PipeNamesPrivacyAndSizes) {
    auto system = Logon("SYSTEM", "MANAGER");
    Context sys(*system, shared_);
    Context& c = *ctx_;
    EXPECT_EQ(S(Fn(sys, "DBMS_PIPE", "CREATE_PIPE", {In(Txt("SECRET"))})), "0");   // private by default
    EXPECT_EQ(ErrorOfCall(c, "DBMS_PIPE", "SEND_MESSAGE", {In(Txt("SECRET"))}, nullptr, true), 23322);
    EXPECT_EQ(ErrorOfCall(c, "DBMS_PIPE", "REMOVE_PIPE", {In(Txt("SECRET"))}, nullptr, true), 23322);
    EXPECT_EQ(S(Fn(sys, "DBMS_PIPE", "REMOVE_PIPE", {In(Txt("SECRET"))})), "0");
    EXPECT_EQ(ErrorOfCall(c, "DBMS_PIPE", "SEND_MESSAGE", {In(Value())}, nullptr, true), 23321);

    // a full pipe refuses the next message until the timeout (a send may only grow the pipe)
    EXPECT_EQ(S(Fn(c, "DBMS_PIPE", "CREATE_PIPE", {In(Txt("SMALL")), In(Num(100), OraType::Number), In(Bool(false), OraType::Boolean)})), "0");
    Proc(c, "DBMS_PIPE", "PACK_MESSAGE", {In(Txt(std::string(90, 'a')))});
    EXPECT_EQ(S(Fn(c, "DBMS_PIPE", "SEND_MESSAGE", {In(Txt("SMALL")), In(Num(0), OraType::Number), In(Num(10), OraType::Number)})), "0");
    Proc(c, "DBMS_PIPE", "PACK_MESSAGE", {In(Txt(std::string(20, 'b')))});
    EXPECT_EQ(S(Fn(c, "DBMS_PIPE", "SEND_MESSAGE", {In(Txt("SMALL")), In(Num(0), OraType::Number), In(Num(100), OraType::Number)})), "1");
    Proc(c, "DBMS_PIPE", "PURGE", {In(Txt("SMALL"))});
    EXPECT_EQ(S(Fn(c, "DBMS_PIPE", "SEND_MESSAGE", {In(Txt("SMALL")), In(Num(0), OraType::Number), In(Num(100), OraType::Number)})), "0");

    // the pack buffer holds 4096 bytes
    Proc(c, "DBMS_PIPE", "RESET_BUFFER");
    Proc(c, "DBMS_PIPE", "PACK_MESSAGE", {In(Txt(std::string(4000, 'c')))});
    EXPECT_EQ(ErrorOfCall(c, "DBMS_PIPE", "PACK_MESSAGE", {In(Txt(std::string(200, 'c')))}), 6558);

    std::string mine = S(Fn(c, "DBMS_PIPE", "UNIQUE_SESSION_NAME"));
    EXPECT_EQ(mine.rfind("ORA$PIPE$", 0), 0u);
    EXPECT_EQ(S(Fn(c, "DBMS_PIPE", "UNIQUE_SESSION_NAME")), mine);
    EXPECT_NE(S(Fn(sys, "DBMS_PIPE", "UNIQUE_SESSION_NAME")), mine);
}

TEST_F(PackagesTest, PipeUnpackRefusesAnItemOfAnotherType) {
    Proc(*ctx_, "DBMS_PIPE", "PACK_MESSAGE", {In(Txt("text"))});
    Fn(*ctx_, "DBMS_PIPE", "SEND_MESSAGE", {In(Txt("T"))});
    Fn(*ctx_, "DBMS_PIPE", "RECEIVE_MESSAGE", {In(Txt("T"))});
    std::string text;
    EXPECT_EQ(ErrorOfCall(*ctx_, "DBMS_PIPE", "UNPACK_MESSAGE", {Out(OraType::Number)}, &text), 6559);
    EXPECT_EQ(text, "ORA-06559: wrong datatype requested, NUMBER, actual datatype is VARCHAR2");
}

// ---------------------------------------------------------------- DBMS_ALERT
TEST_F(PackagesTest, AlertReachesRegisteredSessionsOnlyWhenTheSignalCommits) {
    auto other = Logon();
    Context waiter(*other, shared_);
    Context& signaller = *ctx_;
    Proc(waiter, "DBMS_ALERT", "REGISTER", {In(Txt("stock"))});
    auto waitOne = [&](double timeout) {
        std::vector<NativeArg> args = {In(Txt("STOCK")), Out(), Out(OraType::Number), In(Num(static_cast<int64_t>(timeout)), OraType::Number)};
        Call(waiter, "DBMS_ALERT", "WAITONE", args);
        return S(args[2].value) + ":" + S(args[1].value);
    };
    Proc(signaller, "DBMS_ALERT", "SIGNAL", {In(Txt("STOCK")), In(Txt("rolled back"))});
    EXPECT_EQ(waitOne(0), "1:NULL");
    scott_->Rollback();
    EXPECT_EQ(waitOne(0), "1:NULL");

    Proc(signaller, "DBMS_ALERT", "SIGNAL", {In(Txt("STOCK")), In(Txt("first"))});
    scott_->Commit();
    Proc(signaller, "DBMS_ALERT", "SIGNAL", {In(Txt("STOCK")), In(Txt("latest"))});
    scott_->Commit();
    EXPECT_EQ(waitOne(0), "0:latest");   // signals in between collapse into the last
    EXPECT_EQ(waitOne(0), "1:NULL");

    // a wait in progress wakes when the signal commits
    std::string got;
    std::thread t([&] { got = waitOne(30); });
    std::this_thread::sleep_for(100ms);
    Proc(signaller, "DBMS_ALERT", "SIGNAL", {In(Txt("STOCK")), In(Txt("while waiting"))});
    std::this_thread::sleep_for(50ms);
    scott_->Commit();
    t.join();
    EXPECT_EQ(got, "0:while waiting");

    Proc(waiter, "DBMS_ALERT", "REMOVE", {In(Txt("STOCK"))});
    Proc(signaller, "DBMS_ALERT", "SIGNAL", {In(Txt("STOCK")), In(Txt("unheard"))});
    scott_->Commit();
    EXPECT_EQ(waitOne(0), "1:NULL");
}

TEST_F(PackagesTest, AlertWaitAnyNamesTheAlertAndNeedsARegistration) {
    auto other = Logon();
    Context waiter(*other, shared_);
    std::string text;
    EXPECT_EQ(ErrorOfCall(waiter, "DBMS_ALERT", "WAITANY", {Out(), Out(), Out(OraType::Number), In(Num(0), OraType::Number)}, &text), 20000);
    EXPECT_EQ(text, "ORA-20000: ORU-10024: there are no alerts registered");
    Proc(waiter, "DBMS_ALERT", "REGISTER", {In(Txt("A1"))});
    Proc(waiter, "DBMS_ALERT", "REGISTER", {In(Txt("A2"))});
    Proc(*ctx_, "DBMS_ALERT", "SIGNAL", {In(Txt("a2")), In(Txt("two"))});
    scott_->Commit();
    std::vector<NativeArg> args = {Out(), Out(), Out(OraType::Number), In(Num(0), OraType::Number)};
    Call(waiter, "DBMS_ALERT", "WAITANY", args);
    EXPECT_EQ(S(args[0].value) + ":" + S(args[1].value) + ":" + S(args[2].value), "A2:two:0");
    Proc(waiter, "DBMS_ALERT", "REMOVEALL");
    EXPECT_EQ(ErrorOfCall(waiter, "DBMS_ALERT", "WAITANY", {Out(), Out(), Out(OraType::Number), In(Num(0), OraType::Number)}), 20000);
}

// ---------------------------------------------------------------- DBMS_JOB
TEST_F(PackagesTest, JobsAreRowsOfTheirOwnerChangedInTheTransaction) {
    Context& c = *ctx_;
    std::vector<NativeArg> submit = {Out(OraType::Number), In(Txt("null;")), In(Date(2030, 1, 2), OraType::Date),
                                     In(Txt("SYSDATE + 1"))};
    Call(c, "DBMS_JOB", "SUBMIT", submit);
    std::string job = S(submit[0].value);
    EXPECT_EQ(Query(*scott_, "select job, what, to_char(next_date, 'YYYY-MM-DD'), interval, broken, log_user from user_jobs"),
              (Rows{{job, "null;", "2030-01-02", "SYSDATE + 1", "N", "SCOTT"}}));
    auto other = Logon();
    EXPECT_TRUE(Query(*other, "select job from sys.job$").empty());   // not committed yet
    scott_->Commit();
    EXPECT_EQ(Query(*other, "select count(*) from all_jobs"), (Rows{{"1"}}));

    Value j = submit[0].value;
    Proc(c, "DBMS_JOB", "WHAT", {In(j, OraType::Number), In(Txt("begin null; end;"))});
    Proc(c, "DBMS_JOB", "NEXT_DATE", {In(j, OraType::Number), In(Date(2031, 5, 6), OraType::Date)});
    Proc(c, "DBMS_JOB", "INTERVAL", {In(j, OraType::Number), In(Txt("SYSDATE + 7"))});
    EXPECT_EQ(Query(*scott_, "select what, to_char(next_date, 'YYYY-MM-DD'), interval from user_jobs"),
              (Rows{{"begin null; end;", "2031-05-06", "SYSDATE + 7"}}));
    // CHANGE leaves what is given as NULL
    Proc(c, "DBMS_JOB", "CHANGE", {In(j, OraType::Number), In(Value()), In(Value(), OraType::Date), In(Txt("SYSDATE + 2"))});
    EXPECT_EQ(Query(*scott_, "select what, interval from user_jobs"), (Rows{{"begin null; end;", "SYSDATE + 2"}}));
    Proc(c, "DBMS_JOB", "BROKEN", {In(j, OraType::Number), In(Bool(true), OraType::Boolean)});
    EXPECT_EQ(Query(*scott_, "select broken, to_char(next_date, 'YYYY-MM-DD') from user_jobs"), (Rows{{"Y", "4000-01-01"}}));
    Proc(c, "DBMS_JOB", "BROKEN", {In(j, OraType::Number), In(Bool(false), OraType::Boolean), In(Date(2032, 1, 1), OraType::Date)});
    EXPECT_EQ(Query(*scott_, "select broken, to_char(next_date, 'YYYY-MM-DD') from user_jobs"), (Rows{{"N", "2032-01-01"}}));

    // another user's job is no job of this user's queue
    Context o(*other, shared_);
    auto system = Logon("SYSTEM", "MANAGER");
    Context sys(*system, shared_);
    EXPECT_EQ(ErrorOfCall(sys, "DBMS_JOB", "REMOVE", {In(j, OraType::Number)}), 23421);
    Proc(c, "DBMS_JOB", "REMOVE", {In(j, OraType::Number)});
    EXPECT_TRUE(Query(*scott_, "select job from user_jobs").empty());
    scott_->Rollback();
    EXPECT_EQ(Query(*scott_, "select count(*) from user_jobs"), (Rows{{"1"}}));   // the removal rolled back
}

TEST_F(PackagesTest, JobCallsOnAJobThatIsNotThereFailWithOra23421) {
    Context& c = *ctx_;
    struct Case { const char* member; std::vector<NativeArg> args; };
    std::vector<Case> cases = {
        {"REMOVE", {In(Num(999), OraType::Number)}},
        {"CHANGE", {In(Num(999), OraType::Number), In(Txt("null;")), In(Value(), OraType::Date), In(Value())}},
        {"WHAT", {In(Num(999), OraType::Number), In(Txt("null;"))}},
        {"NEXT_DATE", {In(Num(999), OraType::Number), In(Date(2030, 1, 1), OraType::Date)}},
        {"INTERVAL", {In(Num(999), OraType::Number), In(Txt("SYSDATE + 1"))}},
        {"BROKEN", {In(Num(999), OraType::Number), In(Bool(true), OraType::Boolean)}},
        {"RUN", {In(Num(999), OraType::Number)}},
    };
    for (auto& k : cases) {
        std::string text;
        EXPECT_EQ(ErrorOfCall(c, "DBMS_JOB", k.member, k.args, &text), 23421) << k.member;
        EXPECT_EQ(text, "ORA-23421: job number 999 is not a job in the job queue") << k.member;
    }
    std::vector<NativeArg> bad = {Out(OraType::Number), In(Txt("null;")), In(Date(2030, 1, 1), OraType::Date), In(Txt("'not a date'"))};
    EXPECT_EQ(ErrorOfCall(c, "DBMS_JOB", "SUBMIT", bad), 23420);
}

TEST_F(PackagesTest, JobRunExecutesItsWhatAndCountsFailures) {
    Context& c = *ctx_;
    std::vector<NativeArg> submit = {Out(OraType::Number), In(Txt("my_proc(job);")), In(Date(2030, 1, 1), OraType::Date),
                                     In(Txt("SYSDATE + 1"))};
    Call(c, "DBMS_JOB", "SUBMIT", submit);
    Value j = submit[0].value;
    Proc(c, "DBMS_JOB", "RUN", {In(j, OraType::Number)});
    ASSERT_EQ(c.blocks.size(), 1u);
    EXPECT_NE(c.blocks[0].find("job BINARY_INTEGER := " + S(j) + ";"), std::string::npos) << c.blocks[0];
    EXPECT_NE(c.blocks[0].find("BEGIN\n  my_proc(job);\nEND;"), std::string::npos) << c.blocks[0];
    EXPECT_EQ(Query(*scott_, "select failures, broken, case when last_date is not null and next_date > sysdate + 0.9 then 'ok' end from user_jobs"),
              (Rows{{"0", "N", "ok"}}));

    c.failBlocks = true;
    std::string text;
    EXPECT_EQ(ErrorOfCall(c, "DBMS_JOB", "RUN", {In(j, OraType::Number)}, &text), 12011);
    EXPECT_EQ(text, "ORA-12011: execution of 1 jobs failed\nORA-01476: divisor is equal to zero");
    EXPECT_EQ(Query(*scott_, "select failures, broken from user_jobs"), (Rows{{"1", "N"}}));

    // a job without an interval is done after its run
    c.failBlocks = false;
    std::vector<NativeArg> once = {Out(OraType::Number), In(Txt("null;"))};
    Call(c, "DBMS_JOB", "SUBMIT", once);
    Proc(c, "DBMS_JOB", "RUN", {In(once[0].value, OraType::Number)});
    EXPECT_EQ(Query(*scott_, "select count(*) from user_jobs"), (Rows{{"1"}}));
}

// ---------------------------------------------------------------- UTL_FILE
class UtlFileTest : public PackagesTest {
protected:
    void SetUp() override {
        PackagesTest::SetUp();
        files_ = dir_ + "/files";
        other_ = dir_ + "/other";
        std::filesystem::create_directories(files_);
        std::filesystem::create_directories(other_);
        system_ = Logon("SYSTEM", "MANAGER");
        Exec(*system_, "create directory files as '" + files_ + "'");
        Exec(*system_, "create directory other_dir as '" + other_ + "'");
    }
    void TearDown() override {
        system_.reset();
        PackagesTest::TearDown();
    }
    Value Open(const std::string& name, const std::string& mode, Value maxLine = Value()) {
        std::vector<NativeArg> args = {In(Txt("FILES")), In(Txt(name)), In(Txt(mode))};
        if (maxLine.kind != ValueRef::Null) args.push_back(In(maxLine, OraType::Number));
        Value r;
        Call(*ctx_, "UTL_FILE", "FOPEN", args, &r);
        return r;
    }
    int OpenError(const std::string& location, const std::string& name, const std::string& mode, int64_t maxLine = 1024) {
        return ErrorOfCall(*ctx_, "UTL_FILE", "FOPEN",
                           {In(Txt(location)), In(Txt(name)), In(Txt(mode)), In(Num(maxLine), OraType::Number)}, nullptr, true);
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string files_, other_;
    std::unique_ptr<Session> system_;
};

TEST_F(UtlFileTest, WritesAndReadsLinesOfAFileInADirectory) {
    Context& c = *ctx_;
    Value f = Open("out.txt", "w");
    Proc(c, "UTL_FILE", "PUT", {In(f, OraType::Number), In(Txt("a"))});
    Proc(c, "UTL_FILE", "PUT_LINE", {In(f, OraType::Number), In(Txt("bc"))});
    Proc(c, "UTL_FILE", "NEW_LINE", {In(f, OraType::Number), In(Num(2), OraType::Number)});
    Proc(c, "UTL_FILE", "PUTF", {In(f, OraType::Number), In(Txt("%s=%s\\n[%s]")), In(Txt("k")), In(Txt("v"))});
    Proc(c, "UTL_FILE", "FFLUSH", {In(f, OraType::Number)});
    EXPECT_EQ(Slurp(files_ + "/out.txt"), "abc\n\n\nk=v\n[]");
    EXPECT_EQ(S(Fn(c, "UTL_FILE", "IS_OPEN", {In(f, OraType::Number)})), "1");
    std::vector<NativeArg> close = {In(f, OraType::Number)};
    close[0].out = true;
    Call(c, "UTL_FILE", "FCLOSE", close);
    EXPECT_EQ(S(close[0].value), "NULL");
    EXPECT_EQ(S(Fn(c, "UTL_FILE", "IS_OPEN", {In(f, OraType::Number)})), "0");
    EXPECT_EQ(ErrorOfCall(c, "UTL_FILE", "PUT", {In(f, OraType::Number), In(Txt("x"))}), 29282);

    // the FILE_TYPE record as the interpreter passes it: the function result as a last RETURN argument
    NativeArg ret = Out(OraType::Varchar2, "RETURN");
    ret.isRecord = true;
    std::vector<NativeArg> open = {In(Txt("FILES"), OraType::Varchar2, "LOCATION"), In(Txt("out.txt"), OraType::Varchar2, "FILENAME"),
                                   In(Txt("r"), OraType::Varchar2, "OPEN_MODE"), ret};
    Call(c, "UTL_FILE", "FOPEN", open);
    ASSERT_EQ(open[3].fields.size(), 3u);
    NativeArg rec = In(Value());
    rec.isRecord = true;
    rec.fields = open[3].fields;
    std::vector<std::string> lines;
    while (true) {
        std::vector<NativeArg> get = {rec, Out()};
        int code = Try(c, "UTL_FILE", "GET_LINE", get);
        if (code == 1403) break;
        ASSERT_EQ(code, 0);
        lines.push_back(S(get[1].value));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"abc", "NULL", "NULL", "k=v", "[]"}));
    Proc(c, "UTL_FILE", "FCLOSE_ALL");
    EXPECT_EQ(S(Fn(c, "UTL_FILE", "IS_OPEN", {rec})), "0");
}

TEST_F(UtlFileTest, ReadsEveryLineThenNoDataFound) {
    std::ofstream(files_ + "/in.txt") << "first\r\nsecond\n\nlast";
    Value f = Open("in.txt", "R");
    std::vector<std::string> lines;
    for (int k = 0; k < 4; ++k) {
        std::vector<NativeArg> get = {In(f, OraType::Number), Out()};
        Call(*ctx_, "UTL_FILE", "GET_LINE", get);
        lines.push_back(S(get[1].value));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "NULL", "last"}));
    EXPECT_EQ(ErrorOfCall(*ctx_, "UTL_FILE", "GET_LINE", {In(f, OraType::Number), Out()}), 1403);
    EXPECT_EQ(ErrorOfCall(*ctx_, "UTL_FILE", "PUT_LINE", {In(f, OraType::Number), In(Txt("x"))}), 29283);
}

TEST_F(UtlFileTest, RefusesNamesOutsideTheDirectoryAndBadArguments) {
    std::ofstream(dir_ + "/secret.txt") << "secret";
    std::filesystem::create_symlink(dir_ + "/secret.txt", files_ + "/link.txt");
    struct Case { const char* location; std::string name; const char* mode; int64_t maxLine; int code; };
    const Case cases[] = {
        {"NOWHERE", "a.txt", "w", 1024, 29280},
        {"FILES", "a.txt", "x", 1024, 29281},
        {"FILES", "a.txt", "w", 0, 29287},
        {"FILES", "a.txt", "w", 32768, 29287},
        {"FILES", "../secret.txt", "r", 1024, 29288},
        {"FILES", dir_ + "/secret.txt", "r", 1024, 29288},
        {"FILES", "sub/a.txt", "w", 1024, 29288},
        {"FILES", "..", "r", 1024, 29288},
        {"FILES", "", "r", 1024, 29288},
        {"FILES", "missing.txt", "r", 1024, 29283},
        {"FILES", "link.txt", "r", 1024, 29283},
        {"FILES", "link.txt", "w", 1024, 29283},
    };
    for (const auto& k : cases) EXPECT_EQ(OpenError(k.location, k.name, k.mode, k.maxLine), k.code) << k.name << " " << k.mode;
    EXPECT_EQ(Slurp(dir_ + "/secret.txt"), "secret");
    EXPECT_EQ(ErrorOfCall(*ctx_, "UTL_FILE", "FREMOVE", {In(Txt("FILES")), In(Txt("../secret.txt"))}), 29288);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/secret.txt"));

    // a line longer than the file's limit
    Value f = Open("long.txt", "w", Num(10));
    EXPECT_EQ(ErrorOfCall(*ctx_, "UTL_FILE", "PUT_LINE", {In(f, OraType::Number), In(Txt(std::string(11, 'x')))}), 29285);
    Proc(*ctx_, "UTL_FILE", "PUT_LINE", {In(f, OraType::Number), In(Txt(std::string(10, 'x')))});
    EXPECT_EQ(ErrorOfCall(*ctx_, "UTL_FILE", "IS_OPEN", {In(Num(12345), OraType::Number)}, nullptr, true), 0);
    EXPECT_EQ(ErrorOfCall(*ctx_, "UTL_FILE", "FCLOSE", {In(Num(12345), OraType::Number)}), 29282);

    eng::NativePackage* u = eng::FindNativePackage("UTL_FILE");
    const std::pair<const char*, int> exceptions[] = {
        {"INVALID_PATH", -29280}, {"INVALID_MODE", -29281}, {"INVALID_FILEHANDLE", -29282}, {"INVALID_OPERATION", -29283},
        {"READ_ERROR", -29284}, {"WRITE_ERROR", -29285}, {"INTERNAL_ERROR", -29286}, {"INVALID_MAXLINESIZE", -29287},
        {"INVALID_FILENAME", -29288}, {"ACCESS_DENIED", -29289}, {"NO_SUCH_THING", 0}};
    for (const auto& [name, code] : exceptions) EXPECT_EQ(u->ExceptionCode(name), code) << name;
}

TEST_F(UtlFileTest, RemovesRenamesAndCopiesFiles) {
    Context& c = *ctx_;
    std::ofstream(files_ + "/a.txt") << "1\n2\n3\n4\n";
    Proc(c, "UTL_FILE", "FCOPY", {In(Txt("FILES")), In(Txt("a.txt")), In(Txt("OTHER_DIR")), In(Txt("b.txt")),
                                  In(Num(2), OraType::Number), In(Num(3), OraType::Number)});
    EXPECT_EQ(Slurp(other_ + "/b.txt"), "2\n3\n");
    std::ofstream(other_ + "/c.txt") << "c";
    EXPECT_EQ(ErrorOfCall(c, "UTL_FILE", "FRENAME", {In(Txt("OTHER_DIR")), In(Txt("b.txt")), In(Txt("OTHER_DIR")), In(Txt("c.txt"))}), 29292);
    Proc(c, "UTL_FILE", "FRENAME", {In(Txt("OTHER_DIR")), In(Txt("b.txt")), In(Txt("FILES")), In(Txt("c.txt")),
                                    In(Bool(true), OraType::Boolean)});
    EXPECT_EQ(Slurp(files_ + "/c.txt"), "2\n3\n");
    Proc(c, "UTL_FILE", "FREMOVE", {In(Txt("FILES")), In(Txt("c.txt"))});
    EXPECT_FALSE(std::filesystem::exists(files_ + "/c.txt"));
    EXPECT_EQ(ErrorOfCall(c, "UTL_FILE", "FREMOVE", {In(Txt("FILES")), In(Txt("c.txt"))}), 29291);
    std::vector<NativeArg> attr = {In(Txt("FILES")), In(Txt("a.txt")), Out(OraType::Boolean), Out(OraType::Number), Out(OraType::Number)};
    Call(c, "UTL_FILE", "FGETATTR", attr);
    EXPECT_EQ(S(attr[2].value) + "/" + S(attr[3].value), "1/8");
}

TEST_F(UtlFileTest, DirectoriesAreDdlOfPrivilegedUsers) {
    EXPECT_EQ(ErrorOf(*scott_, "create directory mine as '/tmp'"), 1031);
    EXPECT_EQ(ErrorOf(*system_, "create directory files as '/tmp'"), 955);
    Exec(*system_, "create or replace directory files as '" + other_ + "'");
    EXPECT_EQ(Query(*scott_, "select directory_name, directory_path from all_directories order by 1"),
              (Rows{{"FILES", other_}, {"OTHER_DIR", other_}}));
    Exec(*system_, "drop directory other_dir");
    EXPECT_EQ(ErrorOf(*system_, "drop directory other_dir"), 4043);
    EXPECT_EQ(Query(*system_, "select count(*) from dba_directories"), (Rows{{"1"}}));
    EXPECT_EQ(OpenError("OTHER_DIR", "a.txt", "w"), 29280);
}

// ---------------------------------------------------------------- the small ones
TEST_F(PackagesTest, BooleanConversionsTransactionIdWorkspaceAndStacks) {
    Context& c = *ctx_;
    const std::pair<Value, std::string> toBool[] = {{Num(1), "1"}, {Num(0), "0"}, {Value(), "NULL"}};
    for (const auto& [in, out] : toBool) EXPECT_EQ(S(Fn(c, "DIUTIL", "INT_TO_BOOL", {In(in, OraType::Number)})), out);
    EXPECT_EQ(ErrorOfCall(c, "DIUTIL", "INT_TO_BOOL", {In(Num(2), OraType::Number)}, nullptr, true), 6502);
    EXPECT_EQ(S(Fn(c, "DIUTIL", "BOOL_TO_INT", {In(Bool(true), OraType::Boolean)})), "1");
    EXPECT_EQ(S(Fn(c, "DIUTIL", "BOOL_TO_INT", {In(Value(), OraType::Boolean)})), "NULL");
    EXPECT_TRUE(eng::FindNativePackage("DIUTIL")->ReturnsBoolean("INT_TO_BOOL"));

    EXPECT_EQ(S(Fn(c, "DBMS_TRANSACTION", "LOCAL_TRANSACTION_ID")), "NULL");
    Exec(*scott_, "update dept set loc = loc where deptno = 10");
    EXPECT_EQ(S(Fn(c, "DBMS_TRANSACTION", "LOCAL_TRANSACTION_ID")), "4.23.1034");

    Proc(c, "DBMS_WM", "GOTOWORKSPACE", {In(Txt("LIVE"))});
    std::string text;
    EXPECT_EQ(ErrorOfCall(c, "DBMS_WM", "GOTOWORKSPACE", {In(Txt("live"))}, &text), 20000);
    EXPECT_EQ(text, "ORA-20000: workspace 'live' does not exist");
    EXPECT_EQ(S(Fn(c, "DBMS_WM", "GETWORKSPACE")), "LIVE");

    EXPECT_EQ(S(Fn(c, "DBMS_UTILITY", "FORMAT_ERROR_STACK")), "ORA-01403: no data found\n");
    EXPECT_EQ(S(Fn(c, "DBMS_UTILITY", "FORMAT_CALL_STACK")), "----- PL/SQL Call Stack -----\n");
    EXPECT_EQ(Fn(c, "DBMS_UTILITY", "GET_TIME").kind, ValueRef::Integer);

    Proc(c, "DBMS_APPLICATION_INFO", "SET_MODULE", {In(Txt(std::string(60, 'm')), OraType::Varchar2, "MODULE_NAME"),
                                                     In(Txt("act"), OraType::Varchar2, "ACTION_NAME")});
    Proc(c, "DBMS_APPLICATION_INFO", "SET_CLIENT_INFO", {In(Txt("client"))});
    std::vector<NativeArg> module = {Out(), Out()};
    Call(c, "DBMS_APPLICATION_INFO", "READ_MODULE", module);
    EXPECT_EQ(S(module[0].value), std::string(48, 'm'));
    EXPECT_EQ(S(module[1].value), "act");
    std::vector<NativeArg> client = {Out()};
    Call(c, "DBMS_APPLICATION_INFO", "READ_CLIENT_INFO", client);
    EXPECT_EQ(S(client[0].value), "client");
}

TEST_F(PackagesTest, SleepEndsWhenTheClientInterrupts) {
    Context& c = *ctx_;
    Proc(c, "DBMS_LOCK", "SLEEP", {In(Num(0), OraType::Number)});
    EXPECT_EQ(ErrorOfCall(c, "DBMS_LOCK", "SLEEP", {In(Num(-1), OraType::Number)}), 38148);
    std::atomic<int> code{0};
    std::thread t([&] { code = ErrorOfCall(c, "DBMS_LOCK", "SLEEP", {In(Num(600), OraType::Number)}); });
    std::this_thread::sleep_for(50ms);
    c.interrupted = true;
    t.join();
    EXPECT_EQ(code.load(), 1013);
}

TEST_F(PackagesTest, CallsThatDoNotFitAMemberAreRefused) {
    Context& c = *ctx_;
    struct Case { const char* pkg; const char* member; std::vector<NativeArg> args; bool function; };
    std::vector<Case> cases = {
        {"DBMS_OUTPUT", "NO_SUCH_MEMBER", {}, false},
        {"DBMS_OUTPUT", "PUT_LINE", {}, false},                                   // a required argument missing
        {"DBMS_OUTPUT", "PUT_LINE", {In(Txt("a")), In(Txt("b"))}, false},         // one too many
        {"DBMS_OUTPUT", "PUT_LINE", {In(Txt("a"), OraType::Varchar2, "B")}, false},  // no formal of that name
        {"DBMS_OUTPUT", "GET_LINE", {In(Txt("a")), Out()}, false},                // LINE must be a variable
        {"DBMS_OUTPUT", "PUT_LINE", {In(Txt("a"))}, true},                        // a procedure used as a function
        {"DBMS_PIPE", "SEND_MESSAGE", {In(Txt("P"))}, false},                     // a function called as a procedure
    };
    for (auto& k : cases) {
        Value r;
        EXPECT_FALSE(eng::FindNativePackage(k.pkg)->Call(k.member, k.args, k.function ? &r : nullptr, c)) << k.pkg << "." << k.member;
    }
    EXPECT_EQ(eng::FindNativePackage("DBMS_SQL_NOT_HERE"), nullptr);
    Value maxwait;
    EXPECT_TRUE(eng::FindNativePackage("DBMS_PIPE")->Constant("MAXWAIT", maxwait));
    EXPECT_EQ(S(maxwait), "86400000");
}

} // namespace
} // namespace ocisim::test
