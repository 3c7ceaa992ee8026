#include "host/windows/Wmi.h"

#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

namespace vellumin::platform::windows_backend {
namespace {

template <typename T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p != nullptr) {
            p->Release();
        }
    }
};

struct ComScope {
    bool initialised = false;
    ~ComScope() {
        if (initialised) {
            CoUninitialize();
        }
    }
};

std::string Narrow(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) {
        return {};
    }
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.pop_back();  // the terminating zero
    return narrow;
}

}  // namespace

std::string QueryWmiOsVersion() {
    ComScope com;
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(init)) {
        return "-1";
    }
    com.initialised = true;
    // Security can be set once per process: a second query finds it set, which is no failure.
    const HRESULT security =
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(security) && security != RPC_E_TOO_LATE) {
        return "-1";
    }
    Released<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(&locator.p)))) {
        return "-1";
    }
    Released<IWbemServices> services;
    BSTR space = SysAllocString(L"ROOT\\CIMV2");
    const HRESULT connected =
        locator.p->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services.p);
    SysFreeString(space);
    if (FAILED(connected)) {
        return "-1";
    }
    if (FAILED(CoSetProxyBlanket(services.p, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                 EOAC_NONE))) {
        return "-1";
    }
    Released<IEnumWbemClassObject> objects;
    BSTR language = SysAllocString(L"WQL");
    BSTR query = SysAllocString(L"SELECT * FROM Win32_OperatingSystem");
    const HRESULT ran = services.p->ExecQuery(
        language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &objects.p);
    SysFreeString(language);
    SysFreeString(query);
    if (FAILED(ran)) {
        return "-1";
    }
    std::string version;
    for (;;) {
        Released<IWbemClassObject> object;
        ULONG returned = 0;
        objects.p->Next(static_cast<LONG>(-1) /* WBEM_INFINITE */, 1, &object.p, &returned);
        if (returned == 0) {
            break;
        }
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(object.p->Get(L"Version", 0, &value, nullptr, nullptr)) &&
            value.vt == VT_BSTR && value.bstrVal != nullptr) {
            version = Narrow(value.bstrVal);
        }
        VariantClear(&value);
    }
    return version;
}

}  // namespace vellumin::platform::windows_backend
