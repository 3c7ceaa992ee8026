#pragma once

#include "ata/IdentifyBlock.h"
#include "ui/FeaturePage.h"

// Page 5: the firmware-update check and download (dialog 146).
class CFWUpdate : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 146;
    static constexpr int IDC_STATUS = 1029;
    static constexpr int IDC_PROGRESS = 1030;
    static constexpr int IDC_FOLDER = 1051;
    static constexpr int IDC_BROWSE = 1021;
    static constexpr int IDC_DOWNLOAD = 1022;
    static constexpr int IDC_AHCI_NOTE = 1061;

    explicit CFWUpdate(vellumin::platform::Platform& platform);

    // Asks the update service about the drive whose identify copy is given (the drive table's;
    // it outlives the page). Called each time the main window shows the page for a drive.
    virtual void StartUpdateQuery(const vellumin::ata::IdentifyBlock& identify);

protected:
    bool OnInitDialog() override;

private:
    const vellumin::ata::IdentifyBlock* m_pIdentify = nullptr;
};
