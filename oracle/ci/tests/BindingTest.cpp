// Binding in groups, the capability flags and process initialisation, on test builds of a
// client that leave out chosen names.
#include "oracle/ci/tests/LoaderFixture.h"

#include "base/Exception.h"
#include "oracle/ci/OracleCI.h"
#include "platform/Module.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace quorvel;
using quorvel::testing_support::LoadFailure;
using quorvel::testing_support::LoaderTest;

namespace {

struct Flags {
    bool OCI7, Olog, Opinit, OCI8, Allowed, ExtProc, OCI81, OCI9, OCI92;
};

Flags CurrentFlags()
{
    return {HasOCI7, HasOlog, HasOpinit, HasOCI8, OCI8Allowed, HasExtProc, HasOCI81, HasOCI9, HasOCI92};
}

bool operator==(const Flags& a, const Flags& b)
{
    return a.OCI7 == b.OCI7 && a.Olog == b.Olog && a.Opinit == b.Opinit && a.OCI8 == b.OCI8 && a.Allowed == b.Allowed &&
           a.ExtProc == b.ExtProc && a.OCI81 == b.OCI81 && a.OCI9 == b.OCI9 && a.OCI92 == b.OCI92;
}

std::ostream& operator<<(std::ostream& out, const Flags& f)
{
    return out << "OCI7=" << f.OCI7 << " Olog=" << f.Olog << " Opinit=" << f.Opinit << " OCI8=" << f.OCI8
               << " Allowed=" << f.Allowed << " ExtProc=" << f.ExtProc << " OCI81=" << f.OCI81 << " OCI9=" << f.OCI9
               << " OCI92=" << f.OCI92;
}

// The counters of the two initialisation calls inside a loaded test client.
struct InitCalls {
    int Opinit = 0;
    int Initialize = 0;
    unsigned Mode = 0;
};

InitCalls ReadInitCalls(platform::ModuleHandle module)
{
    InitCalls calls;
    auto opinit = reinterpret_cast<int (*)()>(platform::ModuleSymbol(module, "fake_opinit_calls"));
    auto initialize = reinterpret_cast<int (*)()>(platform::ModuleSymbol(module, "fake_initialize_calls"));
    auto mode = reinterpret_cast<unsigned (*)()>(platform::ModuleSymbol(module, "fake_initialize_mode"));
    if (opinit && initialize && mode)
        calls = {opinit(), initialize(), mode()};
    return calls;
}

} // namespace

class Binding : public LoaderTest {};

TEST_F(Binding, FlagsFollowTheGroupsTheClientExports)
{
    struct Case {
        const char* variant;
        Flags flags;
        int opinitCalls, initializeCalls;
    };
    const Case cases[] = {
        {"full", {true, true, true, true, true, true, true, true, true}, 0, 0},
        // Without orlon the whole OCI7 core is missing, and olog and opinit with it.
        {"no-oci7", {false, false, false, true, true, true, true, true, true}, 0, 0},
        // Without olog, opinit (which the client has) does not count either.
        {"no-olog", {true, false, false, true, true, true, true, true, true}, 0, 0},
        {"oci7-only", {true, true, true, false, false, false, false, false, false}, 1, 0},
        // Without OCIEnvCreate: no 8.1 group, so neither the later groups; OCIInitialize runs once.
        {"no-envcreate", {true, true, true, true, true, true, false, false, false}, 0, 1},
        {"no-fetch2", {true, true, true, true, true, true, true, false, false}, 0, 0},
        {"no-oci92", {true, true, true, true, true, true, true, true, false}, 0, 0},
        {"no-extproc", {true, true, true, true, true, false, true, true, true}, 0, 0},
        // One name missing in the middle of the OCI8 base group: the whole group and all the
        // groups that extend it are unusable; the client still loads for OCI7 and opinit runs.
        {"no-break", {true, true, true, false, false, false, false, false, false}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variant);
        OCIDLL = FakeClient(c.variant);
        const platform::ModuleHandle probe = platform::LoadModule(OCIDLL);
        ASSERT_TRUE(platform::IsModuleLoaded(probe)) << platform::LastModuleError();
        const InitCalls before = ReadInitCalls(probe);
        EXPECT_EQ(LoadFailure(), "");
        EXPECT_TRUE(OCILoaded());
        EXPECT_EQ(CurrentFlags(), c.flags);
        const InitCalls after = ReadInitCalls(probe);
        EXPECT_EQ(after.Opinit - before.Opinit, c.opinitCalls);
        EXPECT_EQ(after.Initialize - before.Initialize, c.initializeCalls);
        if (c.initializeCalls) {
            EXPECT_EQ(after.Mode, 3u);  // threaded and object
        }
        // Loading again does nothing more.
        EnsureOCILoaded();
        EXPECT_EQ(ReadInitCalls(probe).Initialize, after.Initialize);
        EXPECT_EQ(ReadInitCalls(probe).Opinit, after.Opinit);
        platform::FreeModule(probe);
        UnloadOCI();
        EXPECT_EQ(OCIDLL, FakeClient(c.variant)) << "a forced client survives unloading";
    }
}

TEST_F(Binding, SlotsOfAFailedGroupStopAtTheMissingName)
{
    OCIDLL = FakeClient("no-break");
    EnsureOCILoaded();
    // Names before the missing one were bound, the missing one and everything after are null.
    EXPECT_NE(OCI.OCIInitialize, nullptr);
    EXPECT_NE(OCI.OCILobWrite, nullptr);
    EXPECT_EQ(OCI.OCIBreak, nullptr);
    EXPECT_EQ(OCI.OCIServerVersion, nullptr);
    EXPECT_EQ(OCI.OCICacheFlush, nullptr);
    // Groups extending the failed one are not looked up at all.
    EXPECT_EQ(OCI.OCIEnvCreate, nullptr);
    EXPECT_EQ(OCI.OCIStmtFetch2, nullptr);
    EXPECT_NE(OCI.orlon, nullptr);
    EXPECT_NE(OCI.opinit, nullptr);

    UnloadOCI();
    EXPECT_FALSE(OCILoaded());
    EXPECT_EQ(OCI.orlon, nullptr);
    EXPECT_EQ(OCI.OCIInitialize, nullptr);
    EXPECT_FALSE(HasOCI7);
}

TEST_F(Binding, ForceOCI7)
{
    // A full client with ForceOCI7: OCI8 is found but not allowed, and OCI7 initialisation runs.
    ForceOCI7 = true;
    OCIDLL = FakeClient("full");
    const platform::ModuleHandle probe = platform::LoadModule(OCIDLL);
    const InitCalls before = ReadInitCalls(probe);
    EnsureOCILoaded();
    EXPECT_TRUE(HasOCI8);
    EXPECT_FALSE(OCI8Allowed);
    const InitCalls after = ReadInitCalls(probe);
    EXPECT_EQ(after.Opinit - before.Opinit, 1);
    EXPECT_EQ(after.Initialize - before.Initialize, 0);
    platform::FreeModule(probe);
    UnloadOCI();

    // A client without the OCI7 names cannot be used at all then.
    OCIDLL = FakeClient("no-oci7");
    EXPECT_EQ(LoadFailure(), "Initialization error\r\nCould not initialize \"" + OCIDLL + "\"\r\n\r\nOCIDLL forced to " +
                                 OCIDLL);
    EXPECT_FALSE(OCILoaded());
    EXPECT_FALSE(HasOCI7 || HasOCI8);
}

TEST_F(Binding, ClientWithoutAnyGroupIsNotUsable)
{
    OCIDLL = FakeClient("nothing");
    EXPECT_EQ(LoadFailure(),
              "Initialization error\r\nCould not initialize \"" + OCIDLL + "\"\r\n\r\nOCIDLL forced to " + OCIDLL);
    EXPECT_FALSE(OCILoaded());
    EXPECT_EQ(OCI.OCIInitialize, nullptr);
}

TEST_F(Binding, SupportLibrary)
{
    const std::string dir = MakeDir("client");
    OCIDLL = LinkFile("client/libclntsh.so", FakeClient("full"));

    // Missing: "Could not locate" with the path of the last name tried.
    try {
        EnsureMTSLoaded();
        FAIL() << "no support library";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Initialization error\r\nCould not locate \"" + dir + "/liboramts.so\"");
    }
    EXPECT_FALSE(HasMTS);
    UnloadOCI();

    // One name missing: "Could not initialize", nothing bound.
    LinkFile("client/liboramts.so", FakeClientDir("mts-partial") + "/liboramts.so");
    try {
        EnsureMTSLoaded();
        FAIL() << "incomplete support library";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Initialization error\r\nCould not initialize \"" + dir + "/liboramts.so\"");
    }
    EXPECT_FALSE(HasMTS);
    EXPECT_EQ(OCI.OraMTSSvcGet, nullptr);
    UnloadOCI();

    // liboramts10.so is preferred over liboramts.so.
    LinkFile("client/liboramts10.so", FakeClientDir("mts") + "/liboramts.so");
    EnsureMTSLoaded();
    EXPECT_TRUE(HasMTS);
    EXPECT_TRUE(OCILoaded());
    EXPECT_NE(OCI.OraMTSSvcGet, nullptr);
    EXPECT_NE(OCI.OraMTSTransTest, nullptr);
    EnsureMTSLoaded();  // already loaded
    UnloadOCI();
    EXPECT_FALSE(HasMTS);
    EXPECT_EQ(OCI.OraMTSSvcGet, nullptr);
}

TEST_F(Binding, ConcurrentLoadsInitialiseOnce)
{
    OCIDLL = FakeClient("no-envcreate");
    const platform::ModuleHandle probe = platform::LoadModule(OCIDLL);
    const InitCalls before = ReadInitCalls(probe);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            if (!LoadFailure().empty())
                ++failures;
            if (!HasOCI8)  // read without locking once loaded
                ++failures;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(ReadInitCalls(probe).Initialize - before.Initialize, 1);
    EXPECT_EQ(OCIGlobalLock().Entered(), 0);
    platform::FreeModule(probe);
}
