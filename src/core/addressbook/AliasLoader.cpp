#include "addressbook/AliasLoader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "addressbook/AliasFileReader.h"
#include "addressbook/NisMaps.h"
#include "base/Diagnostics.h"
#include "base/FileHandles.h"

namespace quill {
namespace {

constexpr const char* kWho = "Alias";

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::string_view withoutTrailingNuls(std::string_view text) {
    while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    return text;
}

}  // namespace

AliasLoader::AliasLoader(AliasBook& book, const AliasSources& sources)
    : m_book(book), m_sources(sources) {}

void AliasLoader::load() {
    if (m_sources.loadNIS) loadInformationService();
    if (!m_sources.peopleDir.empty() && m_sources.peopleDir[0] == '/')
        loadPeopleDirectory(m_sources.peopleDir, m_sources.defaultPeopleDir);
    if (!m_sources.privateFile.empty()) loadFile(m_sources.privateFile, Kind::PrivateAliases);
    if (!m_sources.userPeopleDir.empty()) loadPeopleDirectory(m_sources.userPeopleDir, "");
    m_book.finishLoading();
}

void AliasLoader::loadInformationService() {
    const MapReader& read = m_sources.nis ? m_sources.nis : MapReader(NisMaps::readMap);
    read("passwd.byname",
         [&](std::string_view key, std::string_view) { addUser(withoutTrailingNuls(key)); });
    // A group line names the group; its members follow the last colon.
    std::string groups;
    read("group.byname", [&](std::string_view, std::string_view value) {
        groups.append(withoutTrailingNuls(value)).push_back('\n');
    });
    addAliases(m_book.keepText(std::move(groups)), false, "group.byname");
    read("mail.aliases", [&](std::string_view key, std::string_view) {
        key = withoutTrailingNuls(key);
        if (key == "@") return;
        if (AliasEntry* entry = m_book.addLoaded(key)) entry->alias = true;
    });
}

void AliasLoader::loadPeopleDirectory(const std::string& dir, const std::string& fallback) {
    for (auto [name, kind] :
         {std::pair{"/aliases", Kind::GlobalAliases}, {"/passwd", Kind::Users}}) {
        std::string path = dir + name;
        if (!fallback.empty() && !exists(path)) path = fallback + name;
        loadFile(path, kind);
    }
}

void AliasLoader::loadFile(const std::string& path, Kind kind) {
    std::string text;
    if (!readFile(path, text)) {
        if (errno != ENOENT && errno != ENOTDIR)
            logWarning(kWho, "Unable to read %s: %s", path.c_str(), std::strerror(errno));
        return;
    }
    if (kind != Kind::Users)
        return addAliases(m_book.keepText(std::move(text)), kind == Kind::PrivateAliases, path);
    auto result = AliasFileReader::readUsers(text, [&](std::string_view name) { addUser(name); });
    warnSkipped(path, result.skipped, result.firstSkippedLine);
}

void AliasLoader::addAliases(std::string_view text, bool local, const std::string& origin) {
    auto result =
        AliasFileReader::readAliases(text, [&](std::string_view name, std::string_view members) {
            AliasEntry* entry = m_book.addLoaded(name);
            if (!entry) return;
            entry->alias = true;
            entry->local = local;
            entry->memberText = members;
            if (local && entry->key == AliasEntry::keyOf(kPrivateUsersName)) {
                entry->privateUsers = true;
                m_book.setPrivateUsers(entry);
            }
        });
    warnSkipped(origin, result.skipped, result.firstSkippedLine);
}

void AliasLoader::addUser(std::string_view name) {
    if (!name.empty()) m_book.addLoaded(name);
}

void AliasLoader::warnSkipped(const std::string& origin, int skipped, int firstLine) {
    if (skipped == 0) return;
    logWarning(kWho, "%s: skipped %d line(s) that name nothing, the first at line %d",
               origin.c_str(), skipped, firstLine);
}

}  // namespace quill
