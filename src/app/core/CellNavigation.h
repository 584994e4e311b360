#pragma once

#include <Qt>

#include <array>

// The arithmetic of the cell editor laid over the entry list, and its keyboard table, as plain
// functions a test calls without a window. Coordinates are those of the list's viewport.

// List column widths, list columns 1 to 4 (the fourth as actually shown).
using ListColumnWidths = std::array<int, 4>;

struct CellSpan
{
    int column = 0; // 0 name, 1 login, 2 password, 3 web address
    int left = 0;   // from the row's left edge
    int width = 0;
};

// The cell under a point `d` pixels right of the row's left edge. The name cell leaves out the
// icon and 5 pixels after it.
CellSpan CellAtOffset(int d, int iconWidth, const ListColumnWidths& widths);

// The editor's width while it is open, from the current column widths (which follow a column
// border being dragged).
int OpenEditorWidth(int column, int iconWidth, const ListColumnWidths& widths);

// What a key does in the cell editor.
enum class CellMove
{
    None,   // not a key of the table: the editor handles it as text editing
    Left,   // commit, then the cell to the left in the same row
    Right,  // commit, then the next cell, the next row's name, or with Ctrl a new entry
    Up,     // commit, then the same column one row up
    Down,   // commit, then the same column one row down
    Escape, // the text it had when opened, commit, close
};

struct CellKeyState
{
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    int cursor = 0;          // caret position
    int selectionStart = -1; // -1 when nothing is selected
    int textLength = 0;
};

// The keyboard table. Left moves only with the caret at 0 and nothing selected; Right only with
// the selection start (or the caret) at the end of the text; Enter and Tab always move right,
// Shift+Enter and Shift+Tab always left.
CellMove ClassifyCellKey(const CellKeyState& state);
