// Message: the small header record a mailbox fills for the message it loaded
// last. It keeps a dozen well-known header values and the address lists of
// the address headers, enough for the window, replies and forwards without a
// full message object.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class Message {
  public:
    Message();

    // Parses the header block at the start of `raw`.
    Message& readMessage(std::string_view raw);
    // Value of a known key (with its colon, any case), or nullptr.
    const std::string* get(std::string_view key) const;
    const std::vector<std::string>* getList(std::string_view key) const;
    // The value, or "" when absent.
    const std::string& emptyGet(std::string_view key) const;
    // The "Zell-Reference:" name (cut at its first ","), or nothing.
    std::optional<std::string> getAttach() const;
    bool haveAttach() const;
    bool readReceipt() const;
    bool wasSentFromZell() const;
    // The "Date:" value as the full date parser reads it; nothing when unparsable.
    std::optional<std::tm> date() const;
    void cleanList();
    int endHeader() const { return m_endHeader; }

    static void addList(std::vector<std::string>& list, const std::vector<std::string>& more);
    static void sortList(std::vector<std::string>& list);

  private:
    struct Slot {
        std::string_view key;
        bool isList;
        std::optional<std::string> value;
        std::optional<std::vector<std::string>> list;
    };
    Slot* slotFor(std::string_view key);
    const Slot* slotFor(std::string_view key) const;
    void processList(Slot& slot, std::string_view text);

    int m_endHeader = 0;
    std::vector<Slot> m_tableInfo;
};

}  // namespace quill
