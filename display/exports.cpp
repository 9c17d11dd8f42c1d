#include "display/gamma.h"
#include "host/host.h"
#include "host/shim.h"

using qz::display::Number;

QZ_API void set_gamma(Number red, Number green, Number blue) {
    qz::guarded([&] { qz::display::set_gamma(qz::host::draw_begin(), red, green, blue); });
}

QZ_API void get_gamma_ramp(Number* red, Number* green, Number* blue) {
    qz::guarded([&] { qz::display::get_gamma_ramp(qz::host::draw_begin(), red, green, blue); });
}

QZ_API void set_gamma_ramp(const Number* red, const Number* green, const Number* blue) {
    qz::guarded([&] {
        const auto outcome = qz::display::set_gamma_ramp(qz::host::draw_begin(), red, green, blue);
        if (const char* line = qz::display::set_ramp_message(outcome)) qz::host::diag(line);
    });
}
