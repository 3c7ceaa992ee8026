#include "transport/Discovery.h"

#include <cctype>

namespace vellumin::ata {

int DriveTable::EffectiveRow(int selectedRow) const {
    return selectedRow >= 0 && selectedRow < count ? selectedRow : 0;
}

int DriveTable::DriveOfRow(int selectedRow) const {
    return count > 0 ? rowToDrive[EffectiveRow(selectedRow)] : -1;
}

int GetVolumeDiskNumber(platform::DriveSystem& drives, const std::string& volumeName) {
    return drives.VolumeDiskNumber(volumeName);
}

std::string VolumeText(const std::string& volumeName) {
    if (volumeName.size() == 1 && std::isalpha(static_cast<unsigned char>(volumeName[0]))) {
        return volumeName + ": ";
    }
    return volumeName + " ";
}

bool IsCompatible(const std::string& prefixText, const std::string& rotationText) {
    return prefixText == kMakerPrefix && rotationText == kNonRotatingText;
}

std::vector<std::string> DiscoverDrives(platform::DriveSystem& drives, DriveTable& table) {
    table.count = 0;
    for (auto& names : table.volumes) {
        names.clear();
    }

    for (const auto& name : drives.VolumeNames()) {
        if (drives.IsRemovableVolume(name)) {
            continue;
        }
        const int disk = GetVolumeDiskNumber(drives, name);
        if (disk >= 0 && disk < kMaxDrives) {
            table.volumes[disk].push_back(name);
        }
    }

    std::vector<std::string> rows;
    for (int n = 0; n < kMaxDrives; ++n) {
        IdentifyBlock scratch{};
        IdentifyDevice(drives, n, scratch);  // an unanswered drive keeps the zero block
        table.identify[n] = scratch;
        table.rotationText[n] = RotationText(scratch);
        table.prefixText[n] = PrefixText(scratch);
        table.modelText[n] = ModelText(scratch);
        if (!IsCompatible(table.prefixText[n], table.rotationText[n])) {
            continue;
        }
        std::string row = " " + table.modelText[n] + " ";
        if (!table.volumes[n].empty()) {
            std::string volumeText;
            for (const auto& name : table.volumes[n]) {
                volumeText += VolumeText(name);
            }
            row += "(" + volumeText + ")";
        }
        rows.push_back(std::move(row));
        table.rowToDrive[table.count++] = n;
    }
    if (table.count == 0) {
        rows.assign(1, kNoCompatibleDeviceRow);
    }
    return rows;
}

Discovery DiscoverDrives(platform::DriveSystem& drives) {
    Discovery discovery;
    discovery.rows = DiscoverDrives(drives, discovery.table);
    return discovery;
}

}  // namespace vellumin::ata
