// The commands of quilltool, one function each, listed in main.cpp's table.
// Each takes the arguments after the command name and answers the exit status.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {
class MailBox;
class TextView;
}  // namespace quill

namespace quill::tool {

using Args = std::vector<std::string>;

inline constexpr int kUsageError = 2;

// toc [--rebuild] [--count] [--yes] MAILBOX
int runToc(const Args& args);
// dump-toc FILE
int runDumpToc(const Args& args);
// incorporate [--spool FILE] [--fetched] MAILBOX
int runIncorporate(const Args& args);
// mime FILE
int runMime(const Args& args);
// encode [--format mime|native|plain] [--rich FILE.rtf] [--attach FILE]... [--subject TEXT]
// TEXTFILE
int runEncode(const Args& args);
// show MAILBOX INDEX [--all-headers]
int runShow(const Args& args);

// compact MAILBOX
int runCompact(const Args& args);
// delete MAILBOX INDEX...
int runDelete(const Args& args);
// transfer FROM TO INDEX...
int runTransfer(const Args& args);
// paste MAILBOX (the text on standard input)
int runPaste(const Args& args);
// send [--to A]... [--cc A]... [--bcc A]... --subject S [--attach FILE]...
//      [--format mime|native|plain] [BODYFILE|-]
int runSend(const Args& args);

// alias [--expand] NAME...
int runAlias(const Args& args);
// complete PREFIX
int runComplete(const Args& args);
// find MAILBOX TEXT [--regex] [--case] [--summaries]
int runFind(const Args& args);
// service METHOD [TEXT] [HANDLE]
int runService(const Args& args);

// A MAILBOX argument: a path when it names something here or is absolute,
// else a mailbox name inside the mail directory ("MailDir"), as in Quill.
std::string mailboxPath(const std::string& argument);

// The whole file named by a command's only argument (command "mime" or
// "dump-toc"); nothing after saying on stderr what was wrong, with the exit
// status in `status`.
std::optional<std::string> readFileArgument(const Args& args, const char* command, int& status);

// Opens a MAILBOX argument with console panels, telling failures on stderr;
// nothing when it cannot be opened or only for reading.
std::unique_ptr<MailBox> openWritableMailbox(const std::string& argument);
// Message numbers (from 0) below `count`; nothing after saying which is wrong.
std::optional<std::vector<int>> messageIndexes(const Args& args, std::size_t first,
                                               std::uint32_t count);
// One attachment icon per file, each on a line of its own after the text.
void appendAttachments(TextView& view, const std::vector<std::string>& files);

// The packed date of the index as YYYY-MM-DD.
std::string packedDateText(std::uint32_t packed);

}  // namespace quill::tool
