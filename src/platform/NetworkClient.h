#pragma once

namespace platform {

// The network client (libcurl) is set up once for the whole process, before any thread uses it:
// true when that worked. A failed set-up is tried again at the next call. The FTP transfers and
// the update check both ask here, and the program asks once at start.
bool NetworkClientReady();

} // namespace platform
