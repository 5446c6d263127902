// Connect-string resolution of OCIServerAttach: net service names, descriptors, paths.
#include "ocisim/tests/OciFixture.h"

#include <fstream>

using namespace ocitest;

namespace {

struct Connect : ::testing::Test {
    std::string home, admin;
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    void SetUp() override {
        home = TempDir("home");
        admin = home + "/network/admin";
        std::filesystem::create_directories(admin);
        std::ofstream(admin + "/tnsnames.ora")
            << "# comment\n"
               "QUORVEL, QUORVEL.WORLD =\n  (DESCRIPTION = (ADDRESS = (PROTOCOL = BEQ)(PROGRAM = ocisim))\n"
               "    (DIRECTORY = ?/oradata/quorvel)(CONNECT_DATA = (SERVICE_NAME = QUORVEL)))\n"
               "other.example.com = (DESCRIPTION=(DIRECTORY=" << home << "/elsewhere))\n";
        std::ofstream(admin + "/sqlnet.ora") << "NAMES.DEFAULT_DOMAIN = example.com\n";
        setenv("ORACLE_HOME", home.c_str(), 1);
        unsetenv("TNS_ADMIN");
        unsetenv("TWO_TASK");
        OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr);
    }
    void TearDown() override {
        OCIHandleFree(env, OCI_HTYPE_ENV);
        unsetenv("ORACLE_HOME");
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
    // The code the attach ends with: 0 when attached, 12541 in a build without the engine.
    sb4 Attach(const std::string& connect) {
        OCIServer* srv = nullptr;
        OCIHandleAlloc(env, (void**)&srv, OCI_HTYPE_SERVER, 0, nullptr);
        sword r = OCIServerAttach(srv, err, (const OraText*)connect.data(), (sb4)connect.size(), OCI_DEFAULT);
        sb4 code = r == OCI_SUCCESS ? 0 : ErrCode(err);
        if (r == OCI_SUCCESS) OCIServerDetach(srv, err, 0);
        OCIHandleFree(srv, OCI_HTYPE_SERVER);
        return code;
    }
    static bool Resolved(sb4 code) { return code == 0 || code == 12541; }
};

TEST_F(Connect, NamesDescriptorsAndPaths) {
    struct Case { std::string connect; bool resolves; std::string directory; } cases[] = {
        {"QUORVEL", true, "/oradata/quorvel"},
        {"quorvel.world", true, "/oradata/quorvel"},
        {"other", true, "/elsewhere"},               // the default domain is appended
        {"OTHER.EXAMPLE.COM", true, "/elsewhere"},
        {"", true, "/oradata/quorvel"},             // the default database
        {"//localhost:1521/sales", true, "/oradata/sales"},
        {"(DESCRIPTION=(DIRECTORY=?/oradata/literal))", true, "/oradata/literal"},
        {"unknown", false, ""},
        {"other.world", false, ""},
    };
    for (const auto& c : cases) {
        sb4 code = Attach(c.connect);
        if (!c.resolves) {
            EXPECT_EQ(code, 12154) << c.connect;
            EXPECT_EQ(ErrText(err), "ORA-12154: TNS:could not resolve the connect identifier specified");
            continue;
        }
        EXPECT_TRUE(Resolved(code)) << c.connect << ": " << ErrText(err);
        // the database directory is made on first connect
        EXPECT_TRUE(std::filesystem::is_directory(home + c.directory)) << c.connect;
    }
}

TEST_F(Connect, TnsAdminAndTwoTask) {
    std::string other = TempDir("admin");
    std::ofstream(other + "/tnsnames.ora") << "ALIAS = (DESCRIPTION=(DIRECTORY=" << home << "/via-tns-admin))\n";
    setenv("TNS_ADMIN", other.c_str(), 1);
    EXPECT_TRUE(Resolved(Attach("alias")));
    EXPECT_TRUE(std::filesystem::is_directory(home + "/via-tns-admin"));
    EXPECT_EQ(Attach("QUORVEL"), 12154);  // the home's own file is not read any more
    setenv("TWO_TASK", "alias", 1);
    EXPECT_TRUE(Resolved(Attach("")));
    unsetenv("TWO_TASK");
    unsetenv("TNS_ADMIN");
    std::string path = home + "/by-path";
    EXPECT_TRUE(Resolved(Attach(path)));
    EXPECT_TRUE(std::filesystem::is_directory(path));
    std::error_code ec;
    std::filesystem::remove_all(other, ec);
}

} // namespace
