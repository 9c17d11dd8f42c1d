#include "files/date.h"
#include "files/handle.h"
#include "host/host.h"

namespace qz::files {

namespace {
char g_date[kDateBufferSize];
}

const char* last_write_date_of(const char* path) noexcept {
    // A null path is refused here rather than handed to the system.
    HANDLE raw = path ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    const DWORD open_error = path ? GetLastError() : ERROR_INVALID_PARAMETER;
    FileHandle file(raw);
    if (!file) {
        const DWORD code = open_error;
        host::diag_var("\nCreateFile failed with %f", host::to_number(static_cast<std::int32_t>(code)));
        return nullptr;
    }
    if (!last_write_date(file.get(), g_date, static_cast<std::int32_t>(kDateBufferSize))) {
        const DWORD code = GetLastError();
        host::diag_var("\nFile Date time failed with %f", host::to_number(static_cast<std::int32_t>(code)));
        return nullptr;
    }
    return g_date;
}

}  // namespace qz::files
