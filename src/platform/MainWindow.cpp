#include "platform/Dialog.h"

#include <atomic>

namespace {
std::atomic<CDialog*> g_mainWindow{nullptr};
}

CDialog* AfxGetMainWnd()
{
    return g_mainWindow.load();
}

void AfxSetMainWnd(CDialog* window)
{
    g_mainWindow.store(window);
}
