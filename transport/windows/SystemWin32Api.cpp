// The real Win32 binding of the Windows back-ends. Compiled only for Windows; it is also
// where the request layouts built byte by byte are checked against the system's own.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// windows.h first: the device control and SCSI headers rely on its types.
#include <ntddscsi.h>
#include <setupapi.h>
#include <winioctl.h>

#include <cstddef>
#include <vector>

#include "transport/windows/SptiBuffer.h"
#include "transport/windows/SptiRequest.h"
#include "transport/windows/SystemVersion.h"
#include "transport/windows/Win32Api.h"

namespace flashtool {

static_assert(sizeof(OSVERSIONINFOA) == kOsVersionInfoSize);
static_assert(kIoctlScsiPassThroughDirect == IOCTL_SCSI_PASS_THROUGH_DIRECT);
static_assert(kIoctlScsiGetCapabilities == IOCTL_SCSI_GET_CAPABILITIES);
static_assert(kScsiCapabilitiesSize == sizeof(IO_SCSI_CAPABILITIES));
static_assert(kCapabilitiesAlignmentMaskOffset == offsetof(IO_SCSI_CAPABILITIES, AlignmentMask));
static_assert(kIoctlStorageGetDeviceNumber == IOCTL_STORAGE_GET_DEVICE_NUMBER);
static_assert(kStorageDeviceNumberSize == sizeof(STORAGE_DEVICE_NUMBER));
static_assert(offsetof(STORAGE_DEVICE_NUMBER, DeviceNumber) == 4);
static_assert(kGenericRead == GENERIC_READ && kGenericWrite == GENERIC_WRITE);
static_assert(kFileShareRead == FILE_SHARE_READ && kFileShareWrite == FILE_SHARE_WRITE);
static_assert(kOpenExisting == OPEN_EXISTING && kDriveCdrom == DRIVE_CDROM);
static_assert(kErrorSemTimeout == ERROR_SEM_TIMEOUT);
static_assert(kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER);
static_assert(kWaitObject0 == WAIT_OBJECT_0 && kWaitTimeout == WAIT_TIMEOUT);
static_assert(kPlatformWin32Nt == VER_PLATFORM_WIN32_NT);

static_assert(kSptiDataOut == SCSI_IOCTL_DATA_OUT && kSptiDataIn == SCSI_IOCTL_DATA_IN &&
              kSptiDataUnspecified == SCSI_IOCTL_DATA_UNSPECIFIED);
static_assert(kNativeSptiLayout.headerLength == sizeof(SCSI_PASS_THROUGH_DIRECT));
static_assert(kNativeSptiLayout.pointerSize == sizeof(SCSI_PASS_THROUGH_DIRECT::DataBuffer));
static_assert(kNativeSptiLayout.dataBufferOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer));
static_assert(kNativeSptiLayout.senseInfoOffsetField ==
              offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset));
static_assert(kNativeSptiLayout.cdbOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb));
static_assert(kNativeSptiLayout.senseOffset % alignof(SCSI_PASS_THROUGH_DIRECT) == 0);
static_assert(kSptiScsiStatusOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus));
static_assert(kSptiPathIdOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, PathId));
static_assert(kSptiTargetIdOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, TargetId));
static_assert(kSptiLunOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, Lun));
static_assert(kSptiCdbLengthOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength));
static_assert(kSptiSenseInfoLengthOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength));
static_assert(kSptiDataInOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn));
static_assert(kSptiDataTransferLengthOffset ==
              offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength));
static_assert(kSptiTimeOutValueOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue));
static_assert(kSptiCdbCapacity == sizeof(SCSI_PASS_THROUGH_DIRECT::Cdb));

namespace {

HANDLE AsHandle(Win32Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}
Win32Handle FromHandle(HANDLE handle) {
    return reinterpret_cast<Win32Handle>(handle);
}
HMODULE AsModule(Win32Module module) {
    return reinterpret_cast<HMODULE>(module);
}
HDEVINFO AsDeviceList(Win32DeviceList list) {
    return reinterpret_cast<HDEVINFO>(list);
}

// GUID_DEVINTERFACE_CDROM ({53F56308-B6BF-11D0-94F2-00A0C91EFB8B}), spelled out: the header
// that names it defines it only where one translation unit asks for its storage.
const GUID kCdromInterface = {
    0x53f56308, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

}  // namespace

bool ReadSystemVersion(Win32Version& version) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExA(&info)) {
        return false;
    }
    version = Win32Version{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                           info.dwPlatformId};
    return true;
}

namespace {

class SystemWin32Api final : public Win32Api {
public:
    bool GetVersionExA(Win32Version& version) override { return ReadSystemVersion(version); }

    Win32Handle CreateFileA(const std::string& name, uint32_t access, uint32_t share,
                            uint32_t disposition) override {
        return FromHandle(
            ::CreateFileA(name.c_str(), access, share, nullptr, disposition, 0, nullptr));
    }

    uint32_t GetDriveTypeA(const std::string& root) override {
        return ::GetDriveTypeA(root.c_str());
    }

    bool DeviceIoControl(Win32Handle device, uint32_t code, void* in, uint32_t inSize, void* out,
                         uint32_t outSize, uint32_t& returned) override {
        DWORD count = 0;
        const BOOL done =
            ::DeviceIoControl(AsHandle(device), code, in, inSize, out, outSize, &count, nullptr);
        returned = count;
        return done != FALSE;
    }

    uint32_t GetLastError() override { return ::GetLastError(); }

    bool CloseHandle(Win32Handle handle) override {
        return ::CloseHandle(AsHandle(handle)) != FALSE;
    }

    std::string GetSystemDirectoryA() override {
        char folder[MAX_PATH];
        const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return {};
        }
        return std::string(folder, length);
    }

    Win32Module LoadLibraryA(const std::string& path) override {
        // With a full path, the altered search order looks for the library's own
        // dependencies in its folder first, never in the current folder.
        return reinterpret_cast<Win32Module>(
            ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    }

    Win32Proc GetProcAddress(Win32Module module, const char* name) override {
        return reinterpret_cast<Win32Proc>(::GetProcAddress(AsModule(module), name));
    }

    bool FreeLibrary(Win32Module module) override {
        return ::FreeLibrary(AsModule(module)) != FALSE;
    }

    Win32DeviceList GetCdromInterfaces() override {
        const HDEVINFO list = ::SetupDiGetClassDevsA(&kCdromInterface, nullptr, nullptr,
                                                     DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        return list == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<Win32DeviceList>(list);
    }

    std::optional<Win32DeviceInterface> CdromInterfaceAt(Win32DeviceList list,
                                                         uint32_t index) override {
        SP_DEVICE_INTERFACE_DATA entry{};
        entry.cbSize = sizeof(entry);
        if (!::SetupDiEnumDeviceInterfaces(AsDeviceList(list), nullptr, &kCdromInterface, index,
                                           &entry)) {
            return std::nullopt;
        }
        DWORD required = 0;
        ::SetupDiGetDeviceInterfaceDetailA(AsDeviceList(list), &entry, nullptr, 0, &required,
                                           nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || required > 64 * 1024) {
            return std::nullopt;
        }
        // DWORDs, for the structure's alignment.
        std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD) + 1, 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof(device);
        if (!::SetupDiGetDeviceInterfaceDetailA(AsDeviceList(list), &entry, detail, required,
                                                nullptr, &device)) {
            return std::nullopt;
        }
        char instance[512] = {};
        if (!::SetupDiGetDeviceInstanceIdA(AsDeviceList(list), &device, instance,
                                           sizeof(instance) - 1, nullptr)) {
            return std::nullopt;
        }
        return Win32DeviceInterface{detail->DevicePath, instance};
    }

    void DestroyDeviceList(Win32DeviceList list) override {
        ::SetupDiDestroyDeviceInfoList(AsDeviceList(list));
    }

    Win32Handle CreateEventA(bool manualReset, bool initialState) override {
        return FromHandle(::CreateEventA(nullptr, manualReset, initialState, nullptr));
    }

    uint32_t WaitForSingleObject(Win32Handle handle, uint32_t milliseconds) override {
        return ::WaitForSingleObject(AsHandle(handle), milliseconds);
    }
};

}  // namespace

std::shared_ptr<Win32Api> MakeSystemWin32Api() {
    return std::make_shared<SystemWin32Api>();
}

}  // namespace flashtool
