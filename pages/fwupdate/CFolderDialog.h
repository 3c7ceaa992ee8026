#pragma once

#include <functional>
#include <optional>
#include <string>

class QFileDialog;
class QLabel;
class QWidget;

namespace vellumin::fwupdate {

// One run of the folder chooser (Qt's folder dialog) with a status line under it that shows
// the selected folder, shortened.
class CFolderDialog {
public:
    // Replaces the interactive chooser while it lives (tests): gets the initial folder, returns
    // the chosen folder or nullopt for Cancel.
    using Chooser = std::function<std::optional<std::string>(const std::string& initialFolder)>;
    class ScopedChooser {
    public:
        explicit ScopedChooser(Chooser chooser);
        ~ScopedChooser();
        ScopedChooser(const ScopedChooser&) = delete;
        ScopedChooser& operator=(const ScopedChooser&) = delete;

    private:
        Chooser m_previous;
    };

    // `initialFolder` empty: the chooser's own start.
    explicit CFolderDialog(std::string initialFolder = {}, QWidget* parent = nullptr);
    virtual ~CFolderDialog() = default;
    CFolderDialog(const CFolderDialog&) = delete;
    CFolderDialog& operator=(const CFolderDialog&) = delete;

    // 1 (OK) when the user confirmed a folder, which then is the selected folder; 2 otherwise.
    virtual int DoModal();
    const std::string& GetFolderPath() const { return m_strSelectedFolder; }

protected:
    virtual void OnInitialized();
    virtual void OnSelChanged(const std::string& path);

private:
    std::string m_strInitialFolder;
    std::string m_strSelectedFolder;
    QWidget* m_pParent = nullptr;
    QFileDialog* m_hDialog = nullptr;  // while DoModal runs
    QLabel* m_pStatus = nullptr;
};

}  // namespace vellumin::fwupdate
