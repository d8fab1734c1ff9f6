// What encode and send share: attached files.
#include "commands.h"
#include "richtext/TextView.h"
#include "settings/Defaults.h"

namespace quill::tool {

void appendAttachments(TextView& view, const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        if (!view.plainText().empty() && view.plainText().back() != '\n') view.replaceSel("\n");
        view.replaceSelWithFile(file);
        view.replaceSel("\n");
    }
}

}  // namespace quill::tool
