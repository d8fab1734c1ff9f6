// ReaderCommandTable: every command of a mailbox window's menus, one row each:
// which command, the menu (and submenu) it sits in, its title, its key and
// whether a separator goes before it. The Qt window builds its menus from
// these rows; availability and titles come from MailReader::validateItem.
#pragma once

#include <vector>

#include "reader/MailReader.h"

namespace quill {

class ReaderCommandTable {
  public:
    struct Row {
        MailReader::Command command;
        const char* menu;     // "Mailbox", "Message" or "View"
        const char* submenu;  // nullptr: directly in the menu
        const char* title;    // "UI" table text; validateItem may retitle it
        const char* key;      // portable key text ("Ctrl+R", "Del"), "" for none
        bool separatorBefore;
    };

    static const std::vector<Row>& rows();
    // The row of a command, or nullptr.
    static const Row* find(MailReader::Command command);
    // Whether the window carries the command out itself (panels, printing, closing).
    static bool performedByWindow(MailReader::Command command);
};

}  // namespace quill
