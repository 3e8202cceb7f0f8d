#pragma once
// The widget of a CDialog: turns the keyboard, the close box and the context
// menu into the dialog's handlers, and tells the dialog when it goes away.

#include <QWidget>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CDialog;
class QMenu;

class DialogWindow final : public QWidget {
    Q_OBJECT

public:
    DialogWindow(CDialog* owner, QWidget* parent, bool topLevel);
    ~DialogWindow() override;

    CDialog* Owner() const { return owner_; }
    // Cuts the tie to the dialog; the widget only waits to be deleted then.
    void Detach() { owner_ = nullptr; }

    void AppendSystemMenuItem(int command, const QString& text);
    // The window's menu: Close, then the registered entries each after a
    // separator. Offered on a right click where the window manager owns the
    // real system menu.
    std::unique_ptr<QMenu> CreateSystemMenu();

    // Runs a handler of the dialog; widgets destroyed meanwhile are deleted
    // only once every handler has returned.
    template <typename F>
    static void Dispatch(F&& handler)
    {
        ++dispatchDepth_;
        handler();
        --dispatchDepth_;
    }
    static bool InHandler() { return dispatchDepth_ > 0; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void PressEnter();
    bool ClickFocusedButton();
    bool FocusOnAChoice() const;

    CDialog* owner_;
    bool topLevel_;
    std::vector<std::pair<int, QString>> systemMenu_;
    static inline int dispatchDepth_ = 0;
};
