#include "testhost/engine_host.h"

#include <cstring>
#include <utility>

namespace qz::test {

namespace {
constexpr std::size_t kInterfaceSize = 0x1000;
constexpr std::size_t kLookupOffset = 0xA30;
constexpr int kMaxHosts = 4;
EngineHost* g_hosts[kMaxHosts] = {};
}  // namespace

std::wstring Library::path() {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(L"QZ_DLL", buf, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) return buf;
    n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    std::wstring path(buf, n);
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + L"qzutilities.dll";
}

Library& Library::get() {
    static Library lib(path());
    return lib;
}

Library::Library(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {
    if (!module_) throw std::runtime_error("LoadLibrary failed for the library under test");
}

// Each host slot gets its own set of cdecl functions, so that two hosts bound
// one after the other can be told apart by what the library calls.
struct Trampolines {
    template <int I>
    static void* __cdecl lookup(const char* name) { return g_hosts[I]->answer(name); }
    template <int I>
    static void __cdecl diag(const char* text) {
        EngineHost& host = *g_hosts[I];
        host.diag_.emplace_back(text ? text : "(null)");
        if (host.on_diag_) host.on_diag_(text);
    }
    template <int I>
    static void __cdecl diag_var(const char* format, EngineHost::Number value) {
        g_hosts[I]->diag_var_.push_back({format ? format : "(null)", value});
    }
    template <int I>
    static void* __cdecl draw_begin() {
        ++g_hosts[I]->draw_begin_calls_;
        return g_hosts[I]->device_;
    }

    struct Set {
        void* lookup;
        void* diag;
        void* diag_var;
        void* draw_begin;
    };
    template <int I>
    static Set make() {
        return {reinterpret_cast<void*>(&lookup<I>), reinterpret_cast<void*>(&diag<I>),
                reinterpret_cast<void*>(&diag_var<I>), reinterpret_cast<void*>(&draw_begin<I>)};
    }
    static Set of(int i) {
        static const Set sets[kMaxHosts] = {make<0>(), make<1>(), make<2>(), make<3>()};
        return sets[i];
    }
};

EngineHost::EngineHost(Lookup mode) : index_(-1), mode_(mode), block_(kInterfaceSize, 0) {
    for (int i = 0; i < kMaxHosts; ++i) {
        if (!g_hosts[i]) {
            index_ = i;
            g_hosts[i] = this;
            break;
        }
    }
    if (index_ < 0) throw std::runtime_error("too many engine hosts alive");
    void* lookup = Trampolines::of(index_).lookup;
    std::memcpy(block_.data() + kLookupOffset, &lookup, sizeof lookup);
}

EngineHost::~EngineHost() { g_hosts[index_] = nullptr; }

std::int32_t EngineHost::bind(const Library& lib) {
    auto a6 = QZ_FN(lib, A6_DLLAPI);
    return a6(engine_interface());
}

void* EngineHost::answer(const char* name) {
    lookups_.emplace_back(name ? name : "");
    void* result = nullptr;
    if (mode_ == Lookup::answer) {
        const auto set = Trampolines::of(index_);
        if (lookups_.back() == "diag") result = set.diag;
        else if (lookups_.back() == "diag_var") result = set.diag_var;
        else if (lookups_.back() == "draw_begin") result = set.draw_begin;
        else result = reinterpret_cast<void*>(next_fake_++);  // never called: a distinct token
    }
    results_.push_back(result);
    return result;
}

std::string EngineHost::diag_text() const {
    std::string all;
    for (const auto& t : diag_) all += t;
    return all;
}

void EngineHost::clear_records() {
    diag_.clear();
    diag_var_.clear();
    draw_begin_calls_ = 0;
}

int EngineHost::lookup_count(const std::string& name) const {
    int n = 0;
    for (const auto& l : lookups_) n += (l == name);
    return n;
}

}  // namespace qz::test
