// Writes drive descriptions as a scenario file, in the key order of scenarios/README.md,
// leaving out what the reader fills in by default, so that a written file reads back into
// the same descriptions and looks like the shipped ones.

#include <algorithm>
#include <nlohmann/json.hpp>

#include "core/Format.h"
#include "emulator/Scenario.h"

namespace flashtool {

namespace {

using Json = nlohmann::ordered_json;

constexpr size_t kOemTagWidth = 15;
const std::string kBlankOemTag(kOemTagWidth, ' ');

std::string Hex(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        text += FormatText("%02X", byte);
    }
    return text;
}

std::string SenseText(const SenseInfo& sense) {
    return FormatText("%02X/%02X/%02X", sense.key, sense.asc, sense.ascq);
}

bool Printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string_view ResultName(FaultKind kind) {
    switch (kind) {
        case FaultKind::TimeOut:
            return "timeout";
        case FaultKind::Busy:
            return "busy";
        case FaultKind::CheckCondition:
            return "check-condition";
        case FaultKind::Short:
            return "short";
        case FaultKind::Delay:
            return "delay";
        case FaultKind::Vanish:
            return "vanish";
        case FaultKind::TransportFailure:
            break;
    }
    return "failed";
}

Json FaultJson(const Fault& fault) {
    Json json = Json::object();
    json["opcode"] = fault.opcode ? FormatText("%02X", *fault.opcode) : "*";
    if (fault.subFunction) {
        json["subFunction"] = FormatText("%02X", *fault.subFunction);
    }
    if (fault.occurrence != 1) {
        json["occurrence"] = fault.occurrence;
    }
    json["result"] = ResultName(fault.kind);
    if (fault.kind == FaultKind::CheckCondition) {
        json["sense"] = SenseText(fault.sense);
    }
    if (fault.kind == FaultKind::Short) {
        json["residual"] = fault.residual;
    }
    if (fault.delayMs) {
        json["delayMs"] = *fault.delayMs;
    }
    return json;
}

Json DriveJson(const DriveDescription& drive) {
    const VirtualDriveSetup& setup = drive.setup;
    Json json = Json::object();
    json["identification"] = setup.identification;
    json["revision"] = setup.revision;
    if (setup.oemTag != kBlankOemTag) {
        if (Printable(setup.oemTag)) {
            json["oemTag"] = setup.oemTag;
        } else {
            json["oemTagBytes"] = Hex(std::span(
                reinterpret_cast<const uint8_t*>(setup.oemTag.data()), setup.oemTag.size()));
        }
    }
    if (!drive.serial.empty()) {
        json["serial"] = drive.serial;
    }
    if (drive.inquiryHeader != kDriveInquiryHeader) {
        json["inquiryHeader"] = Hex(drive.inquiryHeader);
    }
    if (drive.reader) {
        json["reader"] = true;
    }
    json["disc"] = setup.discPresent ? "present" : "none";
    if (!drive.readiness.empty()) {
        Json list = Json::array();
        for (const SenseInfo& condition : drive.readiness) {
            list.push_back(SenseText(condition));
        }
        json["readiness"] = list;
    }
    if (!drive.largeBuffer) {
        json["largeBuffer"] = false;
    }
    if (drive.checksPageSums) {
        json["checksPageSums"] = true;
    }
    if (drive.flashSize != FlashSizeReply{}) {
        const FlashSizeReply& reply = drive.flashSize;
        json["flashSize"] = {{"device", FormatText("%02X%02X", reply.deviceHigh, reply.deviceLow)},
                             {"sizeKb", (unsigned{reply.sizeHigh} << 8) | reply.sizeLow}};
    }
    if (drive.recordAt02 || drive.recordAt24) {
        Json records = Json::object();
        if (drive.recordAt02) {
            records["02"] = Hex(*drive.recordAt02);
        }
        if (drive.recordAt24) {
            records["24"] = Hex(*drive.recordAt24);
        }
        json["modelRecords"] = records;
    }
    if (drive.latencyMs != 0) {
        json["latencyMs"] = drive.latencyMs;
    }
    if (!drive.faults.empty()) {
        Json list = Json::array();
        for (const Fault& fault : drive.faults) {
            list.push_back(FaultJson(fault));
        }
        json["faults"] = list;
    }
    if (drive.corruptReadBacks) {
        json["corruptReadBacks"] = {{"first", drive.corruptReadBacks->first},
                                    {"count", drive.corruptReadBacks->count}};
    }
    return json;
}

}  // namespace

std::string WriteScenario(const std::vector<DriveDescription>& drives,
                          std::string_view description) {
    Json document = Json::object();
    if (!description.empty()) {
        document["description"] = std::string(description);
    }
    Json list = Json::array();
    for (const DriveDescription& drive : drives) {
        list.push_back(DriveJson(drive));
    }
    document["drives"] = list;
    // ASCII only, whatever the description holds: the file may travel to any system.
    return document.dump(2, ' ', true, Json::error_handler_t::replace) + "\n";
}

}  // namespace flashtool
