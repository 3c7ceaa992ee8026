#include "ui/MessageBox.h"

#include <atomic>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QMessageBox>
#include <QPointer>

#include "ui/UiThread.h"

namespace vellumin::ui {
namespace {

std::atomic<MessageBoxes*> g_current{nullptr};

QtMessageBoxes& RealBoxes() {
    static QtMessageBoxes boxes;
    return boxes;
}

}  // namespace

int CautiousAnswer(unsigned flags) {
    switch (flags & mb::kButtonMask) {
    case mb::kOk: return kIdOk;
    case mb::kYesNo: return kIdNo;
    default: return kIdCancel;
    }
}

int QtMessageBoxes::Show(const MessageBoxRequest& request) {
    QMessageBox box(request.owner);
    bool dismissed = false;
    m_open.emplace_back(request.owner, [&] {
        dismissed = true;
        box.done(QMessageBox::Cancel);
    });
    struct Forget {
        std::vector<std::pair<const QWidget*, std::function<void()>>>& open;
        ~Forget() { open.pop_back(); }  // boxes nest: the last one shown ends first
    } forget{m_open};
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setText(QString::fromStdString(request.text));
    switch (request.flags & mb::kIconMask) {
    case mb::kIconStop: box.setIcon(QMessageBox::Critical); break;
    case mb::kIconQuestion: box.setIcon(QMessageBox::Question); break;
    case mb::kIconExclamation: box.setIcon(QMessageBox::Warning); break;
    case mb::kIconInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (request.flags & mb::kButtonMask) {
    case mb::kOkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case mb::kYesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case mb::kYesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    QPushButton* extra = nullptr;
    if (!request.extraButton.empty()) {
        extra = box.addButton(QString::fromStdString(request.extraButton), QMessageBox::ActionRole);
    }
    if (!request.note.empty()) {
        box.setInformativeText(QString::fromStdString(request.note));
    }
    const int clicked = box.exec();
    if (dismissed) {
        return CautiousAnswer(request.flags);
    }
    if (extra != nullptr && box.clickedButton() == extra) {
        return kIdExtra;
    }
    switch (clicked) {
    case QMessageBox::Ok: return kIdOk;
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    default: return (request.flags & mb::kButtonMask) == mb::kYesNo ? kIdNo : kIdCancel;
    }
}

void QtMessageBoxes::Dismiss(const QWidget* owner) {
    // Copied first: closing a box lets its Show return and forget it.
    std::vector<std::function<void()>> closers;
    for (const auto& [boxOwner, close] : m_open) {
        if (boxOwner == owner) {
            closers.push_back(close);
        }
    }
    for (const auto& close : closers) {
        close();
    }
}

int ScriptedMessageBoxes::Show(const MessageBoxRequest& request) {
    std::unique_lock lock(m_mutex);
    m_shown.push_back(request);
    if (m_holdNext) {
        m_holdNext = false;
        m_held = request.owner;
        m_heldDismissed = false;
        lock.unlock();
        // The owner's window goes on running under the box, as under a real one.
        WaitUntil([this] {
            std::lock_guard wait(m_mutex);
            return m_heldDismissed;
        });
        return CautiousAnswer(request.flags);
    }
    if (!m_answers.empty()) {
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return CautiousAnswer(request.flags);
}

void ScriptedMessageBoxes::HoldNextUntilDismissed() {
    std::lock_guard lock(m_mutex);
    m_holdNext = true;
}

void ScriptedMessageBoxes::Dismiss(const QWidget* owner) {
    std::lock_guard lock(m_mutex);
    if (m_held != nullptr && m_held == owner && !m_heldDismissed) {
        m_heldDismissed = true;
        m_held = nullptr;
        ++m_dismissed;
    }
}

size_t ScriptedMessageBoxes::Dismissed() const {
    std::lock_guard lock(m_mutex);
    return m_dismissed;
}

void ScriptedMessageBoxes::Answer(int answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<MessageBoxRequest> ScriptedMessageBoxes::Shown() const {
    std::lock_guard lock(m_mutex);
    return m_shown;
}

std::vector<std::string> ScriptedMessageBoxes::Texts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& r : m_shown) {
        texts.push_back(r.text);
    }
    return texts;
}

size_t ScriptedMessageBoxes::Count() const {
    std::lock_guard lock(m_mutex);
    return m_shown.size();
}

void ScriptedMessageBoxes::Clear() {
    std::lock_guard lock(m_mutex);
    m_shown.clear();
    m_answers.clear();
    m_holdNext = false;
}

MessageBoxes& CurrentMessageBoxes() {
    MessageBoxes* current = g_current.load();
    return current ? *current : RealBoxes();
}

ScopedMessageBoxes::ScopedMessageBoxes(MessageBoxes& boxes) : m_previous(g_current.exchange(&boxes)) {}

ScopedMessageBoxes::~ScopedMessageBoxes() { g_current.store(m_previous); }

int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags) {
    return MessageBox(MessageBoxRequest{owner, text, caption, flags, {}, {}});
}

int MessageBox(const MessageBoxRequest& request) {
    QWidget* owner = request.owner;
    if (IsUiThread()) {
        return CurrentMessageBoxes().Show(request);
    }
    // Sent to the application object: a worker's box must come up even when its owner is gone
    // by then (it then has no owner).
    QPointer<QWidget> owner_alive(owner);
    int answer = kIdCancel;
    Send(QCoreApplication::instance(), [&] {
        MessageBoxRequest onUi = request;
        onUi.owner = owner_alive.data();
        answer = CurrentMessageBoxes().Show(onUi);
    });
    return answer;
}

void DismissMessageBoxes(const QWidget* owner) { CurrentMessageBoxes().Dismiss(owner); }

}  // namespace vellumin::ui
