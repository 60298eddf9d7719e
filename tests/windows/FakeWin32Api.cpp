#include "windows/FakeWin32Api.h"

#include <algorithm>
#include <atomic>

#include "core/Bytes.h"
#include "core/Format.h"
#include "transport/Inquiry.h"
#include "transport/windows/SptiBuffer.h"
#include "transport/windows/SptiRequest.h"

namespace flashtool::testing {

namespace {

constexpr Win32Module kAspiModule = 0x7A000;
constexpr Win32DeviceList kInterfaceList = 0x7B000;
constexpr uint8_t kSsInvalidHa = 0x81;
constexpr uint8_t kSsNoDevice = 0x82;
constexpr uint8_t kHaStatSelectionTimeout = 0x11;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorInvalidFunction = 1;

FakeWin32Api* active = nullptr;

uint32_t FakeGetSupportInfo() {
    active->calls.push_back("GetASPI32SupportInfo");
    return active->supportInfo;
}

uint32_t FakeSendCommand(void* block) {
    return active->SendAspiCommand(static_cast<uint8_t*>(block));
}

uint64_t PointerAt(const uint8_t* block, size_t offset) {
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(void*); ++i) {
        value |= uint64_t{block[offset + i]} << (8 * i);
    }
    return value;
}

std::string Hex(Win32Handle handle) {
    return FormatText("%llx", static_cast<long long>(handle));
}

}  // namespace

void WriteInquiryReply(const DriveText& description, uint8_t* data, uint32_t length) {
    if (length > 0) {
        data[0] = kDeviceTypeCdrom;
    }
    for (size_t i = 0; i < description.size() && 8 + i < length; ++i) {
        data[8 + i] = static_cast<uint8_t>(description[i]);
    }
}

FakeWin32Api::FakeWin32Api() {
    active = this;
}

FakeWin32Api::~FakeWin32Api() {
    if (active == this) {
        active = nullptr;
    }
}

bool FakeWin32Api::GetVersionExA(Win32Version& out) {
    calls.push_back("GetVersionExA");
    if (!version) {
        return false;
    }
    out = *version;
    return true;
}

Win32Handle FakeWin32Api::CreateFileA(const std::string& name, uint32_t access, uint32_t share,
                                      uint32_t disposition) {
    calls.push_back(
        FormatText("CreateFileA %s %08X %u %u", name.c_str(), access, share, disposition));
    for (const FakeInterface& entry : cdromInterfaces) {
        if (entry.path == name) {
            const Win32Handle handle = nextHandle++;
            interfaceHandles[handle] = entry.deviceNumber;
            openHandles.insert(handle);
            return handle;
        }
    }
    const bool volumeName = name.size() == 6 && name.starts_with("\\\\.\\") && name[5] == ':';
    if (!volumeName || volumes.count(name[4]) == 0) {
        return kInvalidHandleValue;
    }
    const Win32Handle handle = nextHandle++;
    volumeHandles[handle] = name[4];
    openHandles.insert(handle);
    return handle;
}

uint32_t FakeWin32Api::GetDriveTypeA(const std::string& root) {
    calls.push_back("GetDriveTypeA " + root);
    const auto volume = root.size() == 2 && root[1] == ':' ? volumes.find(root[0]) : volumes.end();
    return volume != volumes.end() ? volume->second.driveType : 1;
}

bool FakeWin32Api::DeviceIoControl(Win32Handle device, uint32_t code, void* /*in*/, uint32_t inSize,
                                   void* out, uint32_t outSize, uint32_t& returned) {
    calls.push_back(
        FormatText("DeviceIoControl %s %X %u %u", Hex(device).c_str(), code, inSize, outSize));
    if (code == kIoctlScsiGetCapabilities) {
        return AnswerCapabilities(device, out, outSize, returned);
    }
    if (code == kIoctlStorageGetDeviceNumber) {
        return AnswerDeviceNumber(device, out, outSize, returned);
    }
    auto* block = static_cast<uint8_t*>(out);
    const SptiLayout& layout = kNativeSptiLayout;
    auto* data = reinterpret_cast<uint8_t*>(
        static_cast<uintptr_t>(PointerAt(block, layout.dataBufferOffset)));
    const uint32_t length =
        LittleEndian32At(std::span<const uint8_t>(block, outSize), kSptiDataTransferLengthOffset)
            .value_or(0);
    IoctlCall call{
        device, code, inSize, outSize, {block, block + outSize}, reinterpret_cast<uintptr_t>(data),
        {}};
    if (block[kSptiDataInOffset] == kSptiDataOut && data != nullptr) {
        call.dataOut.assign(data, data + length);
    }
    ioctls.push_back(std::move(call));

    const auto volume = volumeHandles.find(device);
    const FakeVolume* drive = volume != volumeHandles.end() ? &volumes[volume->second] : nullptr;
    SptiAnswer answer;
    if (!sptiAnswers.empty()) {
        answer = sptiAnswers.front();
        sptiAnswers.pop_front();
    } else if (drive == nullptr || drive->description.empty()) {
        answer = SptiAnswer::Failure(kErrorGenFailure);
    }
    if (!answer.succeeds) {
        lastError = answer.error;
        return false;
    }

    const std::span<uint8_t> bytes(block, outSize);
    if (block[kSptiDataInOffset] == kSptiDataIn && data != nullptr) {
        if (!answer.dataIn.empty()) {
            std::copy_n(answer.dataIn.begin(), std::min<size_t>(answer.dataIn.size(), length),
                        data);
        } else if (drive != nullptr && block[layout.cdbOffset] == kOpInquiry) {
            WriteInquiryReply(drive->description, data, length);
        }
    }
    block[kSptiScsiStatusOffset] = answer.scsiStatus;
    const uint32_t senseAt = LittleEndian32At(bytes, layout.senseInfoOffsetField).value_or(0);
    const size_t senseBytes = std::min<size_t>(answer.sense.size(), kSptiSenseLength);
    if (senseAt + senseBytes <= outSize) {
        std::copy_n(answer.sense.begin(), senseBytes, block + senseAt);
    }
    if (answer.transferred) {
        StoreLittleEndian32(bytes, kSptiDataTransferLengthOffset, *answer.transferred);
    }
    returned = outSize;
    return true;
}

bool FakeWin32Api::AnswerCapabilities(Win32Handle device, void* out, uint32_t outSize,
                                      uint32_t& returned) {
    capabilityQueries.push_back(device);
    const auto volume = volumeHandles.find(device);
    const FakeVolume* drive = volume != volumeHandles.end() ? &volumes[volume->second] : nullptr;
    if (drive == nullptr || !drive->alignmentMask || outSize < kScsiCapabilitiesSize) {
        lastError = kErrorInvalidFunction;
        return false;
    }
    const std::span<uint8_t> reply(static_cast<uint8_t*>(out), outSize);
    std::fill(reply.begin(), reply.end(), uint8_t{0});
    StoreLittleEndian32(reply, 0, kScsiCapabilitiesSize);
    StoreLittleEndian32(reply, kCapabilitiesAlignmentMaskOffset, *drive->alignmentMask);
    returned = kScsiCapabilitiesSize;
    return true;
}

bool FakeWin32Api::AnswerDeviceNumber(Win32Handle device, void* out, uint32_t outSize,
                                      uint32_t& returned) {
    std::optional<uint32_t> number;
    if (const auto volume = volumeHandles.find(device); volume != volumeHandles.end()) {
        number = volumes[volume->second].deviceNumber;
    } else if (const auto entry = interfaceHandles.find(device); entry != interfaceHandles.end()) {
        number = entry->second;
    }
    if (!number || outSize < kStorageDeviceNumberSize) {
        lastError = kErrorInvalidFunction;
        return false;
    }
    const std::span<uint8_t> reply(static_cast<uint8_t*>(out), outSize);
    std::fill(reply.begin(), reply.end(), uint8_t{0});
    constexpr uint32_t kFileDeviceCdRom = 2;
    StoreLittleEndian32(reply, 0, kFileDeviceCdRom);
    StoreLittleEndian32(reply, 4, *number);
    StoreLittleEndian32(reply, 8, 0xFFFFFFFF);  // no partition
    returned = kStorageDeviceNumberSize;
    return true;
}

Win32DeviceList FakeWin32Api::GetCdromInterfaces() {
    calls.push_back("GetCdromInterfaces");
    if (interfaceListFails) {
        return 0;
    }
    ++openLists;
    return kInterfaceList;
}

std::optional<Win32DeviceInterface> FakeWin32Api::CdromInterfaceAt(Win32DeviceList list,
                                                                   uint32_t index) {
    calls.push_back(FormatText("CdromInterfaceAt %u", index));
    if (list != kInterfaceList || index >= cdromInterfaces.size()) {
        return std::nullopt;
    }
    return Win32DeviceInterface{cdromInterfaces[index].path, cdromInterfaces[index].instanceId};
}

void FakeWin32Api::DestroyDeviceList(Win32DeviceList list) {
    calls.push_back("DestroyDeviceList");
    if (list == kInterfaceList) {
        --openLists;
    }
}

bool FakeWin32Api::CloseHandle(Win32Handle handle) {
    calls.push_back("CloseHandle " + Hex(handle));
    return openHandles.erase(handle) == 1;
}

std::string FakeWin32Api::GetSystemDirectoryA() {
    calls.push_back("GetSystemDirectoryA");
    return systemDirectory;
}

Win32Module FakeWin32Api::LoadLibraryA(const std::string& path) {
    calls.push_back("LoadLibraryA " + path);
    if (!aspiInstalled || systemDirectory.empty() || path != systemDirectory + "\\WNASPI32.DLL") {
        return 0;
    }
    libraryLoaded = true;
    return kAspiModule;
}

Win32Proc FakeWin32Api::GetProcAddress(Win32Module module, const char* name) {
    calls.push_back(std::string("GetProcAddress ") + name);
    if (module != kAspiModule || exports.count(name) == 0) {
        return nullptr;
    }
    const std::string entry = name;
    return entry == "GetASPI32SupportInfo" ? reinterpret_cast<Win32Proc>(&FakeGetSupportInfo)
                                           : reinterpret_cast<Win32Proc>(&FakeSendCommand);
}

bool FakeWin32Api::FreeLibrary(Win32Module module) {
    calls.push_back("FreeLibrary");
    const bool known = module == kAspiModule && libraryLoaded;
    libraryLoaded = false;
    return known;
}

Win32Handle FakeWin32Api::CreateEventA(bool manualReset, bool initialState) {
    calls.push_back(FormatText("CreateEventA %d %d", manualReset, initialState));
    if (!eventsAvailable) {
        return 0;
    }
    const Win32Handle handle = nextHandle++;
    openHandles.insert(handle);
    return handle;
}

uint32_t FakeWin32Api::WaitForSingleObject(Win32Handle handle, uint32_t milliseconds) {
    calls.push_back(FormatText("WaitForSingleObject %s %u", Hex(handle).c_str(), milliseconds));
    if (pendingBlock != nullptr && !pendingAnswer.completesOnWait) {
        return kWaitTimeout;
    }
    CompletePending();
    return kWaitObject0;
}

uint32_t FakeWin32Api::SendAspiCommand(uint8_t* block) {
    switch (block[kSrbCmdOffset]) {
        case kScHaInquiry: {
            requestBlocks.emplace_back(block, block + kHaInquirySize);
            const uint8_t adapter = block[kSrbHaIdOffset];
            const bool answers = adapter < adapters.size() && adapters[adapter].answers;
            block[kSrbStatusOffset] = answers ? kSsComp : kSsInvalidHa;
            if (answers) {
                block[kHaUniqueOffset + 3] = adapters[adapter].uniqueTargets;
            }
            return block[kSrbStatusOffset];
        }
        case kScGetDevType: {
            requestBlocks.emplace_back(block, block + kGetDevTypeSize);
            const FakeTarget* target = TargetAt(block[kSrbHaIdOffset], block[kGdevTargetOffset]);
            block[kSrbStatusOffset] = target != nullptr ? kSsComp : kSsNoDevice;
            if (target != nullptr) {
                block[kGdevDeviceTypeOffset] = target->deviceType;
            }
            return block[kSrbStatusOffset];
        }
        case kScExecScsiCmd:
            requestBlocks.emplace_back(block, block + kNativeAspiExecLayout.size);
            return ExecAspi(block);
        default:
            return 0x80;
    }
}

uint32_t FakeWin32Api::ExecAspi(uint8_t* block) {
    AspiAnswer answer;
    if (!aspiAnswers.empty()) {
        answer = aspiAnswers.front();
        aspiAnswers.pop_front();
    } else {
        const FakeTarget* target = TargetAt(block[kSrbHaIdOffset], block[kExecTargetOffset]);
        if (target == nullptr || target->description.empty()) {
            answer = AspiAnswer::Error(kHaStatSelectionTimeout, 0);
        }
    }
    if (answer.pending) {
        pendingBlock = block;
        pendingAnswer = answer;
        return kSsPending;
    }
    FinishExec(block, answer);
    return answer.returned;
}

void FakeWin32Api::FinishExec(uint8_t* block, const AspiAnswer& answer) {
    const AspiExecLayout& layout = kNativeAspiExecLayout;
    const FakeTarget* target = TargetAt(block[kSrbHaIdOffset], block[kExecTargetOffset]);
    auto* data =
        reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(PointerAt(block, kExecBufPointerOffset)));
    const uint32_t length =
        LittleEndian32At(std::span<const uint8_t>(block, layout.size), kExecBufLenOffset)
            .value_or(0);
    const bool dataIn = (block[kSrbFlagsOffset] & kSrbDirIn) != 0;
    if (dataIn && data != nullptr && !answer.dataIn.empty()) {
        std::copy_n(answer.dataIn.begin(), std::min<size_t>(answer.dataIn.size(), length), data);
    } else if (dataIn && data != nullptr && target != nullptr &&
               block[layout.cdbOffset] == kOpInquiry && answer.srbStatus == kSsComp) {
        WriteInquiryReply(target->description, data, length);
    }
    block[layout.haStatOffset] = answer.haStat;
    block[layout.targStatOffset] = answer.targStat;
    std::copy_n(answer.sense.begin(), std::min(answer.sense.size(), kExecSenseAreaLength),
                block + layout.senseOffset);
    if (answer.touchesStatus) {
        std::atomic_ref<uint8_t>(block[kSrbStatusOffset]).store(answer.srbStatus);
    }
}

void FakeWin32Api::CompletePending() {
    if (pendingBlock != nullptr) {
        uint8_t* block = pendingBlock;
        pendingBlock = nullptr;
        FinishExec(block, pendingAnswer);
    }
}

const FakeTarget* FakeWin32Api::TargetAt(uint8_t adapter, uint8_t target) const {
    if (adapter >= adapters.size()) {
        return nullptr;
    }
    const auto found = adapters[adapter].targets.find(target);
    return found != adapters[adapter].targets.end() ? &found->second : nullptr;
}

}  // namespace flashtool::testing
