// Which part of a multipart/alternative body a reader shows.
#pragma once

namespace quill {

enum class AlternativeChoice {
    Last,   // the richest, as senders order them
    First,  // the plainest
    All,    // every one, with a delimiter line between them
};

}  // namespace quill
