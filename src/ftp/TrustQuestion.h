#pragma once

#include "ftp/TFileFTP.h"

#include <QString>

// The question asked when a server proved itself with an identity nobody trusted yet (an unknown
// certificate or SSH host key) or with another certificate than the one trusted: who the server
// is, what changed, and what each answer does. Its texts come from the language table.
namespace trustquestion {

// The problems a user may settle by a Yes: an unknown certificate or host key, and a changed
// certificate (renewed by its administrator). A changed host key is not asked: known_hosts is
// shared with ssh, and ssh-keygen -R is the way to let go of the old key.
bool canBeAsked(const TrustProblem& problem);

// The server as the trust records name it: "host:port" for a certificate, known_hosts's name
// ("[host]:port" or "host") for a host key.
QString serverName(const TrustProblem& problem);

// The question, for a problem that canBeAsked (empty otherwise). Its default answer is No.
QString text(const TrustProblem& problem);

// A Yes to a changed certificate replaces the pin of the old one.
inline bool replacesPin(const TrustProblem& problem)
{
    return problem.kind == TrustProblem::ChangedCertificate;
}

} // namespace trustquestion
