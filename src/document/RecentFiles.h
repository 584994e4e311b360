#pragma once

#include <QString>

#include <array>

// The four recent-file slots of the File menu, slot 1 (index 0) the most recent, each empty when
// free. The slots themselves live in the settings, which carry them between runs; this class
// holds the rules that fill and show them.
class RecentFiles
{
public:
    static constexpr int kSlotCount = 4;
    using Slots = std::array<QString, kSlotCount>;

    // RecordRecentFile: with the option on and a non-empty path, the path's canonical form (made
    // absolute against currentDir, see CanonicalDocumentPath) enters slot 1 and the others move
    // down one place, the oldest falling out. Nothing moves when slot 1 already holds that very
    // text (letter case counts); a path already in a lower slot stays there as well. A name that
    // has no file behind it is not recorded: the slot could never open anything. True when the
    // slots changed.
    static bool record(Slots& paths, bool use, const QString& path, const QString& currentDir);

    // The path a slot opens: its canonical form, or the slot's own text when the file is gone, so
    // that the question and the error name the missing file rather than its folder.
    static QString pathToOpen(const QString& slotPath, const QString& currentDir);

    // The caption of slot `slot` (1 to 4): "&1 - " and the path.
    static QString caption(int slot, const QString& path);

    // A slot's command is shown while the option is on and the slot holds a path.
    static bool slotVisible(const Slots& paths, bool use, int slot);

    // The separator before the recent files is shown while slot 1 is.
    static bool separatorVisible(const Slots& paths, bool use) { return slotVisible(paths, use, 1); }
};
