// SunFileTypes: the "SunFileTypes" table, which gives a Sun attachment's data
// type ("postscript-file", "sun-raster", ...) a file-name extension and says
// whether files of that type are programs. A line is a type name (in double
// quotes when it holds blanks) and its extensions; "#" starts a comment and a
// leading "*" marks an executable type's extension.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class SunFileTypes {
  public:
    struct Entry {
        std::string type;
        std::string extension;  // the first listed; empty when none is
        bool executable = false;
    };

    // The table read from the text of a "SunFileTypes" file.
    static SunFileTypes parse(std::string_view text);
    // The application's table, read from its resources on first use; empty
    // when the resource is missing.
    static const SunFileTypes& shared();

    // The first entry whose type equals `type` without regard to case.
    std::optional<Entry> lookup(std::string_view type) const;
    size_t size() const { return m_entries.size(); }

  private:
    static void parseLine(std::string_view line, std::vector<Entry>& out);
    std::vector<Entry> m_entries;
};

}  // namespace quill
