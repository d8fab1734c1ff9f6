// The file-type map: which file-name extensions go with which media types.
// Built once per process from the user's, the system's and the application's
// "MimeFileTypes" files, in that order, or from a built-in table when none of
// them gives an entry. Used to type files the user attaches and to name the
// files a received body is saved in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct MimeFileType {
    std::string extension;  // without the dot; may be empty
    std::string type;
    std::string subtype;  // may be the wildcard "*"
};

// The entries of one "MimeFileTypes" text: "type/subtype ext ext ...", "#"
// comments, blank lines ignored; a line without "/" is reported and skipped.
std::vector<MimeFileType> readMimeTypeMap(std::string_view text);

// The process-wide map, built on first use.
const std::vector<MimeFileType>& mimeTypeMap();
// Forgets the map so the next use reads the files again (tests, changed files).
void resetMimeTypeMap();

}  // namespace quill
