#include "base/Component.h"

#include "base/TextCase.h"

#include <algorithm>

namespace quorvel {

EComponentError::~EComponentError() = default;

namespace {

bool IsValidIdent(std::string_view s) {
    if (s.empty()) return false;
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!letter(s[0])) return false;
    for (char c : s)
        if (!letter(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

void Erase(std::vector<TComponent*>& list, TComponent* c) {
    auto it = std::find(list.begin(), list.end(), c);
    if (it != list.end()) list.erase(it);
}

} // namespace

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    FDestroying = true;
    // Partners forget this component; they stay registered with nothing.
    while (!FFreeNotifies.empty()) {
        TComponent* partner = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        Erase(partner->FFreeNotifies, this);
        partner->Notification(this, opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) throw EComponentError("List index out of bounds (" + std::to_string(index) + ")");
    return FComponents[size_t(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (AnsiSameText(c->FName, name)) return c;
    return nullptr;
}

void TComponent::SetName(const std::string& name) {
    if (name == FName) return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError("Component name \"" + name + "\" is not a valid identifier");
    if (FOwner && !name.empty()) {
        TComponent* other = FOwner->FindComponent(name);
        if (other && other != this) throw EComponentError("A component named " + name + " already exists");
    }
    FName = name;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component == this || component->FOwner == this) return;
    if (!component->FName.empty() && FindComponent(component->FName))
        throw EComponentError("A component named " + component->FName + " already exists");
    if (component->FOwner) component->FOwner->RemoveComponent(component);
    FComponents.push_back(component);
    component->FOwner = this;
    NotifyAll(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (!component || component->FOwner != this) return;
    NotifyAll(component, opRemove);
    Erase(FComponents, component);
    component->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        // The component leaves the list itself when it is destroyed; take it out first so a
        // component that refuses to leave cannot loop forever.
        FComponents.pop_back();
        c->FOwner = nullptr;
        NotifyAll(c, opRemove);
        delete c;
    }
}

void TComponent::NotifyAll(TComponent* component, TOperation operation) {
    Notification(component, operation);
    // Indexing, not iterators: a notification may remove components.
    for (size_t i = 0; i < FComponents.size(); ++i) {
        TComponent* c = FComponents[i];
        if (c != component) c->Notification(component, operation);
    }
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
        FFreeNotifies.push_back(component);
    if (std::find(component->FFreeNotifies.begin(), component->FFreeNotifies.end(), this) == component->FFreeNotifies.end())
        component->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    Erase(FFreeNotifies, component);
    Erase(component->FFreeNotifies, this);
}

void TComponent::Notification(TComponent*, TOperation) {}

} // namespace quorvel
