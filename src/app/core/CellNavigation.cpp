#include "app/core/CellNavigation.h"

CellSpan CellAtOffset(int d, int iconWidth, const ListColumnWidths& widths)
{
    CellSpan span{0, iconWidth + 5, widths[0] - iconWidth - 5};
    for (int column = 1; column < 4; ++column) {
        if (d <= span.left + span.width)
            break;
        // The name cell's span starts after the icon: the login cell starts at column 1's width.
        span.left = column == 1 ? widths[0] : span.left + span.width;
        span.width = widths[static_cast<size_t>(column)];
        span.column = column;
    }
    return span;
}

int OpenEditorWidth(int column, int iconWidth, const ListColumnWidths& widths)
{
    if (column <= 0)
        return widths[0] - iconWidth - 7;
    return widths[static_cast<size_t>(column < 4 ? column : 3)] - 2;
}

CellMove ClassifyCellKey(const CellKeyState& s)
{
    const bool shift = s.modifiers & Qt::ShiftModifier;
    switch (s.key) {
    case Qt::Key_Left:
        return s.cursor == 0 && s.selectionStart < 0 ? CellMove::Left : CellMove::None;
    case Qt::Key_Right: {
        const int start = s.selectionStart >= 0 ? s.selectionStart : s.cursor;
        return start == s.textLength ? CellMove::Right : CellMove::None;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        return shift ? CellMove::Left : CellMove::Right;
    case Qt::Key_Backtab:
        return CellMove::Left;
    case Qt::Key_Up:
        return CellMove::Up;
    case Qt::Key_Down:
        return CellMove::Down;
    case Qt::Key_Escape:
        return CellMove::Escape;
    default:
        return CellMove::None;
    }
}
