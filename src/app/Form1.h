#pragma once

#include "core/FieldCatalogue.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ResultList.h"
#include "platform/qt/SaveFileWriter.h"

#include <QCursor>
#include <QWidget>

#include <array>
#include <optional>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace quarrelby {

class AddressBooks;
class AutomationFactory;
class PointerFeedback;
class ResultView;
class Shell;
class Spreadsheets;

// The main window: its controls, their places and their wiring. The actions
// behind the buttons live in their modules and reach the window through a
// FormContext; start-up (Form_Load) lives in Startup.
class Form1 : public QWidget {
    Q_OBJECT

public:
    Form1(Shell &shell, AutomationFactory &automation, AddressBooks &books, Spreadsheets *spreadsheets = nullptr,
        QWidget *parent = nullptr);

    [[nodiscard]] ResultList &list() { return m_list; }
    [[nodiscard]] MousePointer &pointer() { return m_pointer; }
    [[nodiscard]] FormContext &context() { return m_context; }
    [[nodiscard]] Shell &shell() { return m_shell; }
    [[nodiscard]] QCheckBox *chkData(int n) const { return m_chkData.at(static_cast<size_t>(n)); }
    [[nodiscard]] ResultView *listView() const { return m_listView1; }
    [[nodiscard]] QGroupBox *frame1() const { return m_frame1; }
    [[nodiscard]] QGroupBox *frame2() const { return m_frame2; }

    // MouseIcon: the picture that pointer value 99 shows; none by default.
    void setMouseIcon(std::optional<QCursor> icon);
    [[nodiscard]] const std::optional<QCursor> &mouseIcon() const { return m_mouseIcon; }

    // Pixels for twips at 96 dpi.
    [[nodiscard]] static int px(int twips);
    [[nodiscard]] static QRect twipsRect(int left, int top, int width, int height);

    QPushButton *PushButton2 = nullptr;
    QPushButton *PushButton6 = nullptr;
    QPushButton *PushButton4 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton3 = nullptr;
    QPushButton *PushButton7 = nullptr;
    QPushButton *PushButton13 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildControls();
    void addOwnTitleBar();
    void wireActions();
    void setUpTabOrder();
    void showPointer(int value);

    Shell &m_shell;
    ResultList m_list;
    MousePointer m_pointer;
    SaveFileWriter m_files; // the product's; the file exports' tests bring their own
    FormContext m_context;
    std::array<QCheckBox *, kFieldCount> m_chkData {};
    QGroupBox *m_frame1 = nullptr;
    QGroupBox *m_frame2 = nullptr;
    ResultView *m_listView1 = nullptr;
    PointerFeedback *m_feedback = nullptr;
    std::optional<QCursor> m_mouseIcon;
    bool m_ownTitleBar = false;
};

// Sets the colour that a control paints behind itself.
void setBackgroundColour(QWidget *widget, const QColor &colour);

} // namespace quarrelby
