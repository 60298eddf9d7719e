#pragma once

#include <array>
#include <cstdint>

namespace flashtool {

constexpr uint8_t kOpInquiry = 0x12;

// CDB byte 1: ask for a vital product data page (byte 2 names it) instead of the standard
// data.
constexpr uint8_t kInquiryEvpd = 0x01;

// Vital product data pages every drive that answers EVPD at all is asked about: the list of
// the pages it supports, and the unit serial number.
constexpr uint8_t kVpdSupportedPages = 0x00;
constexpr uint8_t kVpdUnitSerialNumber = 0x80;

// Standard INQUIRY: operation code, allocation length in byte 4, every other byte zero.
constexpr std::array<uint8_t, 6> InquiryCdb(uint8_t allocationLength) {
    return {kOpInquiry, 0x00, 0x00, 0x00, allocationLength, 0x00};
}

// INQUIRY for vital product data page `page`. The allocation length is big-endian in bytes
// 3-4; one byte is enough for the pages asked here, and keeps the command within what the
// oldest drives read (their byte 3 was reserved).
constexpr std::array<uint8_t, 6> InquiryVpdCdb(uint8_t page, uint8_t allocationLength) {
    return {kOpInquiry, kInquiryEvpd, page, 0x00, allocationLength, 0x00};
}

}  // namespace flashtool
