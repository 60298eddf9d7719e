#pragma once

// One drive of the device table, taken once from the operator's choice. Every command sent
// through it goes to that row, whatever the transport's selection does meanwhile: the
// checks, the vendor commands and the page transfer of one Upgrade press all hold the same
// ScsiDevice, so nothing in the window can redirect them to another drive.

#include <cstdint>
#include <span>

#include "transport/CommandResult.h"
#include "transport/ScsiTypes.h"

namespace flashtool {

class ScsiTransport;

class ScsiDevice {
public:
    ScsiDevice(ScsiTransport& transport, uint8_t row) : transport(&transport), row(row) {}

    // Sends one command to this drive (ScsiTransport::ExecuteOn).
    CommandResult Execute(std::span<const uint8_t> cdb, DataDirection direction, uint8_t* data,
                          uint32_t length, uint32_t timeoutSeconds) const;

    uint8_t Row() const { return row; }
    ScsiTransport& Transport() const { return *transport; }

private:
    ScsiTransport* transport;
    uint8_t row;
};

}  // namespace flashtool
