// Stands in for the program the shell starts for a document: writes the
// path it was given into "<document>.opened" and exits.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    std::FILE* f = argc < 2 ? nullptr : std::fopen((std::string(argv[1]) + ".opened").c_str(), "wb");
    if (!f) return 1;
    std::fputs(argv[1], f);
    return std::fclose(f);
}
