#pragma once
// TComponent: ownership, names and free-notification.
//
// An owner destroys the components it owns when it is destroyed (the last inserted first).
// A component that registers with FreeNotification on another is told through Notification
// (opRemove) when that one is destroyed, so it can forget its pointer; the registration goes
// both ways and is dropped when either side is destroyed.
// A component given an owner must be allocated with new: the owner deletes it.
#include "base/Exception.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// "Component name \"" + name + "\" is not a valid identifier" and
// "A component named " + name + " already exists".
class EComponentError : public Exception {
public:
    using Exception::Exception;
    ~EComponentError() override;
};

enum TOperation { opInsert, opRemove };

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    // Empty, or a letter or '_' followed by letters, digits and '_'; unique (ignoring case)
    // among the components of the owner.
    virtual void SetName(const std::string& name);
    std::intptr_t Tag = 0;

    int ComponentCount() const { return int(FComponents.size()); }
    TComponent* Components(int index) const; // EComponentError for a bad index
    TComponent* FindComponent(std::string_view name) const; // ignoring case; nullptr when none
    // Takes over / gives up ownership; a component has at most one owner.
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    // Destroys the owned components now.
    void DestroyComponents();

    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);
    bool Destroying() const { return FDestroying; }

protected:
    // Called on the owner and its components when a component is inserted or removed, and on
    // every free-notification partner of a component being destroyed.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void NotifyAll(TComponent* component, TOperation operation);
    TComponent* FOwner = nullptr;
    std::string FName;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    bool FDestroying = false;
};

} // namespace quorvel
