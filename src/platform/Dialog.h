#pragma once
// A dialog built from a template, with its controls addressed by id. Every
// control operation may be called from any thread: off the UI thread it runs
// on the UI thread while the caller waits (the window's "send").

#include "platform/Messages.h"

#include <memory>
#include <string>

class QWidget;
struct DialogTemplate;

class CDialog {
public:
    explicit CDialog(int templateId);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    int TemplateId() const { return templateId_; }

    // Builds the window as a hidden child of parent (a page) and runs
    // OnInitDialog. False when the template is unknown.
    bool Create(CDialog* parent);
    // Builds the window as a top-level modal dialog, runs OnInitDialog, and
    // returns the EndDialog value once it has closed. The window is gone then.
    int DoModal(CDialog* owner = nullptr);
    void EndDialog(int result);
    void DestroyWindow();
    bool HasWindow() const;

    // Queues a message for OnMessage on the UI thread.
    void PostMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Runs OnMessage on the UI thread and waits for its result.
    bool SendMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Adds an entry, after a separator, to the window's system menu; choosing
    // it calls OnSysCommand(command).
    void AppendSystemMenuItem(int command, const std::string& text);

    void SetTimer(int timerId, int milliseconds);
    void KillTimer(int timerId);

    // Window
    void ShowWindow(bool show);
    bool IsWindowVisible() const;
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    // Pixels in the parent's client coordinates.
    void MoveWindow(int x, int y, int width, int height);
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
    };
    // A control's rectangle in this window's client coordinates, in pixels.
    Rect GetControlRect(int id) const;
    Rect GetClientRect() const;

    // Any control
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void EnableDlgItem(int id, bool enable);
    bool IsDlgItemEnabled(int id) const;
    void ShowDlgItem(int id, bool show);
    bool IsDlgItemVisible(int id) const; // the control's own shown state
    void SetFocusTo(int id);
    // Edits: at most length characters can be typed or set (EM_LIMITTEXT).
    void SetDlgItemTextLimit(int id, int length);
    // The control paints its own background and lies above its siblings, so
    // that while shown it hides the controls it covers.
    void SetDlgItemOpaque(int id);

    // Check boxes and radio buttons (0 unchecked, 1 checked)
    void CheckDlgButton(int id, int state);
    int IsDlgButtonChecked(int id) const;
    // Checks checkId and clears the others of first..last.
    void CheckRadioButton(int firstId, int lastId, int checkId);
    // The checked id of first..last, 0 when none.
    int GetCheckedRadioButton(int firstId, int lastId) const;

    // List boxes and drop-down lists alike
    int ListAddString(int id, const std::string& text); // index of the new row
    int ListInsertString(int id, int index, const std::string& text);
    void ListDeleteString(int id, int index);
    void ListResetContent(int id);
    int ListGetCount(int id) const;
    std::string ListGetText(int id, int index) const; // "" out of range
    int ListGetCurSel(int id) const;                  // -1 for none
    void ListSetCurSel(int id, int index);            // -1 clears

    // Progress bars
    void ProgressSetRange(int id, int low, int high);
    void ProgressSetPos(int id, int position);
    int ProgressGetPos(int id) const;

    // The widgets, for the platform layer, the renderer and tests.
    QWidget* Widget() const;
    QWidget* Control(int id) const;

protected:
    // After the controls exist. The base does nothing and returns true.
    virtual bool OnInitDialog();
    // Button clicks (BN_CLICKED) and list selection changes. The base turns
    // IDOK and IDCANCEL into OnOK and OnCancel.
    virtual void OnCommand(int id, int notifyCode);
    // Enter on a top-level dialog without a default button (not Enter typed
    // into a page's list or field); Escape and the close box. The base ends the modal run with IDOK / IDCANCEL.
    virtual void OnOK();
    virtual void OnCancel();
    // System-menu commands (IDM_ABOUTBOX); on Linux from the window's context
    // menu. The base ignores them.
    virtual void OnSysCommand(int command);
    // Posted and sent messages. Return true when handled.
    virtual bool OnMessage(unsigned message, WPARAM wParam, LPARAM lParam);
    virtual void OnTimer(int timerId);
    // Called before the window goes away.
    virtual void OnDestroy();

private:
    friend class DialogWindow;
    bool Build(CDialog* parent, bool asPage);
    void WindowGone();
    int templateId_;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The application's main window, to which workers post their completion
// messages; set by the application, and by tests.
CDialog* AfxGetMainWnd();
void AfxSetMainWnd(CDialog* window);
