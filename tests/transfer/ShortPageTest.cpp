// A page the drive answered GOOD without taking all of it is a page the drive does not have:
// the methods that end at a failed page end there, with nothing sent after it; the methods
// that read each page back try it again within their limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "transfer/TransferRig.h"

namespace flashtool::testing {
namespace {

struct ShortCase {
    const char* name;
    char digit;
    uint8_t opcode;
    std::optional<uint8_t> subFunction;
    uint32_t occurrence;  // of the matching command; 0: every one
    TransferOutcome result;
    size_t writesSent;  // commands of that kind on the wire (0: not checked)
};

size_t Count(const std::vector<std::string>& wire, const std::string& prefix) {
    return static_cast<size_t>(
        std::count_if(wire.begin(), wire.end(),
                      [&](const std::string& line) { return line.starts_with(prefix); }));
}

TEST(ShortPageTest, APageNotTakenWholeTakesItsMethodsFailurePath) {
    constexpr uint32_t kPages = 4;
    const ShortCase cases[] = {
        // Ends the run: the last page, and one mid-transfer that nothing may follow.
        {"signed pages, last", '1', 0xFD, 0x07, kPages, TransferOutcome::Failed, kPages},
        {"signed pages, second", '1', 0xFD, 0x07, 2, TransferOutcome::Failed, 2},
        {"summed pages, last", '2', 0xFA, std::nullopt, kPages, TransferOutcome::Failed, kPages},
        {"summed pages, second", '2', 0xFA, std::nullopt, 2, TransferOutcome::Failed, 2},
        {"blocks, last", '3', 0xF2, 0x03, kPages * 4, TransferOutcome::Failed, kPages * 4},
        {"blocks, third", '3', 0xF2, 0x03, 3, TransferOutcome::Failed, 3},
        // Read back and retried: once is mended, every time fails at the limit of five.
        {"buffer write, once", '0', 0x3B, 0x07, kPages, TransferOutcome::Done, kPages + 1},
        {"buffer write, always", '0', 0x3B, 0x07, 0, TransferOutcome::Failed, 5},
        {"segmented write, once", '4', 0x3B, 0x06, kPages, TransferOutcome::Done, kPages + 1},
        {"segmented write, always", '4', 0x3B, 0x06, 0, TransferOutcome::Failed, 5},
    };
    const auto image = SyntheticFirmware(kPages * kPage, "1.0e");
    for (const ShortCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto region = c.digit == '3' || c.digit == '0' || c.digit == '4'
                                ? StoredRegion(image, c.digit)
                                : StoredRegion(StoredForm(image, kPages * kPage), c.digit);
        TransferRig rig;
        rig.drive.SetFlashSizeReply({0x20, 0x31, static_cast<uint8_t>(kPages * 16), 0});
        rig.drive.AddFault(Fault{c.opcode, c.subFunction, c.occurrence, FaultKind::Short, {}, 512});
        EXPECT_EQ(rig.Transfer(InputsFor(region)), c.result);
        const auto wire = rig.Wire();
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%02X %02X", c.opcode, c.subFunction.value_or(0));
        if (c.subFunction) {
            EXPECT_EQ(Count(wire, prefix), c.writesSent);
        } else {
            EXPECT_EQ(Count(wire, "FA "), c.writesSent);
        }
        if (c.result == TransferOutcome::Failed) {
            // Nothing that would close or activate the image follows a failed page.
            EXPECT_TRUE(wire.back().starts_with(c.subFunction ? prefix : "FA ") ||
                        wire.back().starts_with("3C 02"))
                << wire.back();
        }
    }
}

}  // namespace
}  // namespace flashtool::testing
