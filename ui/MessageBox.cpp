#include "ui/MessageBox.h"

#include <atomic>

#include <QCoreApplication>
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

int QtMessageBoxes::Show(const MessageBoxRequest& request) {
    QMessageBox box(request.owner);
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
    const int result = box.exec();
    if (extra != nullptr && box.clickedButton() == extra) {
        return kIdExtra;
    }
    switch (result) {
    case QMessageBox::Ok: return kIdOk;
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    default: return (request.flags & mb::kButtonMask) == mb::kYesNo ? kIdNo : kIdCancel;
    }
}

int ScriptedMessageBoxes::Show(const MessageBoxRequest& request) {
    std::lock_guard lock(m_mutex);
    m_shown.push_back(request);
    if (!m_answers.empty()) {
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    switch (request.flags & mb::kButtonMask) {
    case mb::kOk: return kIdOk;
    case mb::kYesNo: return kIdNo;
    default: return kIdCancel;
    }
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

}  // namespace vellumin::ui
