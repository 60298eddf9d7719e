// The model identity check of the three known models: which OEM tags and build families
// each accepts, and what it leaves behind for the flash run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gating/GatingRig.h"

namespace flashtool {
namespace {

using testing::BuildSetup;
using testing::GatingRig;

constexpr const char* k5500 = "ORIN    DVD RW QV-5500A ";
constexpr const char* k5505 = "ORIN    DVD RW QV-5505A ";
constexpr const char* k5520 = "ORIN    DVD RW QV-5520A ";
constexpr const char* kWild = "*";
const std::string kUntouched = "earlier";

TEST(CheckModelVariantTest, AcceptsTheVariantsOfEachModel) {
    struct Case {
        DriveModel model;
        const char* target;
        std::string family;
        const char* oemTag;
        bool accepted;
        std::string variantTag;  // kUntouched: left as it was
    };
    const std::string qx5520("QX-5520UL\0", 10);
    const Case cases[] = {
        {DriveModel::QV5500A, k5500, "KM7240", "ORIN      QZ", true, "ORIN_7250"},
        {DriveModel::QV5500A, k5500, "KM7240", "ORIN      QZX", true, "ORIN_7250"},
        {DriveModel::QV5500A, k5500, "KM7240", "PALLAS    QZ", true, "ORIN_7240"},
        {DriveModel::QV5500A, k5500, "KM7240", "", true, "ORIN_7240"},
        {DriveModel::QV5500A, kWild, "KM7240", "ORIN      QZ", true, "ORIN_7250"},
        {DriveModel::QV5500A, k5500, "KM7255", "ORIN      QZ", false, kUntouched},
        {DriveModel::QV5500A, k5505, "KM7240", "ORIN      QZ", false, kUntouched},
        {DriveModel::QV5500A, k5500, "QX-5500UL ", "QX-5500UL QZ", true, kUntouched},
        {DriveModel::QV5500A, k5500, "KM7240", "QX-5500UL QZ", false, kUntouched},
        {DriveModel::QV5500A, k5500, "QX-5500ULT", "QX-5500ULTQZ", true, kUntouched},
        {DriveModel::QV5500A, k5500, "QX-5500UL ", "QX-5500ULTQZ", false, kUntouched},
        {DriveModel::QV5505A, k5505, "KM7255", "ORIN      QZ", true, kUntouched},
        {DriveModel::QV5505A, kWild, "KM7255", "ORIN      QZ", true, kUntouched},
        {DriveModel::QV5505A, k5505, "KM7255", "PALLAS    QZ", false, kUntouched},
        {DriveModel::QV5505A, k5505, "KM7240", "ORIN      QZ", false, kUntouched},
        {DriveModel::QV5505A, k5500, "KM7255", "ORIN      QZ", false, kUntouched},
        {DriveModel::QV5520A, k5520, qx5520, "QX-5520UL QZ", true, kUntouched},
        {DriveModel::QV5520A, k5520, "KM7300", "QX-5520UL QZ", false, kUntouched},
        {DriveModel::QV5520A, k5520, "KM7300", "ORIN      QZ", true, kUntouched},
        {DriveModel::QV5520A, k5520, "KM7240", "ORIN      QZ", false, kUntouched},
        {DriveModel::QV5520A, kWild, "KM7300", "ORIN      QZ", false, kUntouched},
        // An ordinary build for another drive goes on to the tag and family rules.
        {DriveModel::QV5520A, k5500, "KM7300", "ORIN      QZ", true, kUntouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " / " + c.family + " / '" + c.oemTag + "'");
        BuildSetup setup;
        setup.target = c.target;
        setup.family = c.family;
        GatingRig rig({VirtualDriveSetup{.oemTag = c.oemTag}}, setup);
        rig.state.variantTag = kUntouched;
        Gating gating = rig.ForDrive();
        EXPECT_EQ(gating.CheckModelVariant(c.model), c.accepted);
        EXPECT_EQ(rig.state.variantTag, c.variantTag);
        const bool adopted = c.variantTag != kUntouched;
        EXPECT_EQ(rig.state.payloadHeader.Bytes() == testing::kStoredPayloadHeader, adopted);
        ASSERT_EQ(rig.Trace().size(), 1u);
        EXPECT_EQ(rig.Trace()[0].cdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 125, 0}));
        EXPECT_EQ(rig.Trace()[0].length, 125u);
    }
}

TEST(CheckModelVariantTest, AFailedInquiryOrAMissingHeaderFailsTheCheck) {
    GatingRig failed;
    failed.Drive().AddFault(Fault{0x12, std::nullopt, 0, FaultKind::TimeOut, {}});
    EXPECT_FALSE(failed.ForDrive().CheckModelVariant(DriveModel::QV5500A));
    EXPECT_EQ(failed.state.variantTag, "");

    GatingRig shortRegion;
    shortRegion.region.resize(77);
    EXPECT_FALSE(shortRegion.ForDrive().CheckModelVariant(DriveModel::QV5500A));
    EXPECT_EQ(shortRegion.state.variantTag, "");
}

// A back-end that does not report how much it moved leaves the end of a short answer as
// it was: the buffer must be zero before the command, so that the tag reads as zeros.
TEST(CheckModelVariantTest, TheInquiryBufferIsZeroBeforeTheCommand) {
    testing::RecordingNotifier notifier;
    auto owned = std::make_unique<testing::ScriptedBackend>();
    auto* backend = owned.get();
    backend->candidates = {DeviceAddress{3, 0, 0}};
    bool zeroOnArrival = false;
    backend->reply = [&](const ScsiRequest& request) {
        if (request.length == 125) {
            zeroOnArrival =
                std::all_of(request.data, request.data + 125, [](uint8_t b) { return b == 0; });
            std::fill_n(request.data, 100, uint8_t{'Q'});  // ends before the tag
        }
    };
    ScsiTransport transport(std::move(owned), notifier);
    transport.ScanDevices();
    testing::RecordingHost host;
    CapturedDiagnostics diagnostics;
    FakeClock clock;
    VendorCommands vendor(ScsiDevice(transport, 0), host, diagnostics, clock);
    const BuildConfig config = testing::MakeConfig({});
    GatingState state;
    std::vector<uint8_t> region(config.Bytes().begin(), config.Bytes().end());
    region.insert(region.end(), testing::kStoredPayloadHeader.begin(),
                  testing::kStoredPayloadHeader.end());
    Gating gating({ScsiDevice(transport, 0), vendor, host, clock, config, state, region}, k5500);

    EXPECT_TRUE(gating.CheckModelVariant(DriveModel::QV5500A));
    EXPECT_TRUE(zeroOnArrival);
    EXPECT_EQ(state.variantTag, "ORIN_7240");
    const auto& sent = backend->requests.back();
    EXPECT_EQ(sent.timeoutSeconds, 200u);
    EXPECT_EQ(sent.direction, DataDirection::In);
}

}  // namespace
}  // namespace flashtool
