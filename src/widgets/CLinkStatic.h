#pragma once
// A static text control of a dialog that acts as a link: drawn in the link
// colour, red and underlined while the pointer is over it, with a pointing
// hand and the target as its tooltip; a click opens the target with the
// desktop's opener, and from then on the link shows as visited.
//
// Attached to a control that the dialog's template made, never created on
// its own. User-interface thread; calls from other threads are sent there.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <string>

class CDialog;

class CLinkStatic : public QObject {
    Q_OBJECT

public:
    CLinkStatic();
    ~CLinkStatic() override;

    // Attaches to the static control id of dialog. False when there is no
    // such static (the link then stays unattached).
    bool SubclassDlgItem(int id, CDialog* dialog);
    bool HasWindow() const { return !label_.isNull(); }

    // An empty target leaves the control plain text until it is given one.
    void SetLinkTarget(const std::string& target);
    const std::string& GetLinkTarget() const { return target_; }
    void MarkVisited(bool visited);
    // 1 always underlined, 0 never, -1 only while the pointer is over it.
    void SetUnderlineMode(int mode);
    int GetUnderlineMode() const { return underlineMode_; }
    // Resizes the control to its text, keeping the edge its alignment names.
    void FitToText();
    void DestroyWindow();

    // Opens target through the shell seam; a shell code, above 32 for success.
    static int OpenLinkTarget(const std::string& target);
    void ShowOpenError(int code);

    bool IsVisited() const { return visited_; }
    bool IsOverControl() const { return overControl_; }
    // The colour the text is drawn in now.
    QColor TextColour() const;
    QLabel* Label() const { return label_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Attach();
    void UseCursor();
    void HoverStart();
    void HoverEndTest();
    void Click();
    void UseFont(bool underlined);
    void ApplyLook();
    QColor LinkColour() const;
    QColor VisitedColour() const;

    QColor linkColour_{0, 0, 238};
    QColor visitedColour_{85, 26, 139};
    QColor hoverColour_{255, 0, 0};
    bool overControl_ = false;
    bool visited_ = false;
    int underlineMode_ = -1;
    bool fitToText_ = true;
    std::string target_;
    QFont underlinedFont_;
    QFont plainFont_;
    bool underlined_ = false; // the font in use; a skin's sheet hides it from the widget's
    QTimer hoverTimer_;
    static constexpr int kHoverTimerMs = 100;

    QPointer<QLabel> label_;
    CDialog* dialog_ = nullptr;
    bool pressed_ = false;
};
