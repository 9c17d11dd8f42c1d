// A stand-in for the game engine: it builds the engine interface the library
// binds to, answers the library's lookups, records what the library writes to
// its diagnostic log and hands out the device that draw_begin returns. It
// loads the library with LoadLibrary/GetProcAddress as the engine does.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/number.h"
#include "include/qzutilities.h"

namespace qz::test {

// The library, loaded once per process and never unloaded (as the engine does).
class Library {
public:
    // Loads qzutilities.dll from the executable's folder, or QZ_DLL if set.
    static Library& get();
    static std::wstring path();  // the file get() loads
    explicit Library(const std::wstring& path);

    HMODULE handle() const { return module_; }

    // The export's address, cast to its cdecl prototype; throws if missing.
    template <class F>
    F fn(const char* name) const {
        FARPROC p = GetProcAddress(module_, name);
        if (!p) throw std::runtime_error(std::string("missing export ") + name);
        return reinterpret_cast<F>(reinterpret_cast<void*>(p));
    }

private:
    HMODULE module_;
};

// The export `name` of a Library, typed by its prototype in the public header:
// QZ_FN(Library::get(), QZ_strtol)("0x1F"). The tests and the demo look the
// exports up this way, so a prototype that changes changes their calls too;
// only a call that means to push other arguments, as a script may, names a
// type of its own.
#define QZ_FN(lib, name) ((lib).template fn<decltype(&::name)>(#name))

class EngineHost {
public:
    enum class Lookup { answer, null_for_all };
    using Number = qz::host::Number;

    struct VarCall {
        std::string format;
        Number value;
    };

    explicit EngineHost(Lookup mode = Lookup::answer);
    ~EngineHost();
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;

    // The 0x1000-byte block whose pointer slot at 0xA30 holds the lookup function.
    void* engine_interface() { return block_.data(); }

    // Calls A6_DLLAPI of the library with this host's engine interface.
    std::int32_t bind(const Library& lib = Library::get());

    // What the library wrote: one entry per diag call, one per diag_var call.
    const std::vector<std::string>& diag_calls() const { return diag_; }
    const std::vector<VarCall>& diag_var_calls() const { return diag_var_; }
    std::string diag_text() const;  // every diag text, joined as the log shows it
    void clear_records();
    // Runs inside every diag call the library makes, on the library's stack
    // (a crash reporter's view of the library's frames), after the record.
    void on_diag(std::function<void(const char*)> hook) { on_diag_ = std::move(hook); }

    // What draw_begin hands out (null: the host has no device).
    void set_device(void* device) { device_ = device; }
    int draw_begin_calls() const { return draw_begin_calls_; }

    // Lookups in the order the library made them, and what each returned.
    const std::vector<std::string>& lookups() const { return lookups_; }
    int lookup_count(const std::string& name) const;
    const std::vector<void*>& lookup_results() const { return results_; }

private:
    friend struct Trampolines;
    void* answer(const char* name);

    int index_;
    Lookup mode_;
    std::vector<unsigned char> block_;
    std::vector<std::string> diag_;
    std::vector<VarCall> diag_var_;
    std::function<void(const char*)> on_diag_;
    void* device_ = nullptr;
    int draw_begin_calls_ = 0;
    std::vector<std::string> lookups_;
    std::vector<void*> results_;
    std::uintptr_t next_fake_ = 0x1000;
};

}  // namespace qz::test
