// The System operations every backend may use as they stand, answered by Windows itself: the
// version record, the metrics and WMI the operating-system line is made of, the shell.
#include <windows.h>
#include <shellapi.h>

#include "host/HostTrim.h"
#include "platform/Platform.h"
#include "host/QueuedReads.h"
#include "host/windows/Wmi.h"

namespace vellumin::platform {

std::optional<OsVersionRecord> System::OsVersion() {
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    // Deprecated because it answers 6.2 to programs that declare no later system; the
    // identification asks WMI in that case.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool read = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)) != 0;
#pragma GCC diagnostic pop
    if (!read) {
        return std::nullopt;
    }
    OsVersionRecord record;
    record.windows = true;
    record.platformId = info.dwPlatformId;
    record.major = info.dwMajorVersion;
    record.minor = info.dwMinorVersion;
    record.build = info.dwBuildNumber;
    record.servicePack = info.szCSDVersion;
    record.productType = info.wProductType;
    return record;
}

bool System::OpenWithShell(const std::string& file, const std::string& workingFolder) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", file.c_str(), nullptr,
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), SW_SHOWNORMAL));
    return result > 32;
}

uint16_t System::ProcessorArchitecture() {
    SYSTEM_INFO info{};
    using NativeInfo = void(WINAPI*)(SYSTEM_INFO*);
    // Looked up by name: systems before XP have only GetSystemInfo.
    auto native = reinterpret_cast<NativeInfo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetNativeSystemInfo")));
    if (native != nullptr) {
        native(&info);
    } else {
        GetSystemInfo(&info);
    }
    return info.wProcessorArchitecture;
}

int System::ServerR2Metric() { return GetSystemMetrics(SM_SERVERR2); }

std::string System::WmiOsVersion() { return windows_backend::QueryWmiOsVersion(); }

// Windows' TRIM setting is fsutil's, offered by the version table, not by a service.
bool System::HasTrimService() { return false; }

// No memory-backed file to queue reads on here.
QueuedReaderPtr OpenMemoryQueuedReader(uint64_t, unsigned) { return nullptr; }

}  // namespace vellumin::platform
