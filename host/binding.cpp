#include "host/binding.h"

#include <array>
#include <cstring>

#include "host/number.h"

namespace qz::host {
namespace {

const void* g_engine = nullptr;
std::array<void*, kSlotCount> g_slots{};

// Both from the one table: each slot's name, and the slot of each look-up.
constexpr const char* kNames[] = {
#define QZ_HOST_FN(name) #name,
#define QZ_HOST_FN_AGAIN(name)
#include "host/host_functions.inc"
#undef QZ_HOST_FN_AGAIN
#undef QZ_HOST_FN
};

constexpr Fn kOrder[] = {
#define QZ_HOST_FN(name) Fn::name,
#define QZ_HOST_FN_AGAIN(name) Fn::name,
#include "host/host_functions.inc"
#undef QZ_HOST_FN_AGAIN
#undef QZ_HOST_FN
};

static_assert(sizeof(kNames) / sizeof(kNames[0]) == 429, "429 distinct host functions");
static_assert(sizeof(kOrder) / sizeof(kOrder[0]) == 431, "431 lookups in the table");
#if defined(__i386__)
// The engine's interface holds a 32-bit function pointer at 0xA30, and the
// engine's numbers are 32-bit: the product reads and passes exactly those.
static_assert(sizeof(LookupFn) == 4 && sizeof(void*) == 4, "32-bit lookup slot");
static_assert(sizeof(Number) == 4, "32-bit host numbers");
#endif

}  // namespace

std::int32_t bind(const void* engine_interface) {
    g_engine = engine_interface;
    LookupFn lookup;
    std::memcpy(&lookup, static_cast<const char*>(engine_interface) + kLookupOffset, sizeof lookup);
    for (Fn fn : kOrder) {
        g_slots[static_cast<std::size_t>(fn)] = lookup(kNames[static_cast<std::size_t>(fn)]);
    }
    return kBindResult;
}

void* slot(Fn fn) noexcept { return g_slots[static_cast<std::size_t>(fn)]; }

std::size_t lookup_rows() noexcept { return sizeof(kOrder) / sizeof(kOrder[0]); }
const char* lookup_name(std::size_t row) noexcept {
    return row < lookup_rows() ? kNames[static_cast<std::size_t>(kOrder[row])] : nullptr;
}

}  // namespace qz::host
