// The unit serial number page as the program reads it: the field whole and as text, or
// nothing.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "transport/InquiryReply.h"

namespace flashtool {
namespace {

struct SerialCase {
    std::string what;
    std::vector<uint8_t> reply;
    std::optional<std::string> serial;
};

TEST(InquiryReplyTest, TheSerialNumberIsThePagesWholeFieldOrNothing) {
    const std::vector<SerialCase> cases = {
        {"a page", {0x05, 0x80, 0x00, 0x04, 'Q', 'V', '5', 'A'}, "QV5A"},
        {"blanks kept", {0x05, 0x80, 0x00, 0x04, ' ', ' ', 'Q', 'V'}, "  QV"},
        {"bytes after the page left out", {0x05, 0x80, 0x00, 0x02, 'Q', 'V', 0, 0}, "QV"},
        {"an empty field", {0x05, 0x80, 0x00, 0x00}, ""},
        {"cut short", {0x05, 0x80, 0x00, 0x05, 'Q', 'V', '5', 'A'}, std::nullopt},
        {"16-bit length past the reply", {0x05, 0x80, 0x01, 0x00, 'Q'}, std::nullopt},
        {"another page", {0x05, 0x83, 0x00, 0x02, 'Q', 'V'}, std::nullopt},
        {"a control byte", {0x05, 0x80, 0x00, 0x02, 'Q', 0x07}, std::nullopt},
        // The standard data of a drive that claims no version: byte 1 (removable) reads as
        // the page code and bytes 2-3 as a length that fits.
        {"the standard data",
         {0x05, 0x80, 0x00, 0x32, 0x78, 0x00, 0x00, 0x00, 'O', 'R', 'I', 'N', ' ', ' ',
          ' ',  ' ',  'D',  'V',  'D',  ' ',  'R',  'W',  ' ', 'Q', 'V', '-', '5', '5',
          '0',  '0',  'A',  ' ',  '1',  '.',  '0',  'd',  0,   0,   0,   0,   0,   0,
          0,    0,    0,    0,    0,    0,    0,    0,    0,   0,   0,   0,   0},
         std::nullopt},
        {"no header", {0x05, 0x80, 0x00}, std::nullopt},
    };
    for (const SerialCase& c : cases) {
        EXPECT_EQ(UnitSerialNumberFromVpd(c.reply), c.serial) << c.what;
    }
}

}  // namespace
}  // namespace flashtool
