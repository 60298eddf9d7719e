#include "transport/linux/SgIoRequest.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "transport/Sense.h"

namespace flashtool {

uint32_t SgTimeoutMilliseconds(uint32_t seconds) {
    const uint64_t chosen = seconds != 0 ? seconds : kShortCommandTimeout;
    return static_cast<uint32_t>(
        std::min<uint64_t>(chosen * 1000, std::numeric_limits<uint32_t>::max()));
}

int SgDirection(DataDirection direction) {
    switch (direction) {
        case DataDirection::Out:
            return SG_DXFER_TO_DEV;
        case DataDirection::In:
            return SG_DXFER_FROM_DEV;
        default:
            return SG_DXFER_NONE;
    }
}

sg_io_hdr_t BuildSgIoHeader(const ScsiRequest& request, SgIoBuffers& buffers) {
    sg_io_hdr_t header;
    std::memset(&header, 0, sizeof header);
    const size_t cdbLength = std::min(request.cdb.size(), buffers.cdb.size());
    std::copy_n(request.cdb.begin(), cdbLength, buffers.cdb.begin());
    header.interface_id = 'S';
    header.cmd_len = static_cast<unsigned char>(cdbLength);
    header.cmdp = buffers.cdb.data();
    header.mx_sb_len = static_cast<unsigned char>(buffers.sense.size());
    header.sbp = buffers.sense.data();
    header.dxfer_direction = SgDirection(request.direction);
    if (request.direction != DataDirection::None) {
        header.dxferp = request.data;
        header.dxfer_len = request.length;
    }
    header.timeout = SgTimeoutMilliseconds(request.timeoutSeconds);
    return header;
}

PassThroughOutcome MapSgIoResult(const sg_io_hdr_t& header, std::span<const uint8_t> sense,
                                 uint32_t length) {
    const uint16_t driverByte = header.driver_status & kDriverByteMask;
    const bool timedOut = header.host_status == kHostTimedOut || driverByte == kDriverTimedOut;
    const bool hostFailed =
        header.host_status != 0 || (driverByte != 0 && driverByte != kDriverSense);
    if (timedOut || hostFailed) {
        // Behind some adapters the kernel never ends a command at its time-out: virtio-scsi
        // leaves that to the host, which answers the command as aborted (or the like) once
        // it gives up. A command that ended without a status after its whole time-out is a
        // time-out, whatever the host byte says.
        PassThroughOutcome outcome = timedOut || header.duration >= header.timeout
                                         ? PassThroughOutcome::TimedOut()
                                         : PassThroughOutcome::TransportFailure();
        // Such a command moved nothing the caller may use, although the kernel reports a
        // residual of 0 for it.
        outcome.residual = length;
        return outcome;
    }
    PassThroughOutcome outcome = PassThroughOutcome::Status(header.status);
    const size_t senseLength = std::min<size_t>(header.sb_len_wr, sense.size());
    outcome.sense = ParseSense(sense.first(senseLength));
    if (header.status == kStatusCheckCondition && !outcome.sense) {
        // CHECK CONDITION without readable sense data still fails; key and ASC read 0.
        outcome.sense = SenseInfo{};
    }
    outcome.residual = static_cast<uint32_t>(std::clamp<int64_t>(header.resid, 0, length));
    return outcome;
}

}  // namespace flashtool
