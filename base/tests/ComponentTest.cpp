#include "base/Component.h"
#include "base/Set.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Counts its destructions and forgets a referenced component that goes away.
class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, std::vector<std::string>* log, std::string tag)
        : TComponent(owner), FLog(log), FTag(std::move(tag)) {}
    ~TProbe() override { FLog->push_back("destroy " + FTag); }
    void SetReference(TComponent* c) {
        if (FReference) FReference->RemoveFreeNotification(this);
        FReference = c;
        if (c) c->FreeNotification(this);
    }
    TComponent* Reference() const { return FReference; }
    std::vector<std::pair<TComponent*, TOperation>> Seen;

protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        Seen.emplace_back(component, operation);
        if (operation == opRemove && component == FReference) FReference = nullptr;
    }

private:
    std::vector<std::string>* FLog;
    std::string FTag;
    TComponent* FReference = nullptr;
};

} // namespace

TEST(Component, OwnerDestroysWhatItOwnsLastFirst) {
    std::vector<std::string> log;
    auto* owner = new TProbe(nullptr, &log, "owner");
    auto* a = new TProbe(owner, &log, "a");
    new TProbe(owner, &log, "b");
    new TProbe(a, &log, "a1");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(0), a);
    EXPECT_EQ(a->Owner(), owner);
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"destroy owner", "destroy b", "destroy a", "destroy a1"}));
}

TEST(Component, DestroyedComponentLeavesItsOwner) {
    std::vector<std::string> log;
    TProbe owner(nullptr, &log, "owner");
    auto* a = new TProbe(&owner, &log, "a");
    auto* b = new TProbe(&owner, &log, "b");
    const std::uintptr_t aId = reinterpret_cast<std::uintptr_t>(static_cast<TComponent*>(a));
    delete a;
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), b);
    // The owner and the other components heard of the insert and the removal.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(owner.Seen.front().first), aId);
    EXPECT_EQ(owner.Seen.front().second, opInsert);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b->Seen.back().first), aId);
    EXPECT_EQ(b->Seen.back().second, opRemove);
    EXPECT_THROW(owner.Components(1), EComponentError);
}

TEST(Component, FreeNotificationMakesReferrersForget) {
    std::vector<std::string> log;
    TProbe referrer(nullptr, &log, "referrer");
    auto* target = new TProbe(nullptr, &log, "target");
    referrer.SetReference(target);
    delete target;
    EXPECT_EQ(referrer.Reference(), nullptr);
    // A referrer that goes first is dropped from the target's list: no call into freed memory.
    auto* target2 = new TProbe(nullptr, &log, "target2");
    {
        TProbe shortLived(nullptr, &log, "short");
        shortLived.SetReference(target2);
    }
    delete target2; // under the address sanitizer a stale partner would show here
    // Removing the notification before destruction means no message.
    TProbe other(nullptr, &log, "other");
    auto* target3 = new TProbe(nullptr, &log, "target3");
    other.SetReference(target3);
    other.SetReference(nullptr);
    other.Seen.clear();
    delete target3;
    EXPECT_TRUE(other.Seen.empty());
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwner) {
    std::vector<std::string> log;
    TProbe owner(nullptr, &log, "owner");
    auto* a = new TProbe(&owner, &log, "a");
    auto* b = new TProbe(&owner, &log, "b");
    a->SetName("OracleSession1");
    EXPECT_EQ(owner.FindComponent("oraclesession1"), a);
    try {
        b->SetName("ORACLESESSION1");
        FAIL();
    } catch (const EComponentError& e) {
        EXPECT_EQ(e.Message(), "A component named ORACLESESSION1 already exists");
    }
    for (const char* bad : {"1abc", "a b", "a-b", "ä"}) EXPECT_THROW(b->SetName(bad), EComponentError) << bad;
    b->SetName("_Query2");
    b->SetName("");
    EXPECT_EQ(owner.FindComponent(""), nullptr);
    // Ownership moves.
    TProbe other(nullptr, &log, "other");
    other.InsertComponent(a);
    EXPECT_EQ(a->Owner(), &other);
    EXPECT_EQ(owner.ComponentCount(), 1);
    owner.RemoveComponent(b);
    EXPECT_EQ(b->Owner(), nullptr);
    delete b;
}

namespace {
enum TLogonOption { ldAuto, ldDatabase, ldDatabaseList, ldLogonHistory, ldConnectAs, ldPasswordOnly };
}

TEST(Set, Operations) {
    constexpr TSet<TLogonOption> a{ldAuto, ldDatabase};
    static_assert(a.Contains(ldDatabase) && !a.Contains(ldConnectAs));
    TSet<TLogonOption> b{ldDatabase, ldLogonHistory};
    EXPECT_EQ(a + b, (TSet<TLogonOption>{ldAuto, ldDatabase, ldLogonHistory}));
    EXPECT_EQ(a - b, TSet<TLogonOption>{ldAuto});
    EXPECT_EQ(a * b, TSet<TLogonOption>{ldDatabase});
    EXPECT_TRUE(TSet<TLogonOption>{ldAuto} <= a);
    EXPECT_FALSE(b <= a);
    TSet<TLogonOption> s;
    EXPECT_TRUE(s.Empty());
    s += ldPasswordOnly;
    s.Include(ldAuto).Exclude(ldAuto);
    EXPECT_EQ(s.Count(), 1);
    EXPECT_TRUE(s.Contains(ldPasswordOnly));
    EXPECT_EQ(s.Bits(), 1u << 5);
    EXPECT_THROW(s.Include(static_cast<TLogonOption>(64)), std::out_of_range);
}
