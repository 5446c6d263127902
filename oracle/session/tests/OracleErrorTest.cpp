// Database errors that need no client: the transaction-server messages, the warnings list
// read from the registry, and errors made from a known number and text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "oracle/session/OracleError.h"
#include "oracle/session/OracleSession.h"
#include "platform/Registry.h"

using namespace quorvel;

TEST(OracleMTSError, MessagesNameTheNumberTheTextAndTheFunction) {
    struct Case {
        int32_t error;
        const char* function;
        const char* message;
    } cases[] = {
        {4002, "OraMTSSvcGet", "MTS error 4002: failed logon to Oracle\r\nin function OraMTSSvcGet"},
        {1001, "OraMTSSvcEnlistEx", "MTS error 1001: no MTXDM.DLL available\r\nin function OraMTSSvcEnlistEx"},
        {6014, "OraMTSSvcRel", "MTS error 6014: error exporting trans.\r\nin function OraMTSSvcRel"},
        {7777, "OraMTSSvcRel", "MTS error 7777: \r\nin function OraMTSSvcRel"},
        // The load failure of the support library travels as the "function name".
        {0, "Could not load \"liboramts.so\"", "Could not load \"liboramts.so\""},
    };
    for (const auto& c : cases) {
        EOracleMTSError e(c.function, c.error);
        EXPECT_EQ(e.Message(), c.message);
        EXPECT_EQ(e.ErrorCode(), c.error);
    }
    EXPECT_EQ(MTSErrorText(3008), "alrdy attached to Oracle");
    EXPECT_EQ(MTSErrorText(5011), "synch. receive timedout");
    EXPECT_EQ(MTSErrorText(42), "");
}

TEST(OracleError, AWarningIsCaughtAsAnError) {
    bool caught = false;
    try {
        throw EOracleWarning(1403, "ORA-01403: no data found\n");
    } catch (const EOracleError& e) {
        caught = true;
        EXPECT_EQ(e.ErrorCode(), 1403);
        EXPECT_EQ(e.Message(), "ORA-01403: no data found\n");
        EXPECT_EQ(e.Session(), nullptr);
        EXPECT_EQ(e.Instance(), nullptr);
    }
    EXPECT_TRUE(caught);
}

class WarningsRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = std::filesystem::temp_directory_path() / ("quorvel-warnings-" + std::to_string(::getpid()));
        std::filesystem::create_directories(FDir);
        ::setenv("QUORVEL_REGISTRY_DIR", FDir.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("QUORVEL_REGISTRY_DIR");
        std::filesystem::remove_all(FDir);
    }
    void Put(const std::string& name, const std::string& value) {
        platform::RegWriteString(platform::HKEY_CURRENT_USER, "SOFTWARE\\Kestrova\\Quorvel\\Warnings", name, value);
    }
    std::filesystem::path FDir;
};

TEST_F(WarningsRegistry, StarredAndBadValuesArePassedOverAndReadingStopsAtAGap) {
    Put("1", "*942");
    Put("2", "1403");
    Put("3", "abc");
    Put("4", "28002");
    Put("6", "100");   // after the missing "5": not read
    EXPECT_EQ(ReadOracleWarnings(), (std::vector<int32_t>{1403, 28002}));

    Put("5", "");      // an empty value ends the list as well
    EXPECT_EQ(ReadOracleWarnings(), (std::vector<int32_t>{1403, 28002}));
}

TEST_F(WarningsRegistry, NoKeyGivesAnEmptyList) { EXPECT_TRUE(ReadOracleWarnings().empty()); }

TEST(MessageTable, TheQueryQuotesTheConstraintName) {
    EXPECT_EQ(MessageTableQuery("app_messages", "EMP_FK"),
              "select actions, parent_child, error_message from app_messages\r\n"
              "where constraint_name = 'EMP_FK'\r\n"
              "order by actions");
    EXPECT_EQ(MessageTableQuery("m", "A'B"),
              "select actions, parent_child, error_message from m\r\nwhere constraint_name = 'A''B'\r\norder by actions");
}
