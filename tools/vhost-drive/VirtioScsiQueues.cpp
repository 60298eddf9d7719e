#include "tools/vhost-drive/VirtioScsiQueues.h"

#include <algorithm>
#include <string>

#include "core/Bytes.h"

namespace flashtool {

namespace vs = virtio_scsi;

namespace {

uint32_t WriteResponse(const DescriptorChain& chain, std::span<const uint8_t> bytes) {
    return static_cast<uint32_t>(CopyToSegments(chain.writable, 0, bytes));
}

vs::CommandResponse ResponseOf(const ScsiCompletion& completion) {
    vs::CommandResponse response;
    switch (completion.delivery) {
        case ScsiDelivery::Completed:
            response.response = vs::kOk;
            break;
        case ScsiDelivery::NoSuchUnit:
            response.response = vs::kBadTarget;
            return response;
        case ScsiDelivery::Aborted:
            response.response = vs::kAborted;
            return response;
        default:
            response.response = vs::kFailure;
            return response;
    }
    response.status = completion.status;
    response.residual = completion.residual;
    const size_t senseLength = std::min(completion.sense.size(), vs::kSenseSize);
    std::copy_n(completion.sense.begin(), senseLength, response.sense.begin());
    response.senseLength = static_cast<uint32_t>(senseLength);
    return response;
}

}  // namespace

uint32_t AnswerCommand(const DescriptorChain& chain, const vs::CommandResponse& response) {
    return WriteResponse(chain, vs::EncodeCommandResponse(response));
}

std::vector<UsedChain> VirtioScsiQueues::Serve(uint32_t queue, const DescriptorChain& chain) {
    if (queue == kControlQueue) {
        return ServeControl(chain);
    }
    if (queue < kFirstRequestQueue) {
        return {};
    }
    bool wasHeld = false;
    const uint32_t written = ServeCommand(queue, chain, wasHeld);
    if (wasHeld) {
        return {};
    }
    return {UsedChain{queue, chain.head, written}};
}

uint32_t VirtioScsiQueues::ServeCommand(uint32_t queue, const DescriptorChain& chain,
                                        bool& wasHeld) {
    std::array<uint8_t, vs::kCommandRequestSize> header{};
    const uint64_t writable = TotalLength(chain.writable);
    if (writable < vs::kCommandResponseSize) {
        return 0;  // no room even for the answer: the guest gets the chain back untouched
    }
    vs::CommandResponse refusal;
    refusal.response = vs::kFailure;
    if (CopyFromSegments(chain.readable, 0, header) != header.size()) {
        return AnswerCommand(chain, refusal);
    }
    const auto request = vs::ParseCommandRequest(header);
    const auto unit = vs::ParseLun(request->lun);
    if (!unit) {
        refusal.response = vs::kBadTarget;
        return AnswerCommand(chain, refusal);
    }
    const uint64_t dataOutLength = TotalLength(chain.readable) - vs::kCommandRequestSize;
    const uint64_t dataInCapacity = writable - vs::kCommandResponseSize;
    if (dataOutLength != 0 && dataInCapacity != 0) {
        // A drive has no command that moves data both ways.
        return AnswerCommand(chain, refusal);
    }
    if (dataOutLength > kMaxTransferLength || dataInCapacity > kMaxTransferLength) {
        errors.Write(
            "vhost-drive: command at head " + std::to_string(chain.head) + " refused: it moves " +
            std::to_string(std::max(dataOutLength, dataInCapacity)) + " bytes, more than the " +
            std::to_string(kMaxTransferLength) + " a command may\n");
        return AnswerCommand(chain, refusal);
    }
    std::vector<uint8_t> dataOut(dataOutLength);
    CopyFromSegments(chain.readable, vs::kCommandRequestSize, dataOut);

    ScsiCommand command;
    command.target = unit->target;
    command.lun = unit->lun;
    command.cdb = request->cdb;
    command.dataOut = dataOut;
    command.dataInCapacity = static_cast<uint32_t>(dataInCapacity);
    ScsiCompletion completion = handler.Execute(command);
    if (completion.delivery == ScsiDelivery::Held && held.size() >= kMaxHeld) {
        errors.Write("vhost-drive: command at head " + std::to_string(chain.head) +
                     " refused: " + std::to_string(held.size()) + " commands are held already\n");
        return AnswerCommand(chain, refusal);
    }
    if (completion.delivery == ScsiDelivery::Held) {
        held.push_back(HeldCommand{queue, chain, *unit, request->tag});
        wasHeld = true;
        return 0;
    }
    const size_t dataIn = std::min<size_t>(completion.dataIn.size(), dataInCapacity);
    CopyToSegments(chain.writable, vs::kCommandResponseSize,
                   std::span(completion.dataIn).first(dataIn));
    AnswerCommand(chain, ResponseOf(completion));
    return static_cast<uint32_t>(vs::kCommandResponseSize + dataIn);
}

std::vector<UsedChain> VirtioScsiQueues::ServeControl(const DescriptorChain& chain) {
    std::array<uint8_t, vs::kTmfRequestSize> request{};
    const size_t length = CopyFromSegments(chain.readable, 0, request);
    const auto type = vs::ControlType(std::span(request).first(length));
    if (type == vs::kTypeAnQuery || type == vs::kTypeAnSubscribe) {
        // No events are ever reported: none is taken on, and the answer says so.
        const std::array<uint8_t, vs::kAnResponseSize> answer{0, 0, 0, 0, vs::kOk};
        return {UsedChain{kControlQueue, chain.head, WriteResponse(chain, answer)}};
    }
    std::vector<UsedChain> used;
    uint8_t response = vs::kFunctionRejected;
    if (type == vs::kTypeTmf) {
        if (const auto tmf = vs::ParseTmfRequest(std::span(request).first(length))) {
            used = AbortHeld(*tmf);
            const bool known =
                tmf->subtype == vs::kTmfAbortTask || tmf->subtype == vs::kTmfAbortTaskSet ||
                tmf->subtype == vs::kTmfLogicalUnitReset || tmf->subtype == vs::kTmfITNexusReset;
            response = known ? vs::kFunctionComplete : vs::kFunctionRejected;
        }
    }
    const std::array<uint8_t, vs::kTmfResponseSize> answer{response};
    used.push_back(UsedChain{kControlQueue, chain.head, WriteResponse(chain, answer)});
    return used;
}

std::vector<UsedChain> VirtioScsiQueues::AbortHeld(const vs::TmfRequest& request) {
    const auto unit = vs::ParseLun(request.lun);
    if (!unit) {
        return {};
    }
    const auto matches = [&](const HeldCommand& command) {
        switch (request.subtype) {
            case vs::kTmfAbortTask:
                return command.unit == *unit && command.tag == request.tag;
            case vs::kTmfAbortTaskSet:
            case vs::kTmfLogicalUnitReset:
                return command.unit == *unit;
            case vs::kTmfITNexusReset:
                return command.unit.target == unit->target;
            default:
                return false;
        }
    };
    std::vector<UsedChain> used;
    vs::CommandResponse aborted;
    aborted.response = vs::kAborted;
    for (const HeldCommand& command : held) {
        if (matches(command)) {
            used.push_back(UsedChain{command.queue, command.chain.head,
                                     AnswerCommand(command.chain, aborted)});
        }
    }
    std::erase_if(held, matches);
    return used;
}

}  // namespace flashtool
