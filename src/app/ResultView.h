#pragma once

#include <QTreeView>

#include <vector>

namespace quarrelby {

class ResultList;

// The list view: the report view of the result list. A column starts 2000
// twips wide; one the extraction hides is a hidden section, and one it shows
// is laid out 1000 twips wide again, whatever the user dragged it to.
class ResultView : public QTreeView {
    Q_OBJECT

public:
    explicit ResultView(ResultList &list, QWidget *parent = nullptr);

    // The context menu's "Tick Selected" and "Untick Selected"; Space on a
    // selected row.
    void tickSelected(bool checked);

signals:
    // The row is to go: a double-click on it (not on its tick box), or
    // Delete or BackSpace on the current row.
    void removeRequested(int row);

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
    void layOutColumn(int column, bool hidden);
    [[nodiscard]] bool onTickBox(const QModelIndex &index, const QPoint &position) const;
    void addTickActions();
    // Tells assistive technology of changed ticks, of the rows in [first, last]
    // (0-based) that are on screen or current.
    void announceTicks(int first, int last);
    void announceFocus();
    // The current cell's whole text in a tip below it (F2).
    void showCurrentText();

    ResultList &m_list;
    // The sections' sizes across a reset of the model, which forgets them.
    std::vector<int> m_sizesBeforeReset;
};

} // namespace quarrelby
