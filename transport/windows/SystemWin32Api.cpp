// The real Win32 binding of the Windows back-ends. Compiled only for Windows; it is also
// where the request layouts built byte by byte are checked against the system's own.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// windows.h first: the device control and SCSI headers rely on its types.
#include <ntddscsi.h>
#include <winioctl.h>

#include <cstddef>

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
