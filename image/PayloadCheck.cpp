#include "image/PayloadCheck.h"

#include "core/Format.h"

namespace flashtool {

std::optional<RunningSums> CheckPayload(FirmwareImage& image, std::span<const uint8_t> region,
                                        const PayloadSelection& selection, RunReporter& reporter) {
    const std::optional<RunningSums> staged = image.StagePayload(region, selection);
    reporter.AppendLog(FormatText("Linear CheckSum : %04X", selection.expectedLinear));
    reporter.AppendLog(FormatText("Rotated CheckSum : %04X", selection.expectedRotated));
    if (!staged || staged->Linear() != selection.expectedLinear ||
        staged->Rotated() != selection.expectedRotated) {
        return std::nullopt;
    }
    reporter.AppendLog("Check Sum match !!");
    return staged;
}

}  // namespace flashtool
