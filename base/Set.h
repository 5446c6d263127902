#pragma once
// TSet: a set of the members of an enumeration, as a bit set. Members must have the values
// 0..63 (enumerations of this library number their members from 0 in declared order).
#include <cstdint>
#include <initializer_list>
#include <stdexcept>

namespace quorvel {

template <typename E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members) {
        for (E m : members) FBits |= Bit(m);
    }

    constexpr bool Contains(E m) const { return (FBits & Bit(m)) != 0; }
    constexpr TSet& Include(E m) { FBits |= Bit(m); return *this; }
    constexpr TSet& Exclude(E m) { FBits &= ~Bit(m); return *this; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr int Count() const { return __builtin_popcountll(FBits); }
    constexpr std::uint64_t Bits() const { return FBits; }
    static constexpr TSet FromBits(std::uint64_t bits) { TSet s; s.FBits = bits; return s; }

    constexpr TSet operator+(TSet o) const { return FromBits(FBits | o.FBits); }  // union
    constexpr TSet operator-(TSet o) const { return FromBits(FBits & ~o.FBits); } // difference
    constexpr TSet operator*(TSet o) const { return FromBits(FBits & o.FBits); }  // intersection
    constexpr TSet& operator+=(TSet o) { FBits |= o.FBits; return *this; }
    constexpr TSet& operator-=(TSet o) { FBits &= ~o.FBits; return *this; }
    constexpr TSet& operator*=(TSet o) { FBits &= o.FBits; return *this; }
    constexpr TSet operator+(E m) const { return FromBits(FBits | Bit(m)); }
    constexpr TSet operator-(E m) const { return FromBits(FBits & ~Bit(m)); }
    constexpr TSet& operator+=(E m) { return Include(m); }
    constexpr TSet& operator-=(E m) { return Exclude(m); }
    // Subset and superset.
    constexpr bool operator<=(TSet o) const { return (FBits & ~o.FBits) == 0; }
    constexpr bool operator>=(TSet o) const { return o <= *this; }
    friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }

private:
    static constexpr std::uint64_t Bit(E m) {
        auto v = static_cast<long long>(m);
        if (v < 0 || v > 63) throw std::out_of_range("Set member out of range");
        return std::uint64_t(1) << v;
    }
    std::uint64_t FBits = 0;
};

} // namespace quorvel
