// One call of the mail service: its name and parameter types ("c" a text,
// "i" an integer passed in, "I" an integer passed back), and the arguments
// one call carries.
#pragma once

#include <string>
#include <string_view>

namespace quill {

struct RemoteMethod {
    std::string_view name;
    std::string_view params;
    // Whether the call passes an integer back beside its answer.
    bool passesBack() const { return params.find('I') != std::string_view::npos; }
};

struct RemoteArguments {
    std::string text;
    // The handle passed in, or the integer passed back.
    int number = 0;
};

}  // namespace quill
