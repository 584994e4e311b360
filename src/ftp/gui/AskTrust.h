#pragma once

#include "ftp/TFileFTP.h"

#include <functional>

class QWidget;

// Asks whether to trust the identity a server proved itself with (trustquestion::text, No by
// default) and, on Yes, records it: an unknown certificate is pinned, a changed one replaces the
// old pin, an unknown host key goes into known_hosts. A record that cannot be written is said.
// True when the identity is trusted now and the transfer may start again; false for No, for a
// problem no answer settles, when the record failed, and when `stillWanted` (asked after the
// answer) says the transfer it was asked for is no longer wanted: nothing is recorded then.
bool AskTrust(const TrustProblem& problem, QWidget* parent = nullptr,
              const std::function<bool()>& stillWanted = nullptr);
