// The settings the message writers read from process-wide switches (line
// length, alternatives, 8-bit text, the native format's archivers), brought up
// to date from the user's defaults before a message is written.
#pragma once

namespace quill {

class Defaults;

void applyOutgoingSettings(Defaults& defaults);

}  // namespace quill
