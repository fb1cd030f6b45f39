#pragma once

class QAccessibleInterface;
class QTreeView;

namespace quarrelby {

// The list as assistive technology sees it: a table named "Contacts" whose
// description gives the row count and how the list is used, with a column
// header for every cell, a tick that is a checkable state, and only the
// columns that are shown (a collapsed column is left out, as a sighted user
// does not see it). Qt's own interface for a tree view knows none of this.
// The main window is presented as a frame.
void installAccessibleList();

// The interface of the cell at a row and model column (a row of -1 is the
// column's header), for the view's events; null when there is none.
[[nodiscard]] QAccessibleInterface *accessibleCell(QTreeView *view, int row, int column);

// The shown columns changed: cells are numbered anew.
void forgetAccessibleCells(QTreeView *view);

} // namespace quarrelby
