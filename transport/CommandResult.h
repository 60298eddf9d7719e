#pragma once

// The whole outcome of one command as the caller sees it: the three-way result that most
// callers need, and everything the back-end knew about how the command ended (SCSI status,
// sense, residual, the host or operating-system error). Callers that judge what a drive did
// (a record read that must have moved every byte, a refusal told apart from a drive that
// reset) read it here instead of asking the transport after the fact.

#include <cstdint>
#include <optional>
#include <string>

#include "transport/PassThroughBackend.h"
#include "transport/ScsiTypes.h"

namespace flashtool {

struct CommandResult {
    ExecResult result = ExecResult::Failed;
    // False when the transport refused the command before any device saw it (no such row,
    // a CDB shorter than its group's length, a data phase without a buffer).
    bool sent = false;
    PassThroughOutcome outcome{};
    // Something the user should hear about this drive (for example that the system refused
    // to pass commands to it); the dialog shows it, never the transport.
    std::optional<std::string> notice;

    bool Ok() const { return result == ExecResult::Ok; }
    // GOOD (or another success status) with every byte asked for moved.
    bool MovedAll() const { return Ok() && outcome.residual == 0; }
    // The rule for a command that changes a drive: it counts only when the transport carried
    // it, the drive answered GOOD itself (not a condition met or an intermediate status, which
    // say something else happened) and every byte moved. A page the drive answered GOOD
    // without taking all of it is a page the drive does not have.
    bool Took() const {
        return sent && outcome.kind == OutcomeKind::Completed &&
               outcome.scsiStatus == kStatusGood && outcome.residual == 0;
    }
    bool CheckCondition() const {
        return sent && outcome.kind == OutcomeKind::Completed &&
               outcome.scsiStatus == kStatusCheckCondition;
    }
    uint8_t SenseKey() const { return outcome.sense ? outcome.sense->key & 0x0F : 0; }
    uint8_t Asc() const { return outcome.sense ? outcome.sense->asc : 0; }
    uint8_t Ascq() const { return outcome.sense ? outcome.sense->ascq : 0; }

    friend bool operator==(const CommandResult& command, ExecResult result) {
        return command.result == result;
    }
};

}  // namespace flashtool
