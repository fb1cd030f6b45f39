#pragma once

#include "app/PointerFeedback.h"
#include "app/Twips.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "platform/qt/SaveFileWriter.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace quarrelby {

class AddressBooks;
class ResultView;
class Shell;
class Spreadsheets;

// The main window: its controls, their places and their wiring. The actions
// behind the buttons live in src/actions and reach the window through an
// ActionContext; start-up (loadMainWindow) lives in Startup.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    MainWindow(Shell &shell, AddressBooks &books, Spreadsheets &spreadsheets, QWidget *parent = nullptr);

    [[nodiscard]] ResultList &list() { return m_list; }
    [[nodiscard]] BusyState &busy() { return m_busy; }
    [[nodiscard]] PointerFeedback &pointer() { return *m_pointer; }
    [[nodiscard]] AddressBooks &books() { return m_books; }
    [[nodiscard]] ActionContext &context() { return m_context; }
    [[nodiscard]] Shell &shell() { return m_shell; }
    [[nodiscard]] QCheckBox *fieldBox(int n) const { return m_fieldBoxes.at(static_cast<size_t>(n)); }
    [[nodiscard]] ResultView *listView() const { return m_listView; }
    [[nodiscard]] QGroupBox *infoFrame() const { return m_infoFrame; }
    [[nodiscard]] QGroupBox *phoneFrame() const { return m_phoneFrame; }

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

private:
    void buildControls();
    void wireActions();
    void addCardActions();
    void setUpTabOrder();
    void addShortcuts();

    Shell &m_shell;
    AddressBooks &m_books;
    Spreadsheets &m_spreadsheets;
    ResultList m_list;
    BusyState m_busy;
    SaveFileWriter m_files; // the product's; the file exports' tests bring their own
    ActionContext m_context;
    std::array<QCheckBox *, kFieldCount> m_fieldBoxes {};
    QGroupBox *m_infoFrame = nullptr;
    QGroupBox *m_phoneFrame = nullptr;
    ResultView *m_listView = nullptr;
    PointerFeedback *m_pointer = nullptr;
};

// Sets the colour of a control's background role. The window fills its
// background; the frames and check boxes on it show the window's through.
void setBackgroundColour(QWidget *widget, const QColor &colour);

} // namespace quarrelby
