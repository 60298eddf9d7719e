#pragma once

// The narrow seam between the virtio-scsi transport and whatever answers the commands:
// one command in (which unit, the CDB field, the data the guest sent, room for data back),
// one completion out. Nothing here knows about rings or guest memory.

#include <cstdint>
#include <span>
#include <vector>

namespace flashtool {

// The most data one command moves either way: the guest's driver is told 0xFFFF sectors
// (QEMU's default for this device), so no command it sends moves more. The buffers for a
// command are as large as the guest says, so a larger one is refused before any is made.
constexpr uint32_t kMaxTransferLength = 0xFFFF * 512;

struct ScsiCommand {
    uint8_t target = 0;
    uint16_t lun = 0;
    std::span<const uint8_t> cdb;      // the whole CDB field as the guest filled it
    std::span<const uint8_t> dataOut;  // empty unless the guest sent data
    uint32_t dataInCapacity = 0;       // room the guest gave for data back, at most the limit
};

enum class ScsiDelivery : uint8_t {
    Completed,   // status, sense and data below are the unit's answer
    NoSuchUnit,  // nothing is served at this target and logical unit
    Failed,      // the command could not be carried to the unit
    Held,        // the unit does not answer; the command stays until the guest aborts it
    Aborted,     // the host gave up on the command: ended without a status
};

struct ScsiCompletion {
    ScsiDelivery delivery = ScsiDelivery::Completed;
    uint8_t status = 0;
    std::vector<uint8_t> sense;   // fixed format, when there is any
    std::vector<uint8_t> dataIn;  // at most dataInCapacity bytes
    uint32_t residual = 0;        // bytes of the data phase not moved
};

class ScsiHandler {
public:
    virtual ~ScsiHandler() = default;
    virtual ScsiCompletion Execute(const ScsiCommand& command) = 0;
};

}  // namespace flashtool
