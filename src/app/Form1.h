#pragma once

#include "app/FormContext.h"
#include "app/MousePointer.h"
#include "app/ResultList.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QTreeView;

namespace quarrelby {

class AutomationFactory;
class Shell;

// The main window: its controls and their wiring. The actions live in their
// modules and reach the window through a FormContext.
class Form1 : public QWidget {
    Q_OBJECT

public:
    Form1(Shell &shell, AutomationFactory &automation, QWidget *parent = nullptr);

    [[nodiscard]] ResultList &list() { return m_list; }
    [[nodiscard]] MousePointer &pointer() { return m_pointer; }
    [[nodiscard]] FormContext &context() { return m_context; }
    [[nodiscard]] QCheckBox *chkData(int n) const { return m_chkData.at(static_cast<size_t>(n)); }
    [[nodiscard]] QTreeView *listView() const { return m_listView1; }

    QPushButton *PushButton2 = nullptr;
    QPushButton *PushButton6 = nullptr;
    QPushButton *PushButton4 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton3 = nullptr;
    QPushButton *PushButton7 = nullptr;
    QPushButton *PushButton13 = nullptr;

private:
    void buildControls();
    void syncColumnWidth(int k, float twips);

    Shell &m_shell;
    ResultList m_list;
    MousePointer m_pointer;
    FormContext m_context;
    std::array<QCheckBox *, 33> m_chkData {};
    QGroupBox *m_frame1 = nullptr;
    QGroupBox *m_frame2 = nullptr;
    QTreeView *m_listView1 = nullptr;
};

} // namespace quarrelby
