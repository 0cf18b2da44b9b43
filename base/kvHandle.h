// Handles that cannot be confused: a texture and a font are both numbered
// from 1 by the renderer (0 for none), but each number has a type of its
// own, so passing one for the other does not compile.
#pragma once

#include <cstdint>
#include <ostream>

namespace Korvell {

template <class Kind>
struct kvHandle {
    int32_t id = 0;

    constexpr kvHandle() = default;
    constexpr explicit kvHandle(int32_t value) : id(value) {}
    constexpr explicit operator bool() const { return id != 0; }
    constexpr bool operator==(kvHandle o) const { return id == o.id; }
    constexpr bool operator!=(kvHandle o) const { return id != o.id; }
    constexpr bool operator<(kvHandle o) const { return id < o.id; }
};

template <class Kind>
std::ostream& operator<<(std::ostream& out, kvHandle<Kind> h)
{
    return out << h.id;
}

} // namespace Korvell
