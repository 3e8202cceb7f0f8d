#include "platform/WaitCursor.h"

#include <QApplication>
#include <QCursor>

// Without an application object there is no cursor to change, and Qt would
// not survive being asked.
void BeginWaitCursor()
{
    if (qApp)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void EndWaitCursor()
{
    if (qApp)
        QApplication::restoreOverrideCursor();
}
