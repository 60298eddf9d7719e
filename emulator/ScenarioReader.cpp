// Reads a scenario file into drive descriptions, every field checked before anything is
// built: names and values as scenarios/README.md gives them, nothing unknown let through.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "core/Format.h"
#include "emulator/Scenario.h"
#include "emulator/ScenarioJson.h"
#include "transport/DeviceEntry.h"

namespace flashtool {

using scenario::Json;
using scenario::ObjectReader;
using scenario::Report;

namespace {

constexpr size_t kOemTagWidth = 15;  // INQUIRY bytes 96-110
constexpr uint64_t kMaxCount = UINT32_MAX;
constexpr size_t kModelRecordBytes = std::tuple_size_v<ModelRecord>;

FaultKind KindOf(std::string_view result) {
    if (result == "timeout") {
        return FaultKind::TimeOut;
    }
    if (result == "busy") {
        return FaultKind::Busy;
    }
    if (result == "check-condition") {
        return FaultKind::CheckCondition;
    }
    if (result == "short") {
        return FaultKind::Short;
    }
    if (result == "delay") {
        return FaultKind::Delay;
    }
    return result == "vanish" ? FaultKind::Vanish : FaultKind::TransportFailure;
}

// "*" (every command) or two hex digits.
bool ReadOpcode(ObjectReader& reader, Fault& fault) {
    const Json* value = reader.Find("opcode");
    if (value == nullptr) {
        return reader.Fail("opcode", "missing");
    }
    const std::string text = value->is_string() ? value->get<std::string>() : "";
    if (text == "*") {
        fault.opcode = std::nullopt;
        return true;
    }
    const auto byte = scenario::ParseHexByte(text);
    if (!byte) {
        return reader.Fail("opcode", "must be \"*\" or two hex digits, such as F5");
    }
    fault.opcode = *byte;
    return true;
}

// A field that belongs to one result only is refused with any other, so that a fault never
// carries a value that does nothing.
bool OnlyWith(ObjectReader& reader, std::string_view key, std::string_view result,
              std::string_view owner) {
    if (reader.Has(key) && result != owner) {
        return reader.Fail(key, "only a \"" + std::string(owner) + "\" result takes it");
    }
    return true;
}

bool ReadFault(const Json& value, ObjectReader& drive, size_t index, Fault& fault) {
    const std::string name = FormatText("faults[%zu]", index);
    if (!value.is_object()) {
        return drive.Fail(name, "must be an object");
    }
    ObjectReader reader(value, drive.Where(), name + ".", drive.Reporter());
    std::string result;
    uint32_t delay = 0;
    if (!reader.OnlyKeys(
            {"opcode", "subFunction", "occurrence", "result", "sense", "residual", "delayMs"}) ||
        !ReadOpcode(reader, fault) || !reader.HexByte("subFunction", false, fault.subFunction) ||
        !reader.Number("occurrence", 0, kMaxCount, false, fault.occurrence) ||
        !reader.Choice("result",
                       {"timeout", "failed", "busy", "check-condition", "short", "delay", "vanish"},
                       true, result) ||
        !OnlyWith(reader, "sense", result, "check-condition") ||
        !OnlyWith(reader, "residual", result, "short") ||
        !reader.Sense("sense", result == "check-condition", fault.sense) ||
        !reader.Number("residual", 1, kMaxCount, result == "short", fault.residual) ||
        !reader.Number("delayMs", 0, kMaxScenarioWaitMs, result == "delay", delay)) {
        return false;
    }
    fault.kind = KindOf(result);
    if (reader.Has("delayMs")) {
        fault.delayMs = delay;
    }
    return true;
}

bool ReadFaults(ObjectReader& drive, std::vector<Fault>& faults) {
    const Json* value = drive.Find("faults");
    if (value == nullptr) {
        return true;
    }
    if (!value->is_array()) {
        return drive.Fail("faults", "must be an array");
    }
    for (size_t i = 0; i < value->size(); ++i) {
        Fault fault;
        if (!ReadFault((*value)[i], drive, i, fault)) {
            return false;
        }
        faults.push_back(fault);
    }
    return true;
}

bool ReadFlashSize(ObjectReader& drive, FlashSizeReply& reply) {
    const Json* value = drive.Find("flashSize");
    if (value == nullptr) {
        return true;
    }
    if (!value->is_object()) {
        return drive.Fail("flashSize", "must be an object");
    }
    ObjectReader reader(*value, drive.Where(), "flashSize.", drive.Reporter());
    uint16_t device = 0;
    uint32_t sizeKb = 0;
    if (!reader.OnlyKeys({"device", "sizeKb"}) || !reader.Hex16("device", device) ||
        !reader.Number("sizeKb", 0, 0xFFFF, false, sizeKb)) {
        return false;
    }
    reply = FlashSizeReply{static_cast<uint8_t>(device & 0xFF), static_cast<uint8_t>(device >> 8),
                           static_cast<uint8_t>(sizeKb & 0xFF), static_cast<uint8_t>(sizeKb >> 8)};
    return true;
}

bool ReadCorruption(ObjectReader& drive, std::optional<ReadBackCorruption>& corruption) {
    const Json* value = drive.Find("corruptReadBacks");
    if (value == nullptr) {
        return true;
    }
    if (!value->is_object()) {
        return drive.Fail("corruptReadBacks", "must be an object");
    }
    ObjectReader reader(*value, drive.Where(), "corruptReadBacks.", drive.Reporter());
    ReadBackCorruption range;
    if (!reader.OnlyKeys({"first", "count"}) ||
        !reader.Number("first", 1, kMaxCount, true, range.first) ||
        !reader.Number("count", 0, kMaxCount, true, range.count)) {
        return false;
    }
    corruption = range;
    return true;
}

// The OEM tag as text, or as bytes where the drive's are not all printable; not both.
bool ReadOemTag(ObjectReader& drive, std::string& tag) {
    if (drive.Has("oemTag") && drive.Has("oemTagBytes")) {
        return drive.Fail("oemTagBytes", "cannot go with oemTag");
    }
    std::optional<std::vector<uint8_t>> bytes;
    if (!drive.Text("oemTag", kOemTagWidth, false, tag) ||
        !drive.HexBytes("oemTagBytes", kOemTagWidth, bytes)) {
        return false;
    }
    if (bytes) {
        tag.assign(bytes->begin(), bytes->end());
    }
    return true;
}

bool ReadInquiryHeader(ObjectReader& drive, std::array<uint8_t, 8>& header) {
    std::optional<std::vector<uint8_t>> bytes;
    if (!drive.HexBytes("inquiryHeader", header.size(), bytes)) {
        return false;
    }
    if (bytes) {
        std::copy(bytes->begin(), bytes->end(), header.begin());
    }
    return true;
}

bool ReadModelRecords(ObjectReader& drive, DriveDescription& description) {
    const Json* value = drive.Find("modelRecords");
    if (value == nullptr) {
        return true;
    }
    if (!value->is_object()) {
        return drive.Fail("modelRecords", "must be an object");
    }
    ObjectReader reader(*value, drive.Where(), "modelRecords.", drive.Reporter());
    std::optional<std::vector<uint8_t>> at02;
    std::optional<std::vector<uint8_t>> at24;
    if (!reader.OnlyKeys({"02", "24"}) || !reader.HexBytes("02", kModelRecordBytes, at02) ||
        !reader.HexBytes("24", kModelRecordBytes, at24)) {
        return false;
    }
    auto record = [](const std::vector<uint8_t>& bytes) {
        ModelRecord out{};
        std::copy(bytes.begin(), bytes.end(), out.begin());
        return out;
    };
    if (at02) {
        description.recordAt02 = record(*at02);
    }
    if (at24) {
        description.recordAt24 = record(*at24);
    }
    return true;
}

bool ReadDrive(const Json& value, size_t index, Report& report, DriveDescription& drive) {
    const std::string where = FormatText("drive %zu", index);
    if (!value.is_object()) {
        return report.Fail(where, "", "must be an object");
    }
    ObjectReader reader(value, where, "", report);
    VirtualDriveSetup& setup = drive.setup;
    setup.oemTag = std::string(kOemTagWidth, ' ');
    std::string disc = "none";
    if (!reader.OnlyKeys({"identification", "revision", "oemTag", "oemTagBytes", "serial",
                          "inquiryHeader", "reader", "disc", "readiness", "largeBuffer",
                          "checksPageSums", "flashSize", "latencyMs", "faults", "corruptReadBacks",
                          "modelRecords"}) ||
        !reader.Text("identification", kIdentificationLength, true, setup.identification) ||
        !reader.Text("revision", kRevisionLength, true, setup.revision) ||
        !ReadOemTag(reader, setup.oemTag) ||
        !reader.TextOfLength("serial", 1, kMaxSerialLength, drive.serial) ||
        !ReadInquiryHeader(reader, drive.inquiryHeader) || !reader.Flag("reader", drive.reader) ||
        !reader.Choice("disc", {"none", "present"}, false, disc) ||
        !reader.SenseList("readiness", drive.readiness) ||
        !reader.Flag("largeBuffer", drive.largeBuffer) ||
        !reader.Flag("checksPageSums", drive.checksPageSums) ||
        !ReadFlashSize(reader, drive.flashSize) ||
        !reader.Number("latencyMs", 0, kMaxScenarioWaitMs, false, drive.latencyMs) ||
        !ReadFaults(reader, drive.faults) || !ReadCorruption(reader, drive.corruptReadBacks) ||
        !ReadModelRecords(reader, drive)) {
        return false;
    }
    setup.discPresent = disc == "present";
    return true;
}

}  // namespace

ScenarioReading ReadScenario(std::string_view fileName, std::string_view text) {
    Report report(fileName);
    Json document;
    std::vector<DriveDescription> drives;
    const bool read = [&] {
        if (text.size() > kMaxScenarioFileBytes) {
            return report.Fail("", "", FormatText("larger than %zu bytes", kMaxScenarioFileBytes));
        }
        if (!scenario::ParseJson(text, report, document)) {
            return false;
        }
        if (!document.is_object()) {
            return report.Fail("", "", "must hold one JSON object");
        }
        ObjectReader top(document, "", "", report);
        std::string description;
        if (!top.OnlyKeys({"description", "drives"}) || !top.FreeText("description", description)) {
            return false;
        }
        const Json* list = top.Find("drives");
        if (list == nullptr) {
            return top.Fail("drives", "missing");
        }
        if (!list->is_array()) {
            return top.Fail("drives", "must be an array");
        }
        for (size_t i = 0; i < list->size(); ++i) {
            if (!ReadDrive((*list)[i], i, report, drives.emplace_back())) {
                return false;
            }
        }
        return true;
    }();
    if (!read) {
        return {{}, report.Error()};
    }
    return {std::move(drives), ""};
}

ScenarioReading LoadScenarioFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        const int error = errno;
        return {{}, path + ": cannot be opened: " + std::strerror(error)};
    }
    std::string text;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<size_t>(file.gcount()));
        if (text.size() > kMaxScenarioFileBytes) {
            break;  // ReadScenario says it is too large
        }
    }
    if (file.bad()) {
        return {{}, path + ": cannot be read"};
    }
    return ReadScenario(path, text);
}

}  // namespace flashtool
