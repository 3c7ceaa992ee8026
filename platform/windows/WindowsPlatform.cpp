#include "platform/windows/WindowsPlatform.h"

#include <windows.h>
#include <ntddscsi.h>
#include <shellapi.h>
#include <winioctl.h>

#include <cstdio>
#include <optional>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/HostPlatform.h"
#include "platform/windows/AtaPassThroughDirect.h"
#include "platform/Win32Text.h"

namespace vellumin::platform::windows_backend {
namespace {

constexpr int kDriveCount = 16;

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() {
        if (valid()) {
            CloseHandle(m_handle);
        }
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    bool valid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Page-aligned memory, which meets every adapter's alignment.
class AlignedBuffer {
public:
    explicit AlignedBuffer(size_t bytes)
        : m_data(bytes != 0 ? VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                            : nullptr) {}
    ~AlignedBuffer() {
        if (m_data != nullptr) {
            VirtualFree(m_data, 0, MEM_RELEASE);
        }
    }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    void* data() const { return m_data; }

private:
    void* m_data;
};

// The adapter's descriptor (alignment mask, bus type); nullopt when the adapter does not say.
std::optional<STORAGE_ADAPTER_DESCRIPTOR> AdapterDescriptor(HANDLE drive) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageAdapterProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_ADAPTER_DESCRIPTOR adapter{};
    DWORD returned = 0;
    if (!DeviceIoControl(drive, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &adapter,
                         sizeof adapter, &returned, nullptr) ||
        returned < offsetof(STORAGE_ADAPTER_DESCRIPTOR, BusType) + sizeof(adapter.BusType)) {
        return std::nullopt;
    }
    return adapter;
}

uint32_t AdapterAlignmentMask(HANDLE drive) {
    const auto adapter = AdapterDescriptor(drive);
    return adapter ? adapter->AlignmentMask : 0;
}

class WindowsDriveHandle final : public DriveHandle {
public:
    explicit WindowsDriveHandle(HANDLE handle)
        : m_handle(handle), m_alignmentMask(AdapterAlignmentMask(handle)) {}

    PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override {
        if ((request.dataLength != 0) != (request.dataBuffer != nullptr) ||
            (request.dataIn() && request.dataOut())) {
            return PassThroughResult::NotDelivered(TransportStage::Request);
        }
        if (RunningUnderWine() && !IsReadOnlyCommand(request)) {
            return PassThroughResult::NotDelivered(TransportStage::Withheld);
        }
        if (TravelsAsSmartReceive(request)) {
            return SmartReceive(request);
        }
        return Direct(request);
    }

    std::optional<uint64_t> SectorCount() override {
        DISK_GEOMETRY geometry{};
        DWORD returned = 0;
        if (!DeviceIoControl(m_handle.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                             sizeof geometry, &returned, nullptr)) {
            return std::nullopt;
        }
        const uint64_t bytes = static_cast<uint64_t>(geometry.Cylinders.QuadPart) *
                               geometry.TracksPerCylinder * geometry.SectorsPerTrack *
                               geometry.BytesPerSector;
        return bytes / 512;
    }

    bool Flush() override { return FlushFileBuffers(m_handle.get()) != 0; }
    HANDLE Handle() const { return m_handle.get(); }

private:
    PassThroughResult SmartReceive(ata::AtaPassThroughRequest& request) {
        const auto in = BuildSmartReceive(request);
        std::vector<uint8_t> out(kSendCmdOutSize);
        DWORD returned = 0;
        const bool ok = DeviceIoControl(m_handle.get(), SMART_RCV_DRIVE_DATA,
                                        const_cast<uint8_t*>(in.data()), in.size(), out.data(),
                                        out.size(), &returned, nullptr) != 0;
        PassThroughResult result = ClassifyIoControl(ok, ok ? 0 : GetLastError());
        if (result && !StoreSmartReceiveOutput(out, request)) {
            return PassThroughResult::NotDelivered(TransportStage::ShortTransfer);
        }
        return result;
    }

    PassThroughResult Direct(ata::AtaPassThroughRequest& request) {
        void* buffer = request.dataBuffer;
        std::unique_ptr<AlignedBuffer> bounce;
        if (buffer != nullptr &&
            NeedsBounceBuffer(reinterpret_cast<uintptr_t>(buffer), m_alignmentMask)) {
            bounce = std::make_unique<AlignedBuffer>(request.dataLength);
            if (bounce->data() == nullptr) {
                return PassThroughResult::NotDelivered(TransportStage::Request);
            }
            if (request.dataOut()) {
                std::memcpy(bounce->data(), buffer, request.dataLength);
            }
            buffer = bounce->data();
        }
        using Layout = std::conditional_t<sizeof(void*) == 8, AtaPassThroughDirect64,
                                          AtaPassThroughDirect32>;
        Layout layout = BuildPassThroughDirect<Layout>(request, reinterpret_cast<uintptr_t>(buffer));
        DWORD returned = 0;
        const bool ok = DeviceIoControl(m_handle.get(), IOCTL_ATA_PASS_THROUGH_DIRECT, &layout,
                                        sizeof layout, &layout, sizeof layout, &returned,
                                        nullptr) != 0;
        PassThroughResult result = ClassifyIoControl(ok, ok ? 0 : GetLastError());
        if (result) {
            StorePassThroughOutput(layout, request);
            if (bounce && request.dataIn()) {
                std::memcpy(request.dataBuffer, bounce->data(), request.dataLength);
            }
        }
        return result;
    }

    UniqueHandle m_handle;
    uint32_t m_alignmentMask;
};

std::string VolumePath(const std::string& letter) { return "\\\\.\\" + letter + ":"; }

// The physical drive that holds the volume, or -1; a volume over several disks is -1.
int DiskOfVolume(const std::string& letter) {
    if (letter.size() != 1) {
        return -1;
    }
    UniqueHandle volume(CreateFileA(VolumePath(letter).c_str(), FILE_GENERIC_READ | FILE_GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    if (!volume.valid()) {
        return -1;
    }
    // Room for one extent: a volume spread over more disks fails here.
    alignas(VOLUME_DISK_EXTENTS) uint8_t out[32] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(volume.get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, out,
                         sizeof out, &returned, nullptr)) {
        return -1;
    }
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(out);
    return extents->NumberOfDiskExtents >= 1 ? static_cast<int>(extents->Extents[0].DiskNumber) : -1;
}

std::string RootOf(const std::string& letter) { return letter + ":\\"; }

// ClaimDrive keeps the default, a plain open: a mounted volume's handles are held on the volume
// device, not on \\.\PhysicalDriveN, so no share mode on the disk would see them. Claiming here
// would mean locking and dismounting each of the drive's volumes (FSCTL_LOCK_VOLUME).
class WindowsDrives final : public DriveSystem {
public:
    DriveHandlePtr OpenPhysicalDrive(int number) override {
        if (number < 0 || number >= kDriveCount) {
            return nullptr;
        }
        char path[32];
        std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%u", static_cast<unsigned>(number));
        HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        return std::make_unique<WindowsDriveHandle>(handle);
    }

    // Every letter from C to Z that names a volume.
    std::vector<std::string> VolumeNames() override {
        std::vector<std::string> names;
        for (char letter = 'C'; letter <= 'Z'; ++letter) {
            const std::string name(1, letter);
            const UINT type = GetDriveTypeA(RootOf(name).c_str());
            if (type != DRIVE_NO_ROOT_DIR && type != DRIVE_UNKNOWN) {
                names.push_back(name);
            }
        }
        return names;
    }
    bool IsRemovableVolume(const std::string& name) override {
        return GetDriveTypeA(RootOf(name).c_str()) == DRIVE_REMOVABLE;
    }
    int VolumeDiskNumber(const std::string& name) override { return DiskOfVolume(name); }

    DriveConnection Connection(int number) override {
        auto drive = OpenPhysicalDrive(number);
        if (!drive) {
            return DriveConnection::Unknown;
        }
        const auto adapter = AdapterDescriptor(static_cast<WindowsDriveHandle&>(*drive).Handle());
        return adapter ? ConnectionOfBusType(adapter->BusType) : DriveConnection::Unknown;
    }

    // The volumes of the Windows and the system directory.
    std::vector<int> SystemDiskNumbers() override {
        std::vector<int> disks;
        char folder[MAX_PATH] = {};
        for (auto get : {&GetWindowsDirectoryA, &GetSystemDirectoryA}) {
            const UINT length = get(folder, MAX_PATH);
            disks.push_back(length > 0 && length < MAX_PATH ? DiskOfVolume(std::string(1, folder[0]))
                                                            : -1);
        }
        return disks;
    }
};

// Releases what IsAdministrator builds, on every path.
struct AdminCheckParts {
    HANDLE token = nullptr;
    HANDLE impersonation = nullptr;
    PSID administrators = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;
    ~AdminCheckParts() {
        if (acl) LocalFree(acl);
        if (descriptor) LocalFree(descriptor);
        if (administrators) FreeSid(administrators);
        if (impersonation) CloseHandle(impersonation);
        if (token) CloseHandle(token);
    }
};

// Whether a descriptor that admits only the Administrators group lets this thread's (or the
// process's) token in: a filtered token holds the group for deny only and is refused.
bool AccessCheckAdministrators() {
    AdminCheckParts p;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_DUPLICATE | TOKEN_QUERY, TRUE, &p.token)) {
        if (GetLastError() != ERROR_NO_TOKEN ||
            !OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &p.token)) {
            return false;
        }
    }
    if (!DuplicateToken(p.token, SecurityImpersonation, &p.impersonation)) {
        return false;
    }
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &p.administrators)) {
        return false;
    }
    p.descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
    if (!p.descriptor || !InitializeSecurityDescriptor(p.descriptor, SECURITY_DESCRIPTOR_REVISION)) {
        return false;
    }
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) +
                          GetLengthSid(p.administrators) - sizeof(DWORD);
    p.acl = static_cast<PACL>(LocalAlloc(LPTR, aclSize));
    constexpr DWORD kRead = 1, kWrite = 2;
    if (!p.acl || !InitializeAcl(p.acl, aclSize, ACL_REVISION2) ||
        !AddAccessAllowedAce(p.acl, ACL_REVISION2, kRead | kWrite, p.administrators) ||
        !SetSecurityDescriptorDacl(p.descriptor, TRUE, p.acl, FALSE)) {
        return false;
    }
    SetSecurityDescriptorGroup(p.descriptor, p.administrators, FALSE);
    SetSecurityDescriptorOwner(p.descriptor, p.administrators, FALSE);
    if (!IsValidSecurityDescriptor(p.descriptor)) {
        return false;
    }
    GENERIC_MAPPING mapping{kRead, kWrite, 0, kRead | kWrite};
    PRIVILEGE_SET privileges{};
    DWORD privilegesLength = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!AccessCheck(p.descriptor, p.impersonation, kRead, &mapping, &privileges,
                     &privilegesLength, &granted, &status)) {
        return false;
    }
    return status != FALSE;
}

class WindowsSystem final : public System {
public:
    bool IsAdministrator() override { return AccessCheckAdministrators(); }

    // The copy started through the elevation prompt gets the arguments and "runas" last, which
    // marks it; a copy that has it does not ask again.
    bool RelaunchElevated(const std::vector<std::string>& arguments) override {
        char executable[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(nullptr, executable, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return false;
        }
        std::string parameters;
        for (const std::string& argument : arguments) {
            parameters += (parameters.empty() ? "" : " ") + QuoteArgument(argument);
        }
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "runas", executable, parameters.c_str(), nullptr, SW_SHOWNORMAL));
        return result > 32;
    }

    bool RestartComputer() override {
        if (RunningUnderWine()) {
            return false;
        }
        HANDLE token = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
            TOKEN_PRIVILEGES privileges{};
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
                AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
            }
            CloseHandle(token);
        }
        return ExitWindowsEx(EWX_REBOOT, 0) != 0;
    }
};

class WindowsPlatform final : public Platform {
public:
    DriveSystem& Drives() override { return m_drives; }
    System& Sys() override { return m_system; }

private:
    WindowsDrives m_drives;
    WindowsSystem m_system;
};

}  // namespace

DriveConnection ConnectionOfBusType(uint32_t busType) {
    switch (busType) {
        case BusTypeSata:
        case BusTypeAta:
            return DriveConnection::SataPort;
        case BusTypeUsb:
            return DriveConnection::Usb;
        case BusTypeSas:
            return DriveConnection::Sas;
        case BusTypeRAID:
            return DriveConnection::Raid;
        case BusTypeNvme:
            return DriveConnection::Nvme;
        case BusTypeVirtual:
        case BusTypeFileBackedVirtual:
            return DriveConnection::Virtual;
        default:
            return DriveConnection::Unknown;
    }
}

bool RunningUnderWine() {
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

std::unique_ptr<Platform> CreateWindowsPlatform() { return std::make_unique<WindowsPlatform>(); }

}  // namespace vellumin::platform::windows_backend

namespace vellumin::platform {

std::unique_ptr<Platform> CreateHostPlatform() { return windows_backend::CreateWindowsPlatform(); }

}  // namespace vellumin::platform
