// AliasLoader: fills an AliasBook from its sources in order; a name whose key
// an earlier source already gave is ignored, so the first source wins. A
// missing file or an unreachable service leaves its names out silently; a file
// that exists but cannot be read, or lines that name nothing, are logged and
// the rest of the book loads.
#pragma once

#include <string>

#include "addressbook/AliasBook.h"
#include "addressbook/AliasSources.h"

namespace quill {

class AliasLoader {
  public:
    AliasLoader(AliasBook& book, const AliasSources& sources);
    // Reads every source and finishes the book.
    void load();

  private:
    enum class Kind { GlobalAliases, PrivateAliases, Users };

    void loadInformationService();
    void loadPeopleDirectory(const std::string& dir, const std::string& fallback);
    void loadFile(const std::string& path, Kind kind);
    void addAliases(std::string_view text, bool local, const std::string& origin);
    void addUser(std::string_view name);
    void warnSkipped(const std::string& origin, int skipped, int firstLine);

    AliasBook& m_book;
    const AliasSources& m_sources;
};

}  // namespace quill
