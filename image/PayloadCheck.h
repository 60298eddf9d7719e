#pragma once

// The check at the start of a flash run: stage the selected payload, show the expected
// sums in the log, and compare them with the sums of what was staged.

#include <optional>
#include <span>

#include "drive/RunReporter.h"
#include "image/Checksums.h"
#include "image/FirmwareImage.h"

namespace flashtool {

// Stages `selection` from `region` into `image`, logs "Linear CheckSum : %04X" and
// "Rotated CheckSum : %04X" with the expected values (also when they then differ), and
// compares linear first, then rotated. When both match it logs "Check Sum match !!" and
// gives the staged sums; otherwise (a sum differs, or the staging range does not fit the
// region or a buffer) it gives nothing and the caller ends the run with ChecksumMismatch.
std::optional<RunningSums> CheckPayload(FirmwareImage& image, std::span<const uint8_t> region,
                                        const PayloadSelection& selection, RunReporter& reporter);

}  // namespace flashtool
