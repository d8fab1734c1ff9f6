// decode: a uudecoding filter. Uuencoded text on standard input, the data on
// standard output; text before the "begin" line is skipped. Exits 1 when no
// uuencoded data could be read.
#include <cstdio>
#include <string>

#include "base/FileHandles.h"
#include "formats/uuencode.h"

int main() {
    std::string text;
    if (!quill::readAll(0, text)) {
        std::perror("decode: standard input");
        return 1;
    }
    quill::ByteSource in(text);
    quill::ByteSink out(1);
    bool ok = quill::uudecode(in, out);
    if (!out.flush()) {
        std::perror("decode: standard output");
        return 1;
    }
    if (!ok) {
        std::fputs("decode: no complete uuencoded data on standard input\n", stderr);
        return 1;
    }
    return 0;
}
