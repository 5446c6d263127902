#include "oracle/session/ConnectString.h"

#include <gtest/gtest.h>

using quorvel::ParseConnectString;
using quorvel::TConnectStringParts;

namespace {

struct Case {
    const char* text;
    bool more;
    const char* user;
    const char* password;
    const char* database;
    const char* connectAs;
};

const Case kCases[] = {
    {"scott", false, "scott", "", "", ""},
    {"scott/tiger", true, "scott", "tiger", "", ""},
    {"scott/tiger@orcl", true, "scott", "tiger", "orcl", ""},
    {"scott@orcl", true, "scott", "", "orcl", ""},
    {"sys/secret@orcl as sysdba", true, "sys", "secret", "orcl", "SYSDBA"},
    {"sys/secret AS\tSysOper", true, "sys", "secret", "", "SYSOPER"},
    {"sys/secret\tas sysdba", true, "sys", "secret", "", "SYSDBA"},
    {"/", true, "", "", "", ""},
    {"/ as sysdba", true, "", "", "", "SYSDBA"},
    // A "/" after the first separator stays in the password; "@" inside quotes stays too.
    {"scott/ti/ger@db", true, "scott", "ti/ger", "db", ""},
    {"scott/\"p@ss/w\"@db", true, "scott", "\"p@ss/w\"", "db", ""},
    {"\"we/ird\"/pw", true, "\"we/ird\"", "pw", "", ""},
    // Everything after "@" is the database, separators included.
    {"u/p@//host:1521/svc", true, "u", "p", "//host:1521/svc", ""},
    {"u/p@db@more", true, "u", "p", "db@more", ""},
};

} // namespace

TEST(ConnectString, SplitsUserPasswordDatabaseAndConnectAs) {
    for (const Case& c : kCases) {
        TConnectStringParts parts;
        EXPECT_EQ(ParseConnectString(c.text, parts), c.more) << c.text;
        EXPECT_EQ(parts.User, c.user) << c.text;
        EXPECT_EQ(parts.Password, c.password) << c.text;
        EXPECT_EQ(parts.Database, c.database) << c.text;
        EXPECT_EQ(parts.ConnectAs, c.connectAs) << c.text;
    }
}

TEST(ConnectString, EmptyTextIsComposedFromTheCurrentParts) {
    TConnectStringParts parts{"scott", "tiger", "orcl", "SYSDBA"};
    EXPECT_TRUE(ParseConnectString("", parts));
    EXPECT_EQ(parts.User, "scott");
    EXPECT_EQ(parts.Password, "tiger");
    EXPECT_EQ(parts.Database, "orcl");
    EXPECT_EQ(parts.ConnectAs, "SYSDBA");

    TConnectStringParts userOnly{"scott", "", "", ""};
    EXPECT_FALSE(ParseConnectString("", userOnly));
    EXPECT_EQ(userOnly.User, "scott");
}
