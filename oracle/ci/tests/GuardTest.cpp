#include <gtest/gtest.h>

#include "base/Exception.h"
#include "oracle/ci/OracleCI.h"

using namespace quorvel;

namespace {

struct FakeSession : TOracleSessionState {
    bool Connected = true;
    bool OCI8Calls = false;
    bool SessionConnected() const override { return Connected; }
    bool SessionUsesOCI8Calls() const override { return OCI8Calls; }
};

template <typename F>
std::string MessageOf(F&& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "<no exception>";
}

class Guards : public ::testing::Test {
protected:
    void TearDown() override
    {
        HasOCI8 = HasOCI9 = false;
        ForceOCI7 = false;
    }
};

} // namespace

TEST_F(Guards, Net8GuardMessages)
{
    FakeSession session;
    const std::string feature = "A TLOBLocator instance";
    EXPECT_EQ(MessageOf([&] { CheckOCI8(nullptr, feature); }), "A TLOBLocator instance requires a session");
    session.Connected = false;
    EXPECT_EQ(MessageOf([&] { CheckOCI8(&session, feature); }), "A TLOBLocator instance requires a connected session");
    session.Connected = true;
    HasOCI8 = true;
    EXPECT_EQ(MessageOf([&] { CheckOCI8(&session, feature); }),
              "A TLOBLocator instance requires OCI8 mode, but OCI7 mode is used.");
    HasOCI8 = false;
    EXPECT_EQ(MessageOf([&] { CheckOCI8(&session, feature); }),
              "A TLOBLocator instance requires Net8, which is not detected on this PC");
    session.OCI8Calls = true;
    EXPECT_NO_THROW(CheckOCI8(&session, feature));
}

TEST_F(Guards, Net9GuardLooksAtTheNet9Flag)
{
    FakeSession session;
    const std::string feature = "A query with timestamps";
    HasOCI8 = true;  // an OCI8 client without Oracle Net 9
    EXPECT_EQ(MessageOf([&] { CheckNet9(&session, feature); }),
              "A query with timestamps requires Oracle Net 9, which is not detected on this PC");
    HasOCI9 = true;
    EXPECT_EQ(MessageOf([&] { CheckNet9(&session, feature); }),
              "A query with timestamps requires OCI8 mode, but OCI7 mode is used.");
    EXPECT_EQ(MessageOf([&] { CheckNet9(nullptr, feature); }), "A query with timestamps requires a session");
    session.OCI8Calls = true;
    EXPECT_NO_THROW(CheckNet9(&session, feature));
}

TEST_F(Guards, NilSourceIsRefused)
{
    int value = 0;
    EXPECT_EQ(MessageOf([&] { CheckAssignSource(nullptr, "TOracleObject"); }), "TOracleObject: Cannot assign nil source");
    EXPECT_NO_THROW(CheckAssignSource(&value, "TOracleObject"));
}

TEST_F(Guards, SessionModeRule)
{
    struct Case {
        bool hasOCI8, forceOCI7;
        TSessionModeRequest request;
        bool expected;
    };
    const Case cases[] = {
        {true, false, {}, true},
        {false, false, {}, false},
        {true, true, {}, false},
        {true, false, {.UseOCI7Preference = true}, false},
        {true, false, {.PersonalOracleLite = true}, false},
        {true, false, {.ExternalLDA = true}, false},
        {false, true, {.ExternalSVC = true}, true},  // an external service context is always OCI8
    };
    for (const Case& c : cases) {
        HasOCI8 = c.hasOCI8;
        ForceOCI7 = c.forceOCI7;
        EXPECT_EQ(SessionUsesOCI8(c.request), c.expected)
            << "HasOCI8=" << c.hasOCI8 << " ForceOCI7=" << c.forceOCI7 << " UseOCI7=" << c.request.UseOCI7Preference
            << " POLite=" << c.request.PersonalOracleLite << " LDA=" << c.request.ExternalLDA
            << " SVC=" << c.request.ExternalSVC;
    }
}
