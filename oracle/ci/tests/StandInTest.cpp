// The loader on the stand-in client: the home laid out by the build, found through
// ORACLE_HOME, and its test builds that lack groups of names.
#include "oracle/ci/tests/LoaderFixture.h"

#include "base/Exception.h"
#include "oracle/ci/OracleCI.h"
#include "platform/ClientFiles.h"

#include <atomic>
#include <thread>

using namespace quorvel;
using quorvel::testing_support::LoadFailure;
using quorvel::testing_support::LoaderTest;

namespace {

const std::string StandInHome = QUORVEL_STANDIN_HOME;

std::string Variant(const std::string& name)
{
    return std::string(QUORVEL_STANDIN_VARIANTS) + "/" + name + "/lib/libclntsh.so";
}

} // namespace

class StandIn : public LoaderTest {};

TEST_F(StandIn, HomeFromTheEnvironmentLoadsAndWorks)
{
    SetEnv("ORACLE_HOME", StandInHome);
    ASSERT_EQ(LoadFailure(), "");
    EXPECT_EQ(OCIDLL, StandInHome + "/lib/libclntsh.so");
    EXPECT_EQ(OCIInitializationTrace(), "OracleHomeKey: \r\nOracleHomeDir: " + StandInHome +
                                            "\r\nFound: libclntsh.so\r\nUsing: " + StandInHome + "/lib/libclntsh.so");
    EXPECT_TRUE(HasOCI7 && HasOlog && HasOpinit && HasOCI8 && OCI8Allowed && HasOCI81 && HasOCI9 && HasOCI92);
    EXPECT_EQ(platform::GetLibrarySearchPath(), StandInHome + "/lib");

    // The table reaches the client: an environment and an error handle, allocated and freed.
    OCIEnv* env = nullptr;
    ASSERT_EQ(OCI.OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
              OCI_SUCCESS);
    ASSERT_NE(env, nullptr);
    void* error = nullptr;
    ASSERT_EQ(OCI.OCIHandleAlloc(env, &error, OCI_HTYPE_ERROR, 0, nullptr), OCI_SUCCESS);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(OCI.OCIHandleFree(error, OCI_HTYPE_ERROR), OCI_SUCCESS);
    EXPECT_EQ(OCI.OCIHandleFree(env, OCI_HTYPE_ENV), OCI_SUCCESS);

    // The support library beside it.
    EnsureMTSLoaded();
    EXPECT_TRUE(HasMTS);
    EXPECT_NE(OCI.OraMTSSvcGet, nullptr);

    UnloadOCI();
    EXPECT_FALSE(OCILoaded());
    EXPECT_EQ(OCIDLL, "");
    EXPECT_EQ(OCI.OCIEnvCreate, nullptr);
    EXPECT_FALSE(HasMTS);
}

// A thread that asks whether the client is loaded while another loads it sees either nothing
// or a client whose entry points are all bound.
TEST_F(StandIn, ThreadsAskingWhileTheClientLoadsSeeItWhole)
{
    SetEnv("ORACLE_HOME", StandInHome);
    std::atomic<bool> done{false};
    std::atomic<int> halfBound{0};
    std::thread asker([&] {
        while (!done.load()) {
            if (OCILoaded() && (OCI.OCIEnvCreate == nullptr || !HasOCI8)) ++halfBound;
        }
    });
    EnsureOCILoaded();
    done = true;
    asker.join();
    EXPECT_EQ(halfBound.load(), 0);
    EXPECT_TRUE(OCILoaded());
    UnloadOCI();
}

TEST_F(StandIn, BuildsWithoutGroups)
{
    struct Case {
        const char* variant;
        bool oci7, olog, opinit, oci8, allowed, oci81, oci9, oci92;
    };
    const Case cases[] = {
        {"no-oci7", false, false, false, true, true, true, true, true},
        {"no-olog", true, false, false, true, true, true, true, true},
        {"no-oci8", true, true, true, false, false, false, false, false},
        {"no-envcreate", true, true, true, true, true, false, false, false},
        {"no-fetch2", true, true, true, true, true, true, false, false},
        {"no-oci92", true, true, true, true, true, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variant);
        OCIDLL = Variant(c.variant);
        ASSERT_EQ(LoadFailure(), "");
        EXPECT_EQ(HasOCI7, c.oci7);
        EXPECT_EQ(HasOlog, c.olog);
        EXPECT_EQ(HasOpinit, c.opinit);
        EXPECT_EQ(HasOCI8, c.oci8);
        EXPECT_EQ(OCI8Allowed, c.allowed);
        EXPECT_EQ(HasOCI81, c.oci81);
        EXPECT_EQ(HasOCI9, c.oci9);
        EXPECT_EQ(HasOCI92, c.oci92);
        EXPECT_EQ(OCI.OCIEnvCreate != nullptr, c.oci81);
        EXPECT_EQ(OCI.OCIStmtFetch2 != nullptr, c.oci9);
        if (c.oci8 && !c.oci81) {
            // Initialised with OCIInitialize at load; environments then come from OCIEnvInit.
            OCIEnv* env = nullptr;
            ASSERT_EQ(OCI.OCIEnvInit(&env, OCI_DEFAULT, 0, nullptr), OCI_SUCCESS);
            ASSERT_NE(env, nullptr);
            EXPECT_EQ(OCI.OCIHandleFree(env, OCI_HTYPE_ENV), OCI_SUCCESS);
        }
        UnloadOCI();
    }
}

TEST_F(StandIn, ForceOCI7WithoutOCI7Names)
{
    ForceOCI7 = true;
    OCIDLL = Variant("no-oci7");
    EXPECT_EQ(LoadFailure(),
              "Initialization error\r\nCould not initialize \"" + OCIDLL + "\"\r\n\r\nOCIDLL forced to " + OCIDLL);
    ForceOCI7 = false;
    EXPECT_EQ(LoadFailure(), "");
    EXPECT_TRUE(OCI8Allowed);
}
