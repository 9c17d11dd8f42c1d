// Names of the snapshot records against the names a caller gives: the one
// comparison of the diagnostics, with the letter case folded (the name
// tables) or counted (the module dump's process name).
#pragma once
#include <cstddef>

namespace qz::diag {

enum class Letters {
    exact,   // every byte compares unchanged
    folded,  // the ASCII letters A-Z equal a-z; every other byte compares unchanged
};

// `field` is a record field of `capacity` bytes whose end counts as a
// terminator; `name` is read only up to its own terminator.
bool same_name(const char* field, std::size_t capacity, const char* name, Letters letters) noexcept;

}  // namespace qz::diag
