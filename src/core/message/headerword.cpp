#include "message/headerword.h"

#include <cstring>

namespace quill {

std::size_t decodeMimeHeaderWords(char*, std::size_t length) { return length; }
char* decodeMimeHeaderWords(char* text) { return text; }
void decodeMimeHeaderWords(std::string&) {}

}  // namespace quill
