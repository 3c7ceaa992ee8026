#include "pages/fwupdate/CFolderDialog.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

#include "pages/fwupdate/DownloadEngine.h"
#include "ui/MessageBox.h"

namespace vellumin::fwupdate {

namespace {

CFolderDialog::Chooser& ScriptedChooser() {
    static CFolderDialog::Chooser chooser;
    return chooser;
}

}  // namespace

CFolderDialog::ScopedChooser::ScopedChooser(Chooser chooser)
    : m_previous(std::move(ScriptedChooser())) {
    ScriptedChooser() = std::move(chooser);
}

CFolderDialog::ScopedChooser::~ScopedChooser() {
    ScriptedChooser() = std::move(m_previous);
}

CFolderDialog::CFolderDialog(std::string initialFolder, QWidget* parent)
    : m_strInitialFolder(std::move(initialFolder)), m_pParent(parent) {}

int CFolderDialog::DoModal() {
    m_strSelectedFolder = m_strInitialFolder;
    if (ScriptedChooser()) {
        const auto chosen = ScriptedChooser()(m_strInitialFolder);
        if (!chosen) {
            return vellumin::ui::kIdCancel;
        }
        m_strSelectedFolder = *chosen;
        return vellumin::ui::kIdOk;
    }
    QFileDialog dialog(m_pParent, "Current Selection", QString::fromStdString(m_strInitialFolder));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // Qt's own dialog, so the status line can sit under it on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    QLabel status;
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(&status, grid->rowCount(), 0, 1, grid->columnCount());
    }
    m_hDialog = &dialog;
    m_pStatus = &status;
    QObject::connect(&dialog, &QFileDialog::currentChanged,
                     [this](const QString& path) { OnSelChanged(path.toStdString()); });
    OnInitialized();
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (accepted) {
        m_strSelectedFolder = dialog.selectedFiles().front().toStdString();
    }
    m_hDialog = nullptr;
    m_pStatus = nullptr;
    return accepted ? vellumin::ui::kIdOk : vellumin::ui::kIdCancel;
}

void CFolderDialog::OnInitialized() {
    if (m_pStatus != nullptr) {
        m_pStatus->setText(
            QString::fromStdString(vellumin::fwupdate::ShortenStatusText(m_strInitialFolder)));
    }
}

void CFolderDialog::OnSelChanged(const std::string& path) {
    m_strSelectedFolder = path;
    if (m_pStatus != nullptr) {
        m_pStatus->setText(QString::fromStdString(vellumin::fwupdate::ShortenStatusText(path)));
    }
}

}  // namespace vellumin::fwupdate
