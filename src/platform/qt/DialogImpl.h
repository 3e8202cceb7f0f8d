#pragma once
// What the dialog's window side shares between its files: the state behind
// a CDialog and the hop onto the UI thread its operations take.

#include "platform/Dialog.h"
#include "platform/UiThread.h"
#include "platform/qt/DialogWindow.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>

struct DialogTemplate;

namespace dialog_detail {

// A posted message may arrive after its dialog is gone; it asks this first.
struct Lifetime {
    CDialog* dialog = nullptr;
};

// Control operations run on the UI thread; from another thread they wait
// for it, and get the neutral value once the UI has shut down or when the
// dialog went away while the call waited in the queue.
template <typename R, typename F>
R OnUi(std::shared_ptr<Lifetime> lifetime, R neutral, F&& operation)
{
    if (IsUiThread())
        return operation();
    R result = neutral;
    SendToUi([&] {
        if (lifetime->dialog)
            result = operation();
    });
    return result;
}

template <typename F>
void OnUi(std::shared_ptr<Lifetime> lifetime, F&& operation)
{
    if (IsUiThread()) {
        operation();
        return;
    }
    SendToUi([&] {
        if (lifetime->dialog)
            operation();
    });
}

} // namespace dialog_detail

struct CDialog::Impl {
    const DialogTemplate* tmpl = nullptr;
    QPointer<DialogWindow> window;
    std::map<int, QWidget*> controls;
    std::map<int, QTimer*> timers;
    std::shared_ptr<dialog_detail::Lifetime> lifetime = std::make_shared<dialog_detail::Lifetime>();
    QEventLoop* modalLoop = nullptr;
    int modalResult = 0;
    bool ended = false;

    void Release()
    {
        if (!window)
            return;
        // Pages go before the window that holds them, each with its own
        // OnDestroy, as the platform's windows did.
        for (DialogWindow* child : window->findChildren<DialogWindow*>(Qt::FindDirectChildrenOnly))
            if (CDialog* page = child->Owner())
                page->DestroyWindow();
        DialogWindow* gone = window;
        gone->Detach();
        for (auto& [id, timer] : timers)
            timer->stop();
        window.clear();
        controls.clear();
        timers.clear();
        // A handler running now may belong to one of these widgets.
        if (DialogWindow::InHandler())
            gone->deleteLater();
        else
            delete gone;
    }
};
