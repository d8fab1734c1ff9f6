// The table of settings keys with their built-in defaults. Each row becomes a
// getter and a setter on Defaults; adding a key means adding a row.
#pragma once

// X(getter, setter, "Key", default)
#define QUILL_BOOL_DEFAULTS(X)                                                      \
    X(autoFetch, setAutoFetch, "AutoFetch", true)                                   \
    X(incAllMailboxes, setIncAllMailboxes, "IncAllMailboxes", false)                \
    X(autoCompact, setAutoCompact, "AutoCompact", true)                             \
    X(showIconCount, setShowIconCount, "ShowIconCount", true)                       \
    X(hideOnAutoLaunch, setHideOnAutoLaunch, "QXHideOnAutoLaunch", false)           \
    X(loadBundles, setLoadBundles, "LoadBundles", true)                             \
    X(debugging, setDebugging, "Debug", true)                                       \
    X(showDeletions, setShowDeletions, "ShowDeletions", false)                      \
    X(showSizes, setShowSizes, "ShowSizes", true)                                   \
    X(statusLine, setStatusLine, "StatusLine", true)                                \
    X(deleteAlwaysSelects, setDeleteAlwaysSelects, "DeleteAlwaysSelects", true)     \
    X(doubleClickRestores, setDoubleClickRestores, "DoubleClickRestores", false)    \
    X(restrictedRestore, setRestrictedRestore, "RestrictedRestore", true)           \
    X(showURLs, setShowURLs, "ShowURLs", true)                                      \
    X(replyEmptyLines, setReplyEmptyLines, "ReplyEmptyLines", false)                \
    X(replyToSelf, setReplyToSelf, "ReplyToSelf", true)                             \
    X(autoReplyFormat, setAutoReplyFormat, "AutoReplyFormat", false)                \
    X(autoSelectFont, setAutoSelectFont, "AutoSelectFont", false)                   \
    X(autoIndent, setAutoIndent, "AutoIndent", true)                                \
    X(keyBindings, setKeyBindings, "KeyBindings", true)                             \
    X(archive, setArchive, "Archive", true)                                         \
    X(readReceipt, setReadReceipt, "ReadReceipt", true)                             \
    X(encrypt, setEncrypt, "Encrypt", false)                                        \
    X(nonZell, setNonZell, "NonZell", false)                                        \
    X(mimeAlternatives, setMimeAlternatives, "MimeAlternatives", true)              \
    X(send8BitMime, setSend8BitMime, "Send8BitMime", false)                         \
    X(sendRtfEnrichedMime, setSendRtfEnrichedMime, "SendRtfEnrichedMime", false)    \
    X(safeSend, setSafeSend, "SafeSend", true)                                      \
    X(ignoreMailerErrors, setIgnoreMailerErrors, "IgnoreMailerErrors", true)        \
    X(composeStatusLine, setComposeStatusLine, "ComposeStatusLine", false)          \
    X(useSignatureFile, setUseSignatureFile, "UseSignatureFile", true)              \
    X(expandPrivateAliases, setExpandPrivateAliases, "ExpandPrivateAliases", false) \
    X(loadNISAddresses, setLoadNISAddresses, "LoadNISAddresses", true)              \
    X(loadVexnodeAddresses, setLoadVexnodeAddresses, "LoadVexnodeAddresses", false) \
    X(spacePages, setSpacePages, "SpacePages", true)                                \
    X(unicodeDisplay, setUnicodeDisplay, "UnicodeDisplay", true)

#define QUILL_INT_DEFAULTS(X)                                                               \
    X(pollTime, setPollTime, "PollTime", 5)                                                 \
    X(foundDisplayDelay, setFoundDisplayDelay, "FoundDisplayDelay", 1000)                   \
    X(lineLength, setLineLength, "LineLength", 70)                                          \
    X(sendSizeLimit, setSendSizeLimit, "SendSizeLimit", 500)                                \
    X(composeSizeDelay, setComposeSizeDelay, "ComposeSizeDelay", 500)                       \
    X(delayedComposeUpdateSize, setDelayedComposeUpdateSize, "DelayedComposeUpdateSize", 0) \
    X(pagesPerSheet, setPagesPerSheet, "PagesPerSheet", 1)                                  \
    X(tocFontSize, setTocFontSize, "TocFontSize", 12)                                       \
    X(iconFontSize, setIconFontSize, "IconFontSize", 12)

// Strings: a stored empty value is a value. nullptr means the key has no default.
#define QUILL_STRING_DEFAULTS(X)                                                           \
    X(spoolDir, setSpoolDir, "SpoolDir", "/var/mail")                                      \
    X(activeMailbox, setActiveMailbox, "ActiveMailbox", "Active.mbox")                     \
    X(outgoingMailbox, setOutgoingMailbox, "OutgoingMailbox", "Outgoing.mbox")             \
    X(draftsMailbox, setDraftsMailbox, "DraftsMailbox", "Drafts.mbox")                     \
    X(templatesMailbox, setTemplatesMailbox, "TemplatesMailbox", "Templates.mbox")         \
    X(mailSound, setMailSound, "MailSound", nullptr)                                       \
    X(displayFilter, setDisplayFilter, "DisplayFilter", "")                                \
    X(mailMarker, setMailMarker, "MailMarker",                                             \
      "Subject:From:To:Cc:Attachment:Date:Reply-To:Sender:In-Reply-To")                    \
    X(includePrefix, setIncludePrefix, "IncludePrefix", "> ")                              \
    X(replyTo, setReplyTo, "ReplyTo", nullptr)                                             \
    X(alternates, setAlternates, "Alternates", "")                                         \
    X(composeTemplate, setComposeTemplate, "ComposeTemplate", nullptr)                     \
    X(userKey1, setUserKey1Only, "UserKey1", "")                                           \
    X(userValue1, setUserValue1, "UserValue1", "")                                         \
    X(userKey2, setUserKey2Only, "UserKey2", "")                                           \
    X(userValue2, setUserValue2, "UserValue2", "")                                         \
    X(priorityHeader, setPriorityHeader, "PriorityHeader", nullptr)                        \
    X(priorityValues, setPriorityValues, "PriorityValues", nullptr)                        \
    X(uuencoder, setUuencoder, "Uuencoder", "/usr/bin/uuencode")                           \
    X(tarCommand, setTarCommand, "TarCommand", "safetar")                                  \
    X(compressCommand, setCompressCommand, "CompressCommand", "/usr/bin/compress")         \
    X(uncompressCommand, setUncompressCommand, "UncompressCommand", "/usr/bin/uncompress") \
    X(addressPath, setAddressPath, "AddressPath", "Users")                                 \
    X(tocFontName, setTocFontName, "TocFont", nullptr)                                     \
    X(iconFontName, setIconFontName, "IconFont", nullptr)

// Strings whose stored empty value counts as absent, so the default applies.
#define QUILL_NONEMPTY_STRING_DEFAULTS(X)               \
    X(remoteFetch, setRemoteFetch, "RemoteFetch", "NO") \
    X(peopleDir, setPeopleDir, "PeopleDir", "/usr/local/tessel/Library/Images/People")
