#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class QWidget;

namespace vellumin::ui {

// Buttons and icon of a message box, as the Windows flags combine them (buttons | icon).
namespace mb {
inline constexpr unsigned kOk = 0x00;
inline constexpr unsigned kOkCancel = 0x01;
inline constexpr unsigned kYesNoCancel = 0x03;
inline constexpr unsigned kYesNo = 0x04;
inline constexpr unsigned kButtonMask = 0x0F;
inline constexpr unsigned kIconStop = 0x10;  // also "error"
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconExclamation = 0x30;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kIconMask = 0xF0;
}  // namespace mb

// Answers, with the Windows values.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
// The request's extra button.
inline constexpr int kIdExtra = 100;

struct MessageBoxRequest {
    QWidget* owner = nullptr;
    std::string text;
    std::string caption;
    unsigned flags = mb::kOk;
    // A further button beside the standard ones (answered kIdExtra), and a note below the text
    // that says what it does; both empty for an ordinary box.
    std::string extraButton;
    std::string note;
};

// Where message boxes go. The application uses QtMessageBoxes; tests install a script.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Called on the UI thread; returns the answer (kIdOk, kIdYes, ...).
    virtual int Show(const MessageBoxRequest& request) = 0;
    // Closes the boxes of `owner` that are open now, as if the user had given the cautious
    // answer: for a box whose text has stopped being true. UI thread.
    virtual void Dismiss(const QWidget* owner) = 0;
};

// The answer of a box closed without a choice: OK for a single button, else No or Cancel.
int CautiousAnswer(unsigned flags);

class QtMessageBoxes final : public MessageBoxes {
public:
    int Show(const MessageBoxRequest& request) override;
    void Dismiss(const QWidget* owner) override;

private:
    std::vector<std::pair<const QWidget*, std::function<void()>>> m_open;  // owner, close
};

// Records every box and answers from a queue; with the queue empty it answers the box's
// cautious choice (OK for a single button, otherwise No or Cancel).
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    int Show(const MessageBoxRequest& request) override;
    // The next box stays open (its owner's window keeps running) until it is dismissed; it
    // then answers the cautious choice.
    void HoldNextUntilDismissed();
    void Dismiss(const QWidget* owner) override;
    size_t Dismissed() const;
    void Answer(int answer);
    std::vector<MessageBoxRequest> Shown() const;
    std::vector<std::string> Texts() const;
    size_t Count() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::deque<int> m_answers;
    std::vector<MessageBoxRequest> m_shown;
    bool m_holdNext = false;
    const QWidget* m_held = nullptr;  // the owner of the box held open, if any
    bool m_heldDismissed = false;
    size_t m_dismissed = 0;
};

// The seam in use (QtMessageBoxes unless a test installed another).
MessageBoxes& CurrentMessageBoxes();

// Installs `boxes` for its lifetime and restores the previous seam afterwards.
class ScopedMessageBoxes {
public:
    explicit ScopedMessageBoxes(MessageBoxes& boxes);
    ~ScopedMessageBoxes();
    ScopedMessageBoxes(const ScopedMessageBoxes&) = delete;
    ScopedMessageBoxes& operator=(const ScopedMessageBoxes&) = delete;

private:
    MessageBoxes* m_previous;
};

// Shows a message box from any thread: a worker waits until the UI thread has shown it and the
// user answered. Returns the answer.
int MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
               unsigned flags = mb::kOk);
int MessageBox(const MessageBoxRequest& request);
// Closes the open message boxes of `owner` (UI thread); each answers its cautious choice.
void DismissMessageBoxes(const QWidget* owner);

}  // namespace vellumin::ui
