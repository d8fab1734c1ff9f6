// FuzzEnvironment: what every harness sets up once per process so a reader
// runs as it does in Quill but touches nothing outside: a temporary HOME with a
// mail directory (on a memory file system when there is one), panels that
// answer every alert with its default button, in-memory defaults, and
// diagnostics thrown away. Everything is removed when the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace quill::fuzz {

class FuzzEnvironment {
  public:
    static FuzzEnvironment& shared();

    const std::string& home() const { return m_home; }
    std::string mailDir() const { return m_home + "/Mail"; }
    // A directory emptied before each use, for the files one input is made into.
    const std::string& freshScratch();

    // Inputs holding two files: a 2-byte big-endian length, that many bytes of
    // the first file (fewer when the input ends), then the second file.
    static std::pair<std::string_view, std::string_view> splitPair(const uint8_t* data,
                                                                   size_t size);
    static void writeFile(const std::string& path, std::string_view bytes);

  private:
    FuzzEnvironment();
    ~FuzzEnvironment();

    std::string m_root;
    std::string m_home;
    std::string m_scratch;
};

}  // namespace quill::fuzz
