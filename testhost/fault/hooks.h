// Typed hooks for the library's imports. A hook is Hook<Id, F>::call, where F
// is the SDK's own declaration (decltype(::CreateFileW)): it has exactly the
// imported function's type, calling convention included (stdcall for the
// system DLLs, cdecl for msvcrt on i686), so a hook that strays from the
// declaration does not compile. Each asks the fault plan, and either returns
// the failure its row describes, with its last-error code and errno, or calls
// the real function and keeps the books of what it handed out or took back.
#pragma once
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <type_traits>

#include "testhost/fault/plan.h"

namespace qz::test::fault {

// What a call hands out or takes back: its result, or the argument `arg`
// (open_out: the handle stored through that argument).
struct Books {
    enum What : unsigned char { none, opens, closes, resizes, opens_out } what = none;
    Kind kind = Kind::block;
    int arg = 0;
};

// How a call fails: the result, the last-error code and errno it leaves
// (0: left as they were). A row that never fails only counts for the books.
struct Failure {
    bool fails = false;
    std::intptr_t result = 0;
    DWORD error = 0;
    int err = 0;
    Books books{};

    Failure& opens(Kind k) { return books = {Books::opens, k, 0}, *this; }
    Failure& closes(Kind k, int arg = 0) { return books = {Books::closes, k, arg}, *this; }
    Failure& resizes() { return books = {Books::resizes, Kind::block, 0}, *this; }
    Failure& opens_out(Kind k, int arg) { return books = {Books::opens_out, k, arg}, *this; }
};

template <class T>
Failure fails(T result, DWORD error = 0, int err = 0) {
    if constexpr (std::is_pointer_v<T>) return {true, reinterpret_cast<std::intptr_t>(result), error, err};
    else return {true, static_cast<std::intptr_t>(result), error, err};
}
inline Failure counts() { return {}; }

// One hooked entry. `real` is what the library would have called (from its
// import table, or from GetProcAddress for an entry looked up at run time).
struct Row {
    const char* dll = nullptr;  // lower case
    const char* name = nullptr;
    Failure failure;
    void* hook = nullptr;
    void* real = nullptr;
};

// Gives the row's failure: its last-error code and errno.
inline void leave_error(const Failure& f) {
    if (f.error) SetLastError(f.error);
    if (f.err) errno = f.err;
}

void keep_books(const Books& books, std::intptr_t result, const std::intptr_t* args);

namespace detail {

template <class T>
std::intptr_t word(T v) {
    if constexpr (std::is_pointer_v<T>) return reinterpret_cast<std::intptr_t>(v);
    else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) return static_cast<std::intptr_t>(v);
    else return 0;  // a structure passed by value
}

template <class R>
R as(std::intptr_t v) {
    if constexpr (std::is_pointer_v<R>) return reinterpret_cast<R>(v);
    else return static_cast<R>(v);
}

template <class R, class Real, class... A>
R pass(const Row& row, const void* caller, A... a) {
    const Real real = reinterpret_cast<Real>(row.real);
    if (row.failure.fails && take(row.name, caller)) {
        leave_error(row.failure);
        if constexpr (!std::is_void_v<R>) return as<R>(row.failure.result);
        else return;
    }
    const std::intptr_t args[] = {word(a)..., 0};
    if constexpr (std::is_void_v<R>) {
        real(a...);
        keep_books(row.failure.books, 0, args);
    } else {
        const R r = real(a...);
        keep_books(row.failure.books, word(r), args);
        return r;
    }
}

}  // namespace detail

template <int Id, class F>
struct Hook;

#if defined(__i386__)
// Two calling conventions: WINAPI (stdcall) for the system DLLs, cdecl for msvcrt.
template <int Id, class R, class... A>
struct Hook<Id, R __stdcall(A...)> {
    static inline Row row;
    static R __stdcall call(A... a) { return detail::pass<R, R(__stdcall*)(A...)>(row, __builtin_return_address(0), a...); }
};
template <int Id, class R, class... A>
struct Hook<Id, R __cdecl(A...)> {
    static inline Row row;
    static R __cdecl call(A... a) { return detail::pass<R, R(__cdecl*)(A...)>(row, __builtin_return_address(0), a...); }
};
#else
// One calling convention on x86_64.
template <int Id, class R, class... A>
struct Hook<Id, R(A...)> {
    static inline Row row;
    static R call(A... a) { return detail::pass<R, R (*)(A...)>(row, __builtin_return_address(0), a...); }
};
#endif

// The row of a generic hook. Id tells hooks of the same type apart (the
// table's line).
template <int Id, class F>
Row* hook_row(const char* dll, const char* name, Failure failure) {
    using H = Hook<Id, F>;
    static_assert(std::is_same_v<decltype(&H::call), F*>, "the hook has the SDK's type");
    H::row = Row{dll, name, failure, reinterpret_cast<void*>(&H::call), nullptr};
    return &H::row;
}

// The row of a hand-written hook: `hook` must have the SDK's type F.
template <int Id, class F>
Row* special_row(const char* dll, const char* name, F* hook, Failure failure) {
    static Row row;
    row = Row{dll, name, failure, reinterpret_cast<void*>(hook), nullptr};
    return &row;
}

}  // namespace qz::test::fault

// One table line each: QZ_HOOK(dll, function, failure), QZ_SPECIAL(dll,
// function, hand-written hook, failure).
#define QZ_HOOK(dll, fn, failure) ::qz::test::fault::hook_row<__LINE__, decltype(::fn)>(dll, #fn, failure)
#define QZ_SPECIAL(dll, fn, hook, failure) \
    ::qz::test::fault::special_row<__LINE__, decltype(::fn)>(dll, #fn, hook, failure)
