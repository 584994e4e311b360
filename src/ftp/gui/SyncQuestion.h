#pragma once

#include "ftp/gui/TBoiteFTP.h"

#include <QString>

// The question asked when another computer saved the copy on the server since this document
// last read it: "Merge it into this document", "Replace it", "Cancel" (Escape, and the default:
// nothing is lost by cancelling, the local file is saved already). Under the modal seam it is
// dialog "SyncConflict", answered with MsgYes (merge), MsgNo (replace) or MsgCancel.
UploadGate AskSyncConflict(const QString& text);
