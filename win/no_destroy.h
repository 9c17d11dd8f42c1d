// A process-wide object built on first use and never destroyed. For the few
// objects whose destructor must not run while the process unloads its DLLs
// (releasing DirectInput objects then is not safe): the holder's own
// destructor is trivial, so a static holder registers nothing to run at
// exit, and the object lives until the process ends.
//
//   static win::NoDestroy<Mouse> mouse(system_direct_input());
//   return mouse.get();
#pragma once
#include <new>
#include <utility>

namespace qz::win {

template <class T>
class NoDestroy {
public:
    template <class... Args>
    explicit NoDestroy(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    NoDestroy(const NoDestroy&) = delete;
    NoDestroy& operator=(const NoDestroy&) = delete;

    T& get() noexcept { return *std::launder(reinterpret_cast<T*>(storage_)); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace qz::win
