#pragma once

// What a virtual drive keeps while firmware pages arrive, for every transfer method, and
// the scenario settings that shape its answers.

#include <cstdint>
#include <string>
#include <vector>

#include "image/Checksums.h"

namespace flashtool {

// The drive's answer to the flash size query: its device code (reply bytes 2 and 3) and
// its flash size in KB (reply byte 10 low, byte 11 high; 0 lets the device code decide).
struct FlashSizeReply {
    uint8_t deviceLow = 0x80;   // byte 2
    uint8_t deviceHigh = 0x31;  // byte 3
    uint8_t sizeLow = 0x00;     // byte 10
    uint8_t sizeHigh = 0x00;    // byte 11
    friend bool operator==(const FlashSizeReply&, const FlashSizeReply&) = default;
};

// Read-backs are numbered from 1 as they arrive. From read-back `first` on, `count` of them
// (0: every one) come back with one byte changed.
struct ReadBackCorruption {
    uint32_t first = 0;
    uint32_t count = 0;
    friend bool operator==(const ReadBackCorruption&, const ReadBackCorruption&) = default;
};

struct TransferState {
    // Scenario.
    FlashSizeReply flashSizeReply;
    std::vector<ReadBackCorruption> corruptions;
    bool checksPageSums = false;      // page commands carry each page's sum instead of the rotated
    std::string opaqueImageRevision;  // what an image with no synthetic header installs as

    // Signed and summed page commands: the image so far, in page order.
    std::vector<uint8_t> pages;
    bool pagesOpen = false;
    uint32_t nextPage = 0;
    uint8_t pageCount = 0;
    uint16_t carriedLinear = 0;
    uint16_t carriedRotated = 0;
    RunningSums receivedSums;  // of the pages so far

    // Block commands: the image so far, block after block.
    std::vector<uint8_t> blocks;
    bool blockSession = false;

    // Buffer writes: the download area, addressed by buffer ID and offset, and which of its
    // pages have been written since the last install attempt.
    std::vector<uint8_t> download;
    std::vector<bool> downloadedPages;
    uint32_t readBacks = 0;

    // Installed firmware.
    std::vector<uint8_t> installedImage;  // the last image the drive accepted and installed
    uint32_t installs = 0;
};

}  // namespace flashtool
