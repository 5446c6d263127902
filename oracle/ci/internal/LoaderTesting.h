#pragma once
// For tests only: brings the loader back to the state of a fresh process (nothing loaded,
// no saved library path, settings at their defaults), so each test starts from the same place.
namespace quorvel::testing_support {

void ResetLoaderForTesting();

} // namespace quorvel::testing_support
