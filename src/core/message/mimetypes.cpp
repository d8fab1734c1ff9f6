#include "message/mimetypes.h"

#include <memory>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "base/ascii.h"
#include "message/mimetoken.h"
#include "platform/UserInfo.h"
#include "platform/resources.h"

namespace quill {

namespace {

constexpr const char* kMapName = "MimeFileTypes";
constexpr size_t kMaxLine = 511;

struct BuiltIn {
    const char* type;
    const char* subtype;
    const char* extensions[2];
};

constexpr BuiltIn kBuiltIn[] = {
    {"application", "postscript", {"ps", "eps"}},
    {"image", "gif", {"gif", nullptr}},
    {"image", "jpeg", {"jpg", nullptr}},
    {"video", "mpeg", {"mpg", nullptr}},
    {"application", "rtf", {"rtf", nullptr}},
    {"audio", "basic", {"snd", "vox"}},
    {"audio", "zell", {"snd", "vox"}},
    {"image", "tiff", {"tiff", nullptr}},
    {"application", "wordperfect51", {"wp", nullptr}},
};

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isMailSpace(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !isMailSpace(text[i])) ++i;
        if (i > start) out.emplace_back(text.substr(start, i - start));
    }
    return out;
}

void readLine(std::string_view line, std::vector<MimeFileType>& out) {
    std::string_view content = line.substr(0, line.find('#'));
    std::vector<std::string> fields = words(content);
    if (fields.empty()) return;
    size_t slash = fields[0].find('/');
    if (slash == std::string::npos || slash + 1 == fields[0].size()) {
        std::string text(line);
        logRaw(formatString("Can't parse %s entry: %s\n", kMapName, text.c_str()));
        return;
    }
    std::string type = lowercased(fields[0].substr(0, slash));
    std::string subtype = lowercased(fields[0].substr(slash + 1));
    if (fields.size() == 1) out.push_back({"", type, subtype});
    for (size_t i = 1; i < fields.size(); ++i) out.push_back({fields[i], type, subtype});
}

void readFileInto(const std::string& path, std::vector<MimeFileType>& out) {
    std::string text;
    if (!readFile(path, text)) return;
    std::vector<MimeFileType> entries = readMimeTypeMap(text);
    out.insert(out.end(), entries.begin(), entries.end());
}

std::vector<MimeFileType> builtInMap() {
    std::vector<MimeFileType> out;
    for (const BuiltIn& entry : kBuiltIn)
        for (const char* ext : entry.extensions)
            if (ext) out.push_back({ext, entry.type, entry.subtype});
    return out;
}

std::unique_ptr<std::vector<MimeFileType>>& theMap() {
    static std::unique_ptr<std::vector<MimeFileType>> map;
    return map;
}

}  // namespace

std::vector<MimeFileType> readMimeTypeMap(std::string_view text) {
    std::vector<MimeFileType> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        readLine(line.substr(0, kMaxLine), out);
        start = end + 1;
    }
    return out;
}

const std::vector<MimeFileType>& mimeTypeMap() {
    auto& map = theMap();
    if (map) return *map;
    map = std::make_unique<std::vector<MimeFileType>>();
    readFileInto(formatString("%s/%s/%s", currentUser().homeDir.c_str(), "Library/Quill", kMapName),
                 *map);
    readFileInto(formatString("%s/%s/Quill/%s", "/usr/local/tessel", "/Library", kMapName), *map);
    readFileInto(getResourceDir(kMapName), *map);
    if (map->empty()) *map = builtInMap();
    return *map;
}

void resetMimeTypeMap() { theMap().reset(); }

}  // namespace quill
