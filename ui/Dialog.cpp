#include "ui/Dialog.h"

#include <algorithm>

#include <QAbstractButton>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "ui/DialogUnits.h"
#include "ui/UiThread.h"

namespace vellumin::ui {
namespace {

bool HasTextProperty(const QWidget& widget) {
    return widget.metaObject()->indexOfProperty("text") >= 0;
}

}  // namespace

QFont PointFont(int tenths, bool bold) {
    QFont font;
    font.setPixelSize(std::max(1, MulDiv(tenths, 96, 720)));
    // The layouts were drawn for the narrower Windows dialog faces; a semi-condensed face
    // keeps their texts inside their rectangles.
    font.setStretch(QFont::SemiCondensed);
    font.setBold(bold);
    return font;
}

Dialog::Dialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(&dialogTemplate) {}

Dialog::~Dialog() = default;

// The loop is the window's own, not QDialog::exec's: that one also ends when the window is
// hidden, and the home screen hides itself while the main window runs inside its loop. Here,
// as with a dialog's message loop, only EndDialog ends it.
int Dialog::DoModal() {
    Build();
    if (!m_ended) {
        QEventLoop loop;
        m_loop = &loop;
        m_running = true;
        const bool wasModal = testAttribute(Qt::WA_ShowModal);
        setAttribute(Qt::WA_ShowModal, true);
        show();
        loop.exec(QEventLoop::DialogExec);
        setAttribute(Qt::WA_ShowModal, wasModal);
        m_running = false;
        m_loop = nullptr;
    }
    m_ended = false;
    return m_result;
}

bool Dialog::Create(QWidget* parent) {
    setParent(parent, Qt::Widget);
    move(0, 0);
    Build();
    return true;
}

void Dialog::EndDialog(int result) {
    Send(this, [&] {
        m_result = result;
        m_ended = true;
        if (m_running) {
            QDialog::done(result);
            m_loop->exit(result);
        }
    });
}

void Dialog::Build() {
    if (m_built || m_building) {
        return;
    }
    m_building = true;
    const bool child = (m_template->style & Child) != 0 || (parentWidget() && !isWindow());
    if (child) {
        setWindowFlags(Qt::Widget);
    } else {
        Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowCloseButtonHint;
        if (m_template->style & SysMenu) {
            flags |= Qt::WindowSystemMenuHint;
        }
        if (m_template->style & MinimizeBox) {
            flags |= Qt::WindowMinimizeButtonHint;
        }
        setWindowFlags(flags);
        setWindowTitle(QString::fromUtf8(m_template->caption.data(),
                                         static_cast<qsizetype>(m_template->caption.size())));
    }
    setFont(PointFont(80));
    setFixedSize(DialogUnitsToPixelsX(m_template->cx), DialogUnitsToPixelsY(m_template->cy));

    m_texts = new Coalescer(this);
    DoDataExchange();
    for (const auto& control : m_template->controls) {
        auto bound = m_bindings.find(control.id);
        QWidget* widget = bound != m_bindings.end() ? bound->second : CreateControl(control);
        Place(*widget, control);
        Connect(*widget, control.id);
        m_items[control.id] = widget;
    }
    m_bindings.clear();
    m_built = true;
    OnInitDialog();
}

QWidget* Dialog::CreateControl(const ControlTemplate& control) {
    switch (control.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(this);
        label->setWordWrap(true);
        label->setAlignment((control.style & Center ? Qt::AlignHCenter : Qt::AlignLeft) |
                            Qt::AlignTop);
        return label;
    }
    case ControlKind::PushButton:
    case ControlKind::ImageButton: {
        auto* button = new QPushButton(this);
        button->setAutoDefault(false);
        return button;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(control.style & ReadOnly);
        edit->setFrame(control.style & Border);
        return edit;
    }
    case ControlKind::ListView: {
        auto* list = new QTreeWidget(this);
        list->setRootIsDecorated(false);
        list->setHeaderHidden(control.style & NoColumnHeader);
        list->setSelectionMode(control.style & SingleSel ? QAbstractItemView::SingleSelection
                                                           : QAbstractItemView::ExtendedSelection);
        return list;
    }
    case ControlKind::Tab: return new QFrame(this);
    case ControlKind::Progress: {
        auto* bar = new QProgressBar(this);
        bar->setTextVisible(false);
        return bar;
    }
    }
    return new QWidget(this);
}

void Dialog::Place(QWidget& widget, const ControlTemplate& control) {
    widget.setParent(this);
    widget.setGeometry(DialogRectToPixels(control.x, control.y, control.cx, control.cy));
    if (!control.text.empty()) {
        const QString text =
            QString::fromUtf8(control.text.data(), static_cast<qsizetype>(control.text.size()));
        // A control that shows no caption of its own (a list) is named by it for screen readers.
        if (HasTextProperty(widget)) {
            widget.setProperty("text", text);
        } else {
            widget.setAccessibleName(text);
        }
    }
    widget.setHidden(!control.visible());
    widget.setEnabled(control.enabled());
    widget.setFocusPolicy(control.style & TabStop ? Qt::StrongFocus : widget.focusPolicy());
}

void Dialog::Connect(QWidget& widget, int id) {
    if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    }
}

void Dialog::Bind(int id, QWidget& control) {
    Send(this, [&] {
        if (!m_built) {
            m_bindings[id] = &control;
            return;
        }
        const ControlTemplate* t = m_template->Find(id);
        auto found = m_items.find(id);
        if (t == nullptr || found == m_items.end() || found->second == &control) {
            return;
        }
        QWidget* old = found->second;
        Place(control, *t);
        if (HasTextProperty(*old) && HasTextProperty(control)) {
            control.setProperty("text", old->property("text"));
        }
        control.setHidden(old->isHidden());
        control.setEnabled(old->isEnabled());
        control.stackUnder(old);
        Connect(control, id);
        found->second = &control;
        old->hide();
        old->deleteLater();
    });
}

QWidget* Dialog::Item(int id) const {
    auto found = m_items.find(id);
    return found == m_items.end() ? nullptr : found->second;
}

void Dialog::SetItemText(int id, const std::string& text) {
    Send(this, [&] {
        if (QWidget* w = Item(id); w && HasTextProperty(*w)) {
            w->setProperty("text", QString::fromStdString(text));
        }
    });
}

std::string Dialog::ItemText(int id) const {
    std::string text;
    Send(const_cast<Dialog*>(this), [&] {
        if (QWidget* w = Item(id); w && HasTextProperty(*w)) {
            text = w->property("text").toString().toStdString();
        }
    });
    return text;
}

void Dialog::PostItemText(int id, std::string text) {
    if (m_texts == nullptr) {
        SetItemText(id, text);
        return;
    }
    m_texts->Post(id, [this, id, text = std::move(text)] { SetItemText(id, text); });
}

void Dialog::ShowItem(int id, bool show) {
    Send(this, [&] {
        if (QWidget* w = Item(id)) {
            w->setHidden(!show);
        }
    });
}

bool Dialog::IsItemShown(int id) const {
    bool shown = false;
    Send(const_cast<Dialog*>(this), [&] {
        QWidget* w = Item(id);
        shown = w && !w->isHidden();
    });
    return shown;
}

void Dialog::EnableItem(int id, bool enable) {
    Send(this, [&] {
        if (QWidget* w = Item(id)) {
            w->setEnabled(enable);
        }
    });
}

bool Dialog::IsItemEnabled(int id) const {
    bool enabled = false;
    Send(const_cast<Dialog*>(this), [&] {
        QWidget* w = Item(id);
        enabled = w && w->isEnabled();
    });
    return enabled;
}

void Dialog::ShowWindow(bool show) {
    Send(this, [&] {
        const bool was = !isHidden();
        setVisible(show);
        if (was != show) {
            OnShowWindow(show);
        }
    });
}

intptr_t Dialog::SendMessage(unsigned message, intptr_t wParam, intptr_t lParam) {
    intptr_t result = 0;
    Send(this, [&] { result = OnMessage(message, wParam, lParam); });
    return result;
}

void Dialog::PostMessage(unsigned message, intptr_t wParam, intptr_t lParam) {
    Post(this, [this, message, wParam, lParam] { OnMessage(message, wParam, lParam); });
}

void Dialog::SetTimer(int id, int milliseconds) {
    Send(this, [&] {
        QTimer*& timer = m_timers[id];
        if (timer == nullptr) {
            timer = new QTimer(this);
            connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
        }
        timer->start(milliseconds);
    });
}

void Dialog::KillTimer(int id) {
    Send(this, [&] {
        if (auto found = m_timers.find(id); found != m_timers.end()) {
            found->second->stop();
        }
    });
}

bool Dialog::IsTimerSet(int id) const {
    bool set = false;
    Send(const_cast<Dialog*>(this), [&] {
        auto found = m_timers.find(id);
        set = found != m_timers.end() && found->second->isActive();
    });
    return set;
}

int Dialog::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return ui::MessageBox(this, text, caption, flags);
}

void Dialog::SetBackgroundColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    p.setColor(QPalette::Base, color);
    setPalette(p);
    setAutoFillBackground(true);
}

void Dialog::SetItemTextStyle(int id, const QColor& color, const QFont& font) {
    Send(this, [&] {
        if (QWidget* w = Item(id)) {
            QPalette p = w->palette();
            p.setColor(QPalette::WindowText, color);
            p.setColor(QPalette::Text, color);
            w->setPalette(p);
            w->setFont(font);
            w->setAutoFillBackground(false);
        }
    });
}

void Dialog::keyPressEvent(QKeyEvent* event) {
    const bool top = isWindow();
    switch (event->key()) {
    case Qt::Key_Escape:
        if (!top) {
            event->ignore();
            return;
        }
        OnCancel();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The confirm key presses the focused button, skinned ones included.
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
            button && button->isEnabled() && isAncestorOf(button)) {
            button->click();
            return;
        }
        if (!top) {
            event->ignore();
            return;
        }
        OnOK();
        return;
    default: QWidget::keyPressEvent(event);
    }
}

void Dialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (isWindow()) {
        OnClose();
    }
}

}  // namespace vellumin::ui
