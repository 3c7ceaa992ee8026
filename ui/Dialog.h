#pragma once

#include <cstdint>
#include <map>
#include <string>

#include <QDialog>
#include <QFont>

#include "ui/DialogTemplate.h"
#include "ui/MessageBox.h"

class QEventLoop;
class QTimer;

namespace vellumin::ui {

class Coalescer;

// A font of `tenths` tenths of a point in the default face, sized in pixels as Windows sizes
// a point font on a 96-dpi screen, so layouts do not depend on the display's dpi.
QFont PointFont(int tenths, bool bold = false);

// A window built from a dialog template: its controls are created from the template and
// reached by id. Runs modally (DoModal, ended by EndDialog with an integer result) or as a
// modeless child inside another window (Create).
//
// Every control operation (text, shown, enabled, messages, timers) may be called from any
// thread: off the UI thread it is carried out on the UI thread while the caller waits, as a
// sent window message is.
class Dialog : public QDialog {
    Q_OBJECT
public:
    explicit Dialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
    ~Dialog() override;

    const DialogTemplate& Template() const { return *m_template; }

    // Builds the window (once) and runs it modally; returns the result given to EndDialog.
    int DoModal();
    // Builds the window as a child of `parent`, placed at the parent's top-left corner.
    bool Create(QWidget* parent);
    // Ends a modal run with `result`; for a child it only records the result.
    void EndDialog(int result);
    int Result() const { return m_result; }

    // Binds a control object (owned by the window, usually a member) to a template id: it
    // takes the template control's place, rectangle, text and initial state. Before the window
    // is built (DoDataExchange) nothing else is created for the id; afterwards the framework's
    // own control is replaced.
    void Bind(int id, QWidget& control);

    QWidget* Item(int id) const;
    template <class T>
    T* ItemAs(int id) const {
        return dynamic_cast<T*>(Item(id));
    }
    void SetItemText(int id, const std::string& text);
    std::string ItemText(int id) const;
    // Coalesced, non-blocking text change: the latest text per id wins.
    void PostItemText(int id, std::string text);
    void ShowItem(int id, bool show);
    // The control's own shown state (WS_VISIBLE), whatever its parents show.
    bool IsItemShown(int id) const;
    void EnableItem(int id, bool enable);
    bool IsItemEnabled(int id) const;

    // Shows or hides the window itself; OnShowWindow runs when the state changes.
    void ShowWindow(bool show);
    bool IsWindowShown() const { return !isHidden(); }

    // Window messages of this program (e.g. a page's fill message): delivered to OnMessage.
    // SendMessage is synchronous; PostMessage queues.
    intptr_t SendMessage(unsigned message, intptr_t wParam = 0, intptr_t lParam = 0);
    void PostMessage(unsigned message, intptr_t wParam = 0, intptr_t lParam = 0);

    // Window timers: OnTimer(id) every `milliseconds` until killed. Setting an id again
    // restarts it.
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    bool IsTimerSet(int id) const;

    // A message box owned by this window (through the message-box seam).
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags = mb::kOk);

    // The background every control without its own sits on.
    void SetBackgroundColor(const QColor& color);
    // Text colour and font of a label; the label's background stays transparent.
    void SetItemTextStyle(int id, const QColor& color, const QFont& font);

protected:
    // Bind member controls here; runs while the window is built, before OnInitDialog.
    virtual void DoDataExchange() {}
    virtual bool OnInitDialog() { return true; }
    // A button of the window was clicked.
    virtual void OnCommand(int /*id*/) {}
    virtual intptr_t OnMessage(unsigned /*message*/, intptr_t /*wParam*/, intptr_t /*lParam*/) {
        return 0;
    }
    virtual void OnTimer(int /*id*/) {}
    // Confirm key; default ends with 1.
    virtual void OnOK() { EndDialog(kIdOk); }
    // Cancel key; default ends with 2.
    virtual void OnCancel() { EndDialog(kIdCancel); }
    // Close box; default as the cancel key.
    virtual void OnClose() { OnCancel(); }
    virtual void OnShowWindow(bool /*show*/) {}

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

public:
    // QDialog's own ways to end go through OnOK/OnCancel.
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

private:
    void Build();
    QWidget* CreateControl(const ControlTemplate& control);
    void Place(QWidget& widget, const ControlTemplate& control);
    void Connect(QWidget& widget, int id);

    const DialogTemplate* m_template;
    std::map<int, QWidget*> m_items;
    std::map<int, QWidget*> m_bindings;
    std::map<int, QTimer*> m_timers;
    Coalescer* m_texts = nullptr;
    bool m_building = false;
    bool m_built = false;
    bool m_ended = false;
    bool m_running = false;
    QEventLoop* m_loop = nullptr;  // the modal loop while DoModal runs
    int m_result = 0;
};

}  // namespace vellumin::ui
