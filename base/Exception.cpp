#include "base/Exception.h"

namespace quorvel {

// Anchors the vtable in one translation unit.
Exception::~Exception() = default;

} // namespace quorvel
