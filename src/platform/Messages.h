#pragma once
// Window messages and notification codes the system's windows exchange.

#include <cstdint>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

constexpr unsigned WM_BURN_COMPLETE = 0x0658;  // burn worker -> burn page
constexpr unsigned WM_TRANS_COMPLETE = 0x08D1; // conversion worker -> main window
constexpr unsigned WM_BURN_CLOSED = 0x08D2;    // burn page -> main window

// Command ids the dialog framework gives meaning to.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Notification codes handed to CDialog::OnCommand with the control's id.
constexpr int BN_CLICKED = 0;
constexpr int LBN_SELCHANGE = 1;
constexpr int LBN_SELCANCEL = 3;
constexpr int CBN_SELCHANGE = 1;

// System-menu command of the About entry.
constexpr int IDM_ABOUTBOX = 16;
