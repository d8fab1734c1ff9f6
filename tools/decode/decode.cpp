// decode: a uudecoding filter. Uuencoded text on standard input, the data on
// standard output; text before the "begin" line is skipped. Exits 1 when no
// uuencoded data could be read.
#include <cstdio>
#include <iostream>

#include "formats/uuencode.h"

int main() {
    std::ios::sync_with_stdio(false);
    bool ok = quill::uudecode(std::cin, std::cout);
    std::cout.flush();
    if (!ok) {
        std::fputs("decode: no complete uuencoded data on standard input\n", stderr);
        return 1;
    }
    return std::cout ? 0 : 1;
}
