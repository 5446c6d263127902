// Every shared object of the home exports exactly the names of its build.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Words(const char* list) {
    std::vector<std::string> out;
    std::istringstream in(list);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

struct Library {
    void* handle;
    explicit Library(const std::string& path) : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~Library() { if (handle) dlclose(handle); }
    bool Has(const std::string& name) const { return dlsym(handle, name.c_str()) != nullptr; }
};

const std::vector<std::string> kGroups[] = {
    Words(OCISIM_GROUP1), Words(OCISIM_GROUP2), Words(OCISIM_GROUP3), Words(OCISIM_GROUP4),
    Words(OCISIM_GROUP5), Words(OCISIM_GROUP6), Words(OCISIM_GROUP7), Words(OCISIM_GROUP8)};

TEST(Exports, FullClientHasEveryGroupAndNothingElse) {
    Library lib(OCISIM_HOME "/lib/libclntsh.so");
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    size_t total = 0;
    for (const auto& g : kGroups)
        for (const auto& n : g) {
            EXPECT_TRUE(lib.Has(n)) << n;
            ++total;
        }
    EXPECT_EQ(total, 20u + 1 + 1 + 115 + 2 + 18 + 1 + 6);
    // internal symbols stay hidden
    EXPECT_FALSE(lib.Has("_ZN6ocisim6client6LookupEPKvj"));
}

TEST(Exports, TransactionServerLibrary) {
    Library lib(OCISIM_HOME "/lib/liboramts.so");
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    for (const auto& n : Words(OCISIM_MTS_GROUP)) EXPECT_TRUE(lib.Has(n)) << n;
    using Test = int (*)();
    auto test = reinterpret_cast<Test>(dlsym(lib.handle, "OraMTSTransTest"));
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(test(), 0);
}

TEST(Exports, VariantsLeaveOutTheirGroups) {
    struct Case { const char* variant; std::vector<std::string> missing; };
    std::vector<std::string> oci7 = kGroups[0];
    oci7.insert(oci7.end(), kGroups[1].begin(), kGroups[1].end());
    oci7.insert(oci7.end(), kGroups[2].begin(), kGroups[2].end());
    const Case cases[] = {
        {"no-oci7", oci7},
        {"no-olog", {"olog"}},
        {"no-oci8", kGroups[3]},
        {"no-envcreate", {"OCIEnvCreate"}},
        {"no-fetch2", {"OCIStmtFetch2"}},
        {"no-oci92", kGroups[7]},
    };
    for (const auto& c : cases) {
        Library lib(std::string(OCISIM_VARIANTS) + "/" + c.variant + "/lib/libclntsh.so");
        ASSERT_NE(lib.handle, nullptr) << c.variant << ": " << dlerror();
        for (const auto& g : kGroups)
            for (const auto& n : g) {
                bool missing = std::find(c.missing.begin(), c.missing.end(), n) != c.missing.end();
                EXPECT_EQ(lib.Has(n), !missing) << c.variant << " " << n;
            }
    }
}

TEST(Exports, UnimplementedNamesFailCleanly) {
    Library lib(OCISIM_HOME "/lib/libclntsh.so");
    ASSERT_NE(lib.handle, nullptr);
    // called with no handles at all, every not-yet-driven name answers OCI_INVALID_HANDLE
    using Any = int (*)(void*, void*, void*);
    for (const char* n : {"OCILobRead", "OCIObjectNew", "OCIDirPathPrepare", "OCIDateTimeToText", "OCINumberToText",
                          "OCITypeByName", "OCIBindObject", "OCIDescribeAny", "ociepmsg"}) {
        auto f = reinterpret_cast<Any>(dlsym(lib.handle, n));
        ASSERT_NE(f, nullptr) << n;
        EXPECT_EQ(f(nullptr, nullptr, nullptr), -2) << n;
    }
}

} // namespace
