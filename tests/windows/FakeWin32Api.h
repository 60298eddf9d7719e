#pragma once

// A scriptable stand-in for the Win32 calls of the Windows back-ends: drive-letter volumes
// that answer the pass-through ioctl, and an ASPI library with adapters and targets whose
// entry points are real functions the back-end calls. It records every call in order.
// One fake at a time answers the ASPI entry points: the one constructed last.

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "transport/windows/AspiBlocks.h"
#include "transport/windows/Win32Api.h"

namespace flashtool::testing {

// 24 identification characters and 4 revision characters, as INQUIRY bytes 8-35.
using DriveText = std::string;

struct FakeVolume {
    uint32_t driveType = kDriveCdrom;
    DriveText description;  // empty: every pass-through ioctl fails
    // What the capabilities ioctl reports as AlignmentMask; nothing: the ioctl fails.
    std::optional<uint32_t> alignmentMask = 0x3;
    // Its number among CD-ROM devices (IOCTL_STORAGE_GET_DEVICE_NUMBER); nothing: the ioctl
    // fails.
    std::optional<uint32_t> deviceNumber = std::nullopt;
};

// A CD-ROM device interface, as SetupAPI lists it.
struct FakeInterface {
    std::string path;
    std::string instanceId;
    uint32_t deviceNumber = 0;
};

// The next pass-through ioctl's answer, in place of the volume's own.
struct SptiAnswer {
    bool succeeds = true;
    uint32_t error = 0;  // GetLastError after a failure
    uint8_t scsiStatus = kStatusGood;
    std::vector<uint8_t> sense;
    std::optional<uint32_t> transferred;  // written back into DataTransferLength
    std::vector<uint8_t> dataIn;

    static SptiAnswer Completed(uint8_t status, std::vector<uint8_t> sense = {}) {
        SptiAnswer answer;
        answer.scsiStatus = status;
        answer.sense = std::move(sense);
        return answer;
    }
    static SptiAnswer Failure(uint32_t error) {
        SptiAnswer answer;
        answer.succeeds = false;
        answer.error = error;
        return answer;
    }
};

struct IoctlCall {
    Win32Handle handle;
    uint32_t code;
    uint32_t inSize;
    uint32_t outSize;
    std::vector<uint8_t> request;  // the whole block as it was sent
    uint64_t dataAddress = 0;      // the block's data pointer
    std::vector<uint8_t> dataOut;  // data out: the bytes at that pointer
};

struct FakeTarget {
    uint8_t deviceType = kDeviceTypeCdrom;
    DriveText description;
};

struct FakeAdapter {
    bool answers = true;
    uint8_t uniqueTargets = 8;  // HA_Unique byte 3
    std::map<uint8_t, FakeTarget> targets;
};

// The next SRB_ExecSCSICmd's answer, in place of the target's own.
struct AspiAnswer {
    uint8_t returned = kSsComp;  // what SendASPI32Command returns when not pending
    uint8_t srbStatus = kSsComp;
    uint8_t haStat = 0;
    uint8_t targStat = 0;
    std::vector<uint8_t> sense;
    std::vector<uint8_t> dataIn;  // data in: written to the block's buffer on completion
    bool pending = false;         // returns SS_PENDING; completes later
    bool completesOnWait = true;  // ... when its event is waited on
    bool touchesStatus = true;    // false: SRB_Status is left as it was

    static AspiAnswer Pending(bool completesOnWait) {
        AspiAnswer answer;
        answer.pending = true;
        answer.completesOnWait = completesOnWait;
        return answer;
    }
    static AspiAnswer Error(uint8_t haStat, uint8_t targStat, std::vector<uint8_t> sense = {}) {
        AspiAnswer answer;
        answer.returned = kSsErr;
        answer.srbStatus = kSsErr;
        answer.haStat = haStat;
        answer.targStat = targStat;
        answer.sense = std::move(sense);
        return answer;
    }
    // The call returns this status and leaves the block untouched.
    static AspiAnswer RefusedAtOnce(uint8_t status) {
        AspiAnswer answer;
        answer.returned = status;
        answer.touchesStatus = false;
        return answer;
    }
};

class FakeWin32Api final : public Win32Api {
public:
    FakeWin32Api();
    ~FakeWin32Api() override;
    FakeWin32Api(const FakeWin32Api&) = delete;
    FakeWin32Api& operator=(const FakeWin32Api&) = delete;

    // The system, as the test scripts it.
    std::optional<Win32Version> version = Win32Version{5, 1, 2600, kPlatformWin32Nt};
    std::map<char, FakeVolume> volumes;
    std::deque<SptiAnswer> sptiAnswers;
    std::string systemDirectory = "C:\\WINDOWS\\SYSTEM";
    bool aspiInstalled = true;  // WNASPI32.DLL in the system folder
    std::set<std::string> exports = {"GetASPI32SupportInfo", "SendASPI32Command"};
    uint32_t supportInfo = 0x0100;
    std::vector<FakeAdapter> adapters;
    std::deque<AspiAnswer> aspiAnswers;
    bool eventsAvailable = true;
    std::vector<FakeInterface> cdromInterfaces;
    bool interfaceListFails = false;

    // What happened.
    std::vector<std::string> calls;
    std::vector<IoctlCall> ioctls;                    // pass-through only
    std::vector<Win32Handle> capabilityQueries;       // the volumes asked for their capabilities
    std::vector<std::vector<uint8_t>> requestBlocks;  // every ASPI block as it was sent
    std::set<Win32Handle> openHandles;  // volumes, interfaces and events not closed yet
    int openLists = 0;                  // interface lists not destroyed yet
    bool libraryLoaded = false;

    // The ASPI layer finishes the request it left pending.
    void CompletePending();
    bool HasPending() const { return pendingBlock != nullptr; }
    uint32_t SendAspiCommand(uint8_t* block);

    bool GetVersionExA(Win32Version& out) override;
    Win32Handle CreateFileA(const std::string& name, uint32_t access, uint32_t share,
                            uint32_t disposition) override;
    uint32_t GetDriveTypeA(const std::string& root) override;
    bool DeviceIoControl(Win32Handle device, uint32_t code, void* in, uint32_t inSize, void* out,
                         uint32_t outSize, uint32_t& returned) override;
    uint32_t GetLastError() override { return lastError; }
    bool CloseHandle(Win32Handle handle) override;
    std::string GetSystemDirectoryA() override;
    Win32Module LoadLibraryA(const std::string& path) override;
    Win32Proc GetProcAddress(Win32Module module, const char* name) override;
    bool FreeLibrary(Win32Module module) override;
    Win32DeviceList GetCdromInterfaces() override;
    std::optional<Win32DeviceInterface> CdromInterfaceAt(Win32DeviceList list,
                                                         uint32_t index) override;
    void DestroyDeviceList(Win32DeviceList list) override;
    Win32Handle CreateEventA(bool manualReset, bool initialState) override;
    uint32_t WaitForSingleObject(Win32Handle handle, uint32_t milliseconds) override;

private:
    bool AnswerCapabilities(Win32Handle device, void* out, uint32_t outSize, uint32_t& returned);
    bool AnswerDeviceNumber(Win32Handle device, void* out, uint32_t outSize, uint32_t& returned);
    uint32_t ExecAspi(uint8_t* block);
    void FinishExec(uint8_t* block, const AspiAnswer& answer);
    const FakeTarget* TargetAt(uint8_t adapter, uint8_t target) const;

    uint32_t lastError = 0;
    Win32Handle nextHandle = 0x100;
    std::map<Win32Handle, char> volumeHandles;
    std::map<Win32Handle, uint32_t> interfaceHandles;  // the device number behind each
    uint8_t* pendingBlock = nullptr;
    AspiAnswer pendingAnswer;
};

// Fills an INQUIRY reply with a drive's description (bytes 8-35), within `length` bytes.
void WriteInquiryReply(const DriveText& description, uint8_t* data, uint32_t length);

}  // namespace flashtool::testing
