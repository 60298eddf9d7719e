#include "transport/UnitSerial.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "transport/Inquiry.h"
#include "transport/InquiryReply.h"

namespace flashtool {

namespace {

constexpr size_t kVpdHeaderLength = 4;
// Enough for any page list and any serial number: the page length field of either fits in
// the one byte of allocation length the oldest drives read.
constexpr uint8_t kVpdAllocation = 255;

// The page's bytes as the drive returned them; none when it did not answer GOOD.
std::optional<std::vector<uint8_t>> ReadVpdPage(const ScsiDevice& drive, uint8_t page) {
    std::vector<uint8_t> reply(kVpdAllocation, 0);
    const auto cdb = InquiryVpdCdb(page, kVpdAllocation);
    const CommandResult result =
        drive.Execute(cdb, DataDirection::In, reply.data(), kVpdAllocation, kShortCommandTimeout);
    if (!result.Ok()) {
        return std::nullopt;
    }
    reply.resize(kVpdAllocation - std::min<uint32_t>(result.outcome.residual, kVpdAllocation));
    return reply;
}

}  // namespace

bool VpdPageListed(std::span<const uint8_t> reply, uint8_t page) {
    if (reply.size() < kVpdHeaderLength || reply[1] != kVpdSupportedPages) {
        return false;
    }
    const size_t length = (size_t{reply[2]} << 8) | reply[3];
    const auto listed =
        reply.subspan(kVpdHeaderLength, std::min(length, reply.size() - kVpdHeaderLength));
    return std::find(listed.begin(), listed.end(), page) != listed.end();
}

std::string ReadUnitSerialNumber(const ScsiDevice& drive) {
    const std::optional<std::vector<uint8_t>> pages = ReadVpdPage(drive, kVpdSupportedPages);
    if (!pages || !VpdPageListed(*pages, kVpdUnitSerialNumber)) {
        return "";
    }
    const std::optional<std::vector<uint8_t>> page = ReadVpdPage(drive, kVpdUnitSerialNumber);
    if (!page) {
        return "";
    }
    const std::string serial = UnitSerialNumberFromVpd(*page).value_or("");
    const size_t first = serial.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "";
    }
    return serial.substr(first, serial.find_last_not_of(' ') - first + 1);
}

}  // namespace flashtool
