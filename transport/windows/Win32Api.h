#pragma once

// The Win32 calls of the SPTI and ASPI back-ends, behind one small interface. The real
// binding (SystemWin32Api.cpp) is compiled only for Windows; tests script a fake. Each
// member is the call of the same name with the arguments the back-ends never vary left out.
//
// Threading: used by one thread at a time, like the back-end that holds it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "transport/windows/Win32Types.h"

namespace flashtool {

using Win32Module = std::intptr_t;  // HMODULE; 0 = none
// A procedure address as GetProcAddress returns it: cast back to the entry point's own type.
using Win32Proc = void (*)();

// Values the back-ends pass to or read from these calls.
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kFileShareRead = 0x1;
constexpr uint32_t kFileShareWrite = 0x2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kDriveCdrom = 5;
constexpr uint32_t kErrorSemTimeout = 121;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 0x102;
constexpr uint32_t kIoctlScsiPassThroughDirect = 0x4D014;
constexpr uint32_t kIoctlScsiGetCapabilities = 0x41010;
constexpr uint32_t kIoctlStorageGetDeviceNumber = 0x2D1080;
// STORAGE_DEVICE_NUMBER: the device's type, its number among devices of that type, and the
// partition, each a little-endian DWORD.
constexpr uint32_t kStorageDeviceNumberSize = 12;

// A list of device interfaces (HDEVINFO); 0 = none.
using Win32DeviceList = std::intptr_t;

// One CD-ROM device interface of such a list.
struct Win32DeviceInterface {
    std::string path;        // to open with CreateFileA
    std::string instanceId;  // its device's instance path ("SCSI\CDROM&VEN_...\4&...&000100")
};

class Win32Api {
public:
    virtual ~Win32Api() = default;

    // GetVersionExA with an OSVERSIONINFOA of kOsVersionInfoSize bytes; false when it fails.
    virtual bool GetVersionExA(Win32Version& version) = 0;

    // CreateFileA with no security attributes, no flags and no template file.
    // kInvalidHandleValue on failure.
    virtual Win32Handle CreateFileA(const std::string& name, uint32_t access, uint32_t share,
                                    uint32_t disposition) = 0;
    virtual uint32_t GetDriveTypeA(const std::string& root) = 0;
    // DeviceIoControl without an overlapped structure; false when the call fails.
    virtual bool DeviceIoControl(Win32Handle device, uint32_t code, void* in, uint32_t inSize,
                                 void* out, uint32_t outSize, uint32_t& returned) = 0;
    virtual uint32_t GetLastError() = 0;
    virtual bool CloseHandle(Win32Handle handle) = 0;

    // GetSystemDirectoryA; empty when the folder cannot be read.
    virtual std::string GetSystemDirectoryA() = 0;
    // Loads the library at exactly this full path, and the libraries it needs from its own
    // folder first (never from the current folder); 0 on failure.
    virtual Win32Module LoadLibraryA(const std::string& path) = 0;
    virtual Win32Proc GetProcAddress(Win32Module module, const char* name) = 0;
    virtual bool FreeLibrary(Win32Module module) = 0;

    // SetupDiGetClassDevsA for the present CD-ROM device interfaces (GUID_DEVINTERFACE_CDROM,
    // DIGCF_PRESENT | DIGCF_DEVICEINTERFACE); 0 on failure.
    virtual Win32DeviceList GetCdromInterfaces() = 0;
    // The list's interface at `index`: SetupDiEnumDeviceInterfaces, then
    // SetupDiGetDeviceInterfaceDetailA for its path and SetupDiGetDeviceInstanceIdA for its
    // device. None past the last one, or when one of the calls fails.
    virtual std::optional<Win32DeviceInterface> CdromInterfaceAt(Win32DeviceList list,
                                                                 uint32_t index) = 0;
    // SetupDiDestroyDeviceInfoList.
    virtual void DestroyDeviceList(Win32DeviceList list) = 0;

    // An unnamed event with default security; 0 on failure.
    virtual Win32Handle CreateEventA(bool manualReset, bool initialState) = 0;
    virtual uint32_t WaitForSingleObject(Win32Handle handle, uint32_t milliseconds) = 0;
};

// The real binding; exists only in a Windows build.
std::shared_ptr<Win32Api> MakeSystemWin32Api();

}  // namespace flashtool
