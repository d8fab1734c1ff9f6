// ReaderCommandTable: every command of a mailbox window, one row each: which
// command, the menu (and submenu) it sits in, its title, its key, whether a
// separator goes before it, when it is available and what carries it out. The
// Qt window builds its menus from these rows, and MailReader answers
// availability and performs commands through them; a new command is a new row.
#pragma once

#include <vector>

#include "reader/MailReader.h"

namespace quill {

class ReaderCommandTable {
  public:
    // Who carries a command out.
    enum class Performer {
        Reader,    // MailReader, through the row's action
        Window,    // the window itself (panels, printing, closing)
        NotBuilt,  // a component this build lacks: listed, never enabled
    };
    // Whether the command can be chosen now, with its title when that
    // follows the state; nullptr: available whenever it can be performed.
    using Availability = MailReader::ItemState (*)(const MailReader& reader);
    // Carries the command out; controlHeld is whether Control was held.
    using Action = void (*)(MailReader& reader, bool controlHeld);

    struct Row {
        MailReader::Command command;
        const char* menu;     // "Mailbox", "Message" or "View"
        const char* submenu;  // nullptr: directly in the menu
        const char* title;    // "UI" table text; the availability may retitle it
        const char* key;      // portable key text ("Ctrl+R", "Del"), "" for none
        bool separatorBefore;
        Performer performer;
        Action action;  // set exactly for Performer::Reader
        Availability availability;
    };

    static const std::vector<Row>& rows();
    // The row of a command, or nullptr.
    static const Row* find(MailReader::Command command);
    // Whether the window carries the command out itself.
    static bool performedByWindow(MailReader::Command command);
    static MailReader::ItemState stateOf(const MailReader& reader, MailReader::Command command);
    // Carries out a command of the reader's; false when the reader has no action for it.
    static bool perform(MailReader& reader, MailReader::Command command, bool controlHeld);
};

}  // namespace quill
