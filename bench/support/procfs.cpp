#include "support/procfs.h"

#include <fstream>
#include <string>

namespace quill::bench {

long procValue(const char* file, const char* key) {
    std::ifstream in(file);
    std::string k;
    long v = 0;
    while (in >> k) {
        if (k == key) {
            in >> v;
            return v;
        }
    }
    return 0;
}

}  // namespace quill::bench
