// One argument of a command line, quoted so that the C runtime's parser of
// the started program reads it back as it was: for CreateProcess, narrow or
// wide. Left bare when it has no blank or quote; else in quotes, where the
// backslashes before a quote are doubled and the quote escaped.
//
//   line += win::quoted_argument(program);
#pragma once
#include <string>

namespace qz::win {

template <class Char>
std::basic_string<Char> quoted_argument(const std::basic_string<Char>& arg) {
    const Char blanks[] = {Char(' '), Char('\t'), Char('"'), Char(0)};
    if (!arg.empty() && arg.find_first_of(blanks) == std::basic_string<Char>::npos) return arg;
    std::basic_string<Char> q(1, Char('"'));
    size_t backslashes = 0;
    for (Char c : arg) {
        if (c == Char('\\')) {
            ++backslashes;
            continue;
        }
        q.append(c == Char('"') ? backslashes * 2 + 1 : backslashes, Char('\\'));
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, Char('\\'));
    return q + Char('"');
}

}  // namespace qz::win
