#pragma once

#include "app/Twips.h"
#include "core/ActionContext.h"
#include "core/FieldCatalogue.h"
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
class PointerFeedback;
class ResultView;
class Shell;
class Spreadsheets;

// The main window: its controls, their places and their wiring. The actions
// behind the buttons live in src/actions and reach the window through an
// ActionContext; start-up (loadMainWindow) lives in Startup.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    MainWindow(Shell &shell, AddressBooks &books, Spreadsheets *spreadsheets = nullptr, QWidget *parent = nullptr);

    [[nodiscard]] ResultList &list() { return m_list; }
    [[nodiscard]] MousePointer &pointer() { return m_pointer; }
    [[nodiscard]] ActionContext &context() { return m_context; }
    [[nodiscard]] Shell &shell() { return m_shell; }
    [[nodiscard]] QCheckBox *fieldBox(int n) const { return m_fieldBoxes.at(static_cast<size_t>(n)); }
    [[nodiscard]] ResultView *listView() const { return m_listView; }
    [[nodiscard]] QGroupBox *infoFrame() const { return m_infoFrame; }
    [[nodiscard]] QGroupBox *phoneFrame() const { return m_phoneFrame; }

    // The picture that pointer value 99 shows; none by default.
    void setMouseIcon(std::optional<QCursor> icon);
    [[nodiscard]] const std::optional<QCursor> &mouseIcon() const { return m_mouseIcon; }

    // Pixels for twips at 96 dpi.
    [[nodiscard]] static int px(int twips) { return pixelsFromTwips(twips); }
    [[nodiscard]] static QRect twipsRect(int left, int top, int width, int height)
    {
        return {px(left), px(top), px(width), px(height)};
    }

    QPushButton *extractButton = nullptr;
    QPushButton *saveTextButton = nullptr;
    QPushButton *saveCommaButton = nullptr;
    QPushButton *workbookButton = nullptr;
    QPushButton *clipboardButton = nullptr;
    QPushButton *clearButton = nullptr;
    QPushButton *helpButton = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildControls();
    void addOwnTitleBar();
    void wireActions();
    void setUpTabOrder();
    void addShortcuts();
    void showPointer(int value);

    Shell &m_shell;
    ResultList m_list;
    MousePointer m_pointer;
    SaveFileWriter m_files; // the product's; the file exports' tests bring their own
    ActionContext m_context;
    std::array<QCheckBox *, kFieldCount> m_fieldBoxes {};
    QGroupBox *m_infoFrame = nullptr;
    QGroupBox *m_phoneFrame = nullptr;
    ResultView *m_listView = nullptr;
    PointerFeedback *m_feedback = nullptr;
    std::optional<QCursor> m_mouseIcon;
    bool m_ownTitleBar = false;
};

// Sets the colour that a control paints behind itself.
void setBackgroundColour(QWidget *widget, const QColor &colour);

} // namespace quarrelby
