#include "files/last_write.h"

#include "files/date.h"
#include "files/handle.h"
#include "host/host.h"

namespace qz::files {

namespace {

char g_date[kDateBufferSize];

constexpr char kOpenFailed[] = "\nCreateFile failed with %f";
constexpr char kDateFailed[] = "\nFile Date time failed with %f";

// Writes the failure's message with its last-error code; the result for a failure.
const char* failed(const char* format, DWORD code) {
    host::diag_var(format, host::to_number(static_cast<std::int32_t>(code)));
    return nullptr;
}

}  // namespace

const char* last_write_date_of(const char* path) noexcept {
    // A null path is refused here rather than handed to the system.
    if (!path) return failed(kOpenFailed, ERROR_INVALID_PARAMETER);
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return failed(kOpenFailed, GetLastError());
    if (!last_write_date(file.get(), g_date, static_cast<std::int32_t>(kDateBufferSize)))
        return failed(kDateFailed, GetLastError());
    return g_date;
}

}  // namespace qz::files
