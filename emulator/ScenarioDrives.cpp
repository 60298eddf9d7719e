// Drives from a checked description: each field goes to the virtual drive's own setting.

#include "emulator/Scenario.h"

namespace flashtool {

namespace {

// The program takes exactly 8192 KB for the large buffer; a small one is half of it.
constexpr uint16_t kLargeBufferKb = 8192;
constexpr uint16_t kSmallBufferKb = 4096;

}  // namespace

std::vector<std::shared_ptr<VirtualDrive>> BuildDrives(const std::vector<DriveDescription>& drives,
                                                       Clock* clock) {
    std::vector<std::shared_ptr<VirtualDrive>> built;
    for (const DriveDescription& description : drives) {
        auto drive = std::make_shared<VirtualDrive>(description.setup);
        drive->SetClock(clock);
        drive->SetSerial(description.serial);
        drive->SetInquiryHeader(description.inquiryHeader);
        drive->SetReader(description.reader);
        drive->SetLatencyMs(description.latencyMs);
        for (const SenseInfo& condition : description.readiness) {
            drive->QueueReadiness(condition);
        }
        drive->Vendor().bufferSizeKb = description.largeBuffer ? kLargeBufferKb : kSmallBufferKb;
        drive->SetChecksPageSums(description.checksPageSums);
        drive->SetFlashSizeReply(description.flashSize);
        for (const Fault& fault : description.faults) {
            drive->AddFault(fault);
        }
        if (description.recordAt02) {
            drive->Vendor().recordAt02 = *description.recordAt02;
        }
        if (description.recordAt24) {
            drive->Vendor().recordAt24 = *description.recordAt24;
        }
        if (description.corruptReadBacks) {
            drive->CorruptReadBacks(description.corruptReadBacks->first,
                                    description.corruptReadBacks->count);
        }
        built.push_back(std::move(drive));
    }
    return built;
}

EmulatedDrives LoadEmulatedDrives(const std::optional<std::string>& path,
                                  std::span<const uint8_t> builtIn,
                                  const std::string& opaqueRevision, Clock* clock) {
    const ScenarioReading reading =
        path ? LoadScenarioFile(*path)
             : ReadScenario("the build's drives",
                            std::string_view(reinterpret_cast<const char*>(builtIn.data()),
                                             builtIn.size()));
    if (!reading.Ok()) {
        return {{}, reading.error};
    }
    EmulatedDrives loaded{BuildDrives(reading.drives, clock), {}};
    if (!opaqueRevision.empty()) {
        for (const auto& drive : loaded.drives) {
            drive->SetOpaqueImageRevision(opaqueRevision);
        }
    }
    return loaded;
}

}  // namespace flashtool
