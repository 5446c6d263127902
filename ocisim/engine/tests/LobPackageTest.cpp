// DBMS_LOB called directly, as the PL/SQL interpreter calls it, with a stand-in for the calling
// session (the package needs none of it).
#include "ocisim/engine/internal/NativePackages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ocisim::test {
namespace {

using eng::NativeArg;

class NoSession final : public eng::NativeContext {
public:
    eng::SqlRunner& Sql() override { throw EngineError(3001, "ORA-03001: unimplemented feature"); }
    int SessionId() const override { return 1; }
    std::shared_ptr<void>& SessionState(std::string_view) override { return slot_; }
    std::shared_ptr<void>& DatabaseState(std::string_view) override { return slot_; }
    void RunBlock(std::string_view) override {}
    bool Interrupted() const override { return false; }
    void SetApplicationInfo(std::string_view, std::string_view) override {}
    std::string ApplicationInfo(std::string_view) const override { return {}; }
    std::string LocalTransactionId() const override { return {}; }
    std::string CallStack() const override { return {}; }
    std::string ErrorStack() const override { return {}; }

private:
    std::shared_ptr<void> slot_;
};

Value Clob(const std::string& s) { Value v; v.kind = ValueRef::Text; v.bytes = s; return v; }
Value Blob(const std::string& s) { Value v; v.kind = ValueRef::Bytes; v.bytes = s; return v; }
Value Int(int64_t i) { Value v; v.kind = ValueRef::Integer; v.i = i; return v; }
Value Null() { return {}; }

NativeArg In(Value v, OraType t = OraType::Varchar2) { NativeArg a; a.value = std::move(v); a.type = t; return a; }
NativeArg Var(Value v, OraType t) { NativeArg a = In(std::move(v), t); a.out = true; return a; }

class DbmsLobTest : public ::testing::Test {
protected:
    eng::NativePackage* pkg = eng::FindNativePackage("DBMS_LOB");
    NoSession ctx;

    Value Fn(const char* member, std::vector<NativeArg> args) {
        Value r;
        EXPECT_TRUE(pkg->Call(member, args, &r, ctx)) << member;
        return r;
    }
    // Calls a procedure; returns the arguments with their out values.
    std::vector<NativeArg> Proc(const char* member, std::vector<NativeArg> args) {
        EXPECT_TRUE(pkg->Call(member, args, nullptr, ctx)) << member;
        return args;
    }
    int ErrorOf(const char* member, std::vector<NativeArg> args, bool function = false) {
        Value r;
        try {
            pkg->Call(member, args, function ? &r : nullptr, ctx);
        } catch (const EngineError& e) {
            return e.Code;
        }
        return 0;
    }
};

std::string Text(const Value& v) { return v.kind == ValueRef::Null ? "<null>" : v.bytes; }

TEST_F(DbmsLobTest, FunctionsCountCharactersOfClobsAndBytesOfBlobs) {
    ASSERT_NE(pkg, nullptr);
    struct Case { const char* member; std::vector<NativeArg> args; std::string want; };
    std::vector<Case> cases = {
        {"GETLENGTH", {In(Clob("привет"), OraType::Clob)}, "6"},
        {"GETLENGTH", {In(Blob("\x01\x02\x03"), OraType::Blob)}, "3"},
        {"GETLENGTH", {In(Clob(""), OraType::Clob)}, "0"},
        {"GETLENGTH", {In(Null(), OraType::Clob)}, "<null>"},
        {"SUBSTR", {In(Clob("привет мир"), OraType::Clob), In(Int(3)), In(Int(8))}, "мир"},
        {"SUBSTR", {In(Clob("abc"), OraType::Clob), In(Int(5)), In(Int(4))}, "<null>"},
        {"SUBSTR", {In(Clob("abc"), OraType::Clob), In(Int(0))}, "<null>"},
        {"INSTR", {In(Clob("мир и мир"), OraType::Clob), In(Clob("мир"))}, "1"},
        {"INSTR", {In(Clob("мир и мир"), OraType::Clob), In(Clob("мир")), In(Int(1)), In(Int(2))}, "7"},
        {"INSTR", {In(Clob("abc"), OraType::Clob), In(Clob("x"))}, "0"},
        {"INSTR", {In(Blob("\x01\x02\x03"), OraType::Blob), In(Clob("0203"))}, "2"},   // RAW as hexadecimal text
        {"COMPARE", {In(Clob("abc"), OraType::Clob), In(Clob("abc"), OraType::Clob)}, "0"},
        {"COMPARE", {In(Clob("abc"), OraType::Clob), In(Clob("abd"), OraType::Clob)}, "-1"},
        {"COMPARE", {In(Clob("xabc"), OraType::Clob), In(Clob("abc"), OraType::Clob), In(Int(3)), In(Int(2)), In(Int(1))}, "0"},
        {"ISTEMPORARY", {In(Clob("abc"), OraType::Clob)}, "0"},
    };
    for (auto& c : cases) {
        Value r = Fn(c.member, c.args);
        std::string got = r.kind == ValueRef::Integer ? std::to_string(r.i) : Text(r);
        EXPECT_EQ(got, c.want) << c.member << " case " << (&c - cases.data());
    }
    Value k;
    ASSERT_TRUE(pkg->Constant("LOB_READWRITE", k));
    EXPECT_EQ(k.i, 1);
    ASSERT_TRUE(pkg->Constant("SESSION", k));
    EXPECT_EQ(k.i, 10);
    EXPECT_EQ(pkg->ExceptionCode("INVALID_ARGVAL"), -21560);
}

TEST_F(DbmsLobTest, ProceduresChangeTheLobTheyAreGiven) {
    // a temporary CLOB written, appended to, erased, trimmed and read back
    auto a = Proc("CREATETEMPORARY", {Var(Null(), OraType::Clob), In(Int(1))});
    Value lob = a[0].value;
    EXPECT_EQ(Fn("ISTEMPORARY", {In(lob, OraType::Clob)}).i, 1);
    lob = Proc("WRITE", {Var(lob, OraType::Clob), In(Int(5)), In(Int(1)), In(Clob("hello world"))})[0].value;
    EXPECT_EQ(Text(lob), "hello");
    lob = Proc("WRITEAPPEND", {Var(lob, OraType::Clob), In(Int(4)), In(Clob(" мир"))})[0].value;
    EXPECT_EQ(Text(lob), "hello мир");
    lob = Proc("WRITE", {Var(lob, OraType::Clob), In(Int(1)), In(Int(12)), In(Clob("!"))})[0].value;
    EXPECT_EQ(Text(lob), "hello мир  !");   // the gap is blank
    auto e = Proc("ERASE", {Var(lob, OraType::Clob), Var(Int(3), OraType::Number), In(Int(2))});
    EXPECT_EQ(Text(e[0].value), "h   o мир  !");
    EXPECT_EQ(e[1].value.i, 3);
    lob = Proc("TRIM", {Var(e[0].value, OraType::Clob), In(Int(5))})[0].value;
    EXPECT_EQ(Text(lob), "h   o");
    auto r = Proc("READ", {In(Clob("привет"), OraType::Clob), Var(Int(10), OraType::Number), In(Int(4)), Var(Null(), OraType::Varchar2)});
    EXPECT_EQ(r[1].value.i, 3);
    EXPECT_EQ(Text(r[3].value), "вет");
    // BLOBs: COPY and APPEND in bytes
    Value b = Proc("COPY", {Var(Blob("\x01\x01\x01"), OraType::Blob), In(Blob("\x07\x08\x09"), OraType::Blob), In(Int(2)), In(Int(5)),
                            In(Int(2))})[0].value;
    EXPECT_EQ(b.bytes, std::string("\x01\x01\x01\x00\x08\x09", 6));
    b = Proc("APPEND", {Var(b, OraType::Blob), In(Blob("\x0A"), OraType::Blob)})[0].value;
    EXPECT_EQ(b.bytes.size(), 7u);
    // OPEN and CLOSE pair up; FREETEMPORARY leaves NULL
    Value o = Proc("OPEN", {Var(lob, OraType::Clob), In(Int(1))})[0].value;
    EXPECT_EQ(Fn("ISOPEN", {In(o, OraType::Clob)}).i, 1);
    EXPECT_EQ(ErrorOf("OPEN", {Var(o, OraType::Clob), In(Int(1))}), 22293);
    o = Proc("CLOSE", {Var(o, OraType::Clob)})[0].value;
    EXPECT_EQ(ErrorOf("CLOSE", {Var(o, OraType::Clob)}), 22289);
    EXPECT_EQ(Proc("FREETEMPORARY", {Var(o, OraType::Clob)})[0].value.kind, ValueRef::Null);
}

TEST_F(DbmsLobTest, BadArgumentsFailAsOracleDoes) {
    struct Case { const char* member; std::vector<NativeArg> args; int code; };
    std::vector<Case> cases = {
        {"READ", {In(Clob("abc"), OraType::Clob), Var(Int(0), OraType::Number), In(Int(1)), Var(Null(), OraType::Varchar2)}, 21560},
        {"READ", {In(Clob("abc"), OraType::Clob), Var(Int(40000), OraType::Number), In(Int(1)), Var(Null(), OraType::Varchar2)}, 21560},
        {"READ", {In(Clob("abc"), OraType::Clob), Var(Int(1), OraType::Number), In(Int(4)), Var(Null(), OraType::Varchar2)}, 1403},
        {"READ", {In(Null(), OraType::Clob), Var(Int(1), OraType::Number), In(Int(1)), Var(Null(), OraType::Varchar2)}, 22275},
        {"WRITE", {Var(Clob("abc"), OraType::Clob), In(Int(5)), In(Int(1)), In(Clob("xy"))}, 21560},   // more than the buffer
        {"WRITE", {Var(Clob("abc"), OraType::Clob), In(Int(1)), In(Int(0)), In(Clob("xy"))}, 21560},
        {"TRIM", {Var(Clob("abc"), OraType::Clob), In(Int(4))}, 22926},
        {"FREETEMPORARY", {Var(Clob("abc"), OraType::Clob)}, 22275},
        {"ERASE", {Var(Null(), OraType::Clob), Var(Int(1), OraType::Number)}, 22275},
    };
    for (auto& c : cases) EXPECT_EQ(ErrorOf(c.member, c.args), c.code) << c.member << " case " << (&c - cases.data());
    // a member or argument list the package does not have
    std::vector<NativeArg> none;
    EXPECT_FALSE(pkg->Call("NO_SUCH_MEMBER", none, nullptr, ctx));
    std::vector<NativeArg> notVariable = {In(Clob("abc"), OraType::Clob), In(Int(1))};
    EXPECT_FALSE(pkg->Call("TRIM", notVariable, nullptr, ctx));   // the LOB must be a variable
}

} // namespace
} // namespace ocisim::test
