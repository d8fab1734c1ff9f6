// The fixture every core test starts from: a temporary HOME with a mail
// directory and a spool directory, scripted panels that fail the test on an
// unexpected alert, an in-memory defaults store, and captured diagnostics.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ScriptedPanels.h"
#include "settings/DefaultsStore.h"
#include "store/MailContext.h"

namespace quill::test {

// A directory removed with everything in it when the owner goes away.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "quill-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

void removeTree(const std::string& path);
std::string slurp(const std::string& path);
void spit(const std::string& path, const std::string& bytes);
// What a shell command writes on its standard output.
std::string commandOutput(const std::string& command);
// The names in a directory, sorted, without "." and ".."; none when unreadable.
std::vector<std::string> dirEntries(const std::string& path);
// A file of the shared mail corpus, or nothing when the corpus is absent.
std::optional<std::string> corpusFile(const std::string& relative);

class QuillTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string home() const { return m_tmp->path() + "/home"; }
    std::string mailDir() const { return home() + "/Mail"; }
    std::string spoolDir() const { return m_tmp->path() + "/spool"; }
    std::string tmp() const { return m_tmp->path(); }
    // The shared settings, the scripted panels and the run loop, with failures
    // shown as alerts: what the application hands its mailboxes.
    MailContext mailContext() const;
    // Writes bytes to a path under the temporary directory and answers the full path.
    std::string writeFile(const std::string& relative, const std::string& bytes);

    std::shared_ptr<ScriptedPanels> panels;
    std::shared_ptr<MemoryDefaultsStore> store;
    std::vector<std::string> logLines;

  private:
    std::unique_ptr<TempDir> m_tmp;
    std::string m_savedHome;
    std::optional<std::string> m_savedConfigHome;
};

}  // namespace quill::test
