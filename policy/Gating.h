#pragma once

// The update gating: the questions asked about the selected drive and this build before a
// flash may start, and the values they leave behind in GatingState for the flash run.
// Runs on the user-interface thread; every command goes to the drive the operator chose.
// Refusals are reported through the host (a ResultCode) and end the attempt; the only
// question asked is the warning for same or newer firmware.

#include <cstdint>
#include <span>
#include <string_view>

#include "core/Clock.h"
#include "core/FixedText.h"
#include "drive/VendorCommands.h"
#include "image/BuildConfig.h"
#include "policy/GatingHost.h"
#include "policy/GatingRevision.h"
#include "policy/GatingState.h"
#include "policy/GatingTables.h"
#include "policy/VariantBuilds.h"
#include "transport/ScsiDevice.h"

namespace flashtool {

// What the gating works with; everything is owned by the dialog.
struct GatingContext {
    ScsiDevice device;  // the drive the operator chose, for every command of this press
    VendorCommands& vendor;
    GatingHost& host;
    Clock& clock;
    const BuildConfig& config;
    GatingState& state;
    // The stored region: BuildConfig, then the 14-byte PayloadHeader at offset 64.
    std::span<const uint8_t> storedRegion;
    GatingTables tables{};
};

enum class DriveModel : uint8_t { QV5500A, QV5505A, QV5520A };

constexpr std::string_view kModelQv5505a = "ORIN    DVD RW QV-5505A ";
constexpr std::string_view kModelQv5520a = "ORIN    DVD RW QV-5520A ";

// What TEST UNIT READY says about the tray.
enum class TrayState : uint8_t {
    Empty,       // no medium (or the drive is still spinning up without one)
    DiscLoaded,  // the drive is ready: a disc is in it
    Unsettled,   // no clear answer within about a minute
};

constexpr std::string_view kSameRevisionWarning =
    "Your drive's firmware is already the most updated !    \n\nDo you wish to continue ?";
constexpr std::string_view kDiscCheckUnsettledLine =
    "The drive did not answer the disc check within 60 seconds.";

class Gating {
public:
    // `description`: the selected drive's 24 identification characters followed by its 4
    // revision characters (shorter reads as zero-padded).
    Gating(const GatingContext& context, std::string_view description);

    std::string_view DriveIdentification() const { return {description.data(), 24}; }
    std::string_view DriveRevision() const { return {description.data() + 24, 4}; }

    // Asks the drive until it says clearly whether a disc is in it, for about a minute.
    TrayState ProbeTray();
    bool CheckNoDisc() { return ProbeTray() == TrayState::Empty; }

    // True when the drive is `model` in a variant this build accepts; for QV-5500A it also
    // sets the variant tag and copies the PayloadHeader.
    bool CheckModelVariant(DriveModel model);

    // True: the flash may start. False: a result code was reported or the user declined.
    bool CheckUpdatePolicy();

    RevisionVerdict CompareRevision(bool downgradesBarred, bool wildcard) const;
    OemRevisionVerdict CheckOemRevision(std::string_view boundary, std::string_view family) const;
    // True when a drive of a family with an OEM base is to be treated as of that base.
    bool IsBaseOemModel();
    bool CheckFactoryRevision() const;

private:
    bool Refuse(ResultCode code);
    bool AdoptVariant(std::string_view variantTag);
    bool CheckQv5500a(std::string_view oemTag);
    bool CheckQv5505a(std::string_view oemTag) const;
    bool CheckQv5520a(std::string_view oemTag) const;
    bool WildcardFamilyAccepted();
    bool FactoryRevisionAccepted();
    bool ApplyOemRevisionRow(bool& downgradesBarred, bool& prepare);
    bool AskAboutRevision(bool downgradesBarred, bool wildcard);

    GatingContext context;
    FixedText<28> description{};
};

}  // namespace flashtool
