#pragma once
// Hands the keyboard focus back to the window that was active before a modal
// window opened. A window manager does this itself; without one (a bare X
// server) the program would take no more keys until something is clicked.

#include <QApplication>
#include <QPointer>
#include <QWidget>

class FocusReturn {
public:
    explicit FocusReturn(QWidget* fallback = nullptr)
        : window_(QApplication::activeWindow() ? QApplication::activeWindow() : fallback)
    {
    }
    ~FocusReturn()
    {
        if (window_ && window_->isVisible()) {
            window_->raise();
            window_->activateWindow();
        }
    }
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;

private:
    QPointer<QWidget> window_;
};
