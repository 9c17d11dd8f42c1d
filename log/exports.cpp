#include <cstdint>

#include "host/shim.h"
#include "log/rotating_log.h"

QZ_API void QZLog_Init() {
    qz::guarded([] { qz::log::init(); });
}

QZ_API void QZLog_Log(const char* message, std::int32_t level) {
    qz::guarded([&] { qz::log::write(message, level); });
}
