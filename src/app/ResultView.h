#pragma once

#include <QTreeView>

namespace quarrelby {

class ResultList;

// The list view: the report view of the result list. Header sections follow the
// column widths in twips both ways: the program sets a width and the section
// follows; the user drags a divider and the width follows.
class ResultView : public QTreeView {
    Q_OBJECT

public:
    explicit ResultView(ResultList &list, QWidget *parent = nullptr);

    // The context menu's "Tick Selected" and "Untick Selected"; Space on a
    // selected row.
    void tickSelected(bool checked);

    // Screen pixels for a width in twips (96 dpi: 15 twips a pixel). A
    // one-twip column collapses to nothing.
    [[nodiscard]] static int sectionPixels(float twips);

signals:
    // Row `item` (1-based) is to go: a double-click on it (not on its tick
    // box), or Delete or BackSpace on the current row.
    void removeRequested(int item);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    void focusInEvent(QFocusEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void showWidth(int k, float twips);
    void takeWidth(int section, int newSize);
    [[nodiscard]] bool onTickBox(const QModelIndex &index, const QPoint &position) const;
    void addTickActions();
    // Tells assistive technology of changed ticks, of the rows in [first, last]
    // (0-based) that are on screen or current.
    void announceTicks(int first, int last);
    void announceFocus();
    // The current cell's whole text in a tip below it (F2).
    void showCurrentText();

    ResultList &m_list;
    bool m_showingWidth = false;
};

} // namespace quarrelby
