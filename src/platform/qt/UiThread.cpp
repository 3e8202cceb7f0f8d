#include "platform/UiThread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {

// Queued onto the application object, which lives on the UI thread; calls
// from one thread keep their order, so a completion message posted after a
// worker's last send arrives after it.
void DispatchToQtLoop(std::function<void()> call)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}

} // namespace

void SetUiThread()
{
    SetUiThreadWith(&DispatchToQtLoop);
}
