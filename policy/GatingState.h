#pragma once

// What the drive tree and the update gating leave behind for the flash run. One object,
// owned by the dialog and passed where needed. The current family is rebuilt on every
// check; the variant tag and payload header change only when the target's model check
// passes; the OEM values are only ever set, so a value from an earlier press stays.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/FixedText.h"
#include "image/BuildConfig.h"
#include "image/ImageLayout.h"

namespace flashtool {

struct GatingState {
    // Family resolved for the drive being examined; empty (all zero) when none.
    FixedText<10> currentFamily{};
    // Empty, kVariantOrin7250 or kVariantOrin7240.
    std::string variantTag;
    // Copy of the stored PayloadHeader, taken when the variant tag is set.
    PayloadHeader payloadHeader;
    bool oemFamily = false;
    uint8_t oemCode = 0;
    bool oemRevisionAhead = false;
    // This press's drive is an OEM drive below its boundary revision: the run prepares its
    // model records (VendorCommands::PrepareModelRecords) before anything else it writes.
    // Decided afresh by every press's checks.
    bool prepareRecords = false;

    std::string_view CurrentFamilyText() const { return TextOf(currentFamily); }
};

}  // namespace flashtool
