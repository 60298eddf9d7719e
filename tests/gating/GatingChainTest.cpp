// The whole chain of checks the Upgrade command runs, for this build, on virtual drives
// with the build's own tables. No refusal may leave a command that changes the drive on
// the wire.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gating/GatingRig.h"
#include "policy/GatingChain.h"

namespace flashtool {
namespace {

using testing::BuildSetup;
using testing::CountDriveChanges;
using testing::CountOpcode;
using ::testing::ElementsAre;
using testing::GatingRig;
using ::testing::IsEmpty;

constexpr const char* kTarget = "ORIN    DVD RW QV-5500A ";

struct Outcome {
    bool started;
    std::vector<ResultCode> results;
    bool upgradeEnabled;
    std::vector<std::string> log;
};

Outcome RunChecks(GatingRig& rig, bool storedRegionIntact = true, uint8_t index = 0) {
    const bool started = RunUpgradeChecks(rig.Context(index), [&] { return storedRegionIntact; });
    return {started, rig.host.results, rig.host.upgradeEnabled, rig.host.log};
}

TEST(UpgradeChecksTest, TheTargetPassesWithItsVariantTagAndVersionLine) {
    struct Case {
        const char* oemTag;
        const char* variantTag;
        const char* versionLine;
    };
    const Case cases[] = {
        {"ORIN      QZ", "ORIN_7250", "It will be updated from  1.0d  To  1.0g"},
        {"PALLAS    QZ", "ORIN_7240", "It will be updated from  1.0d  To  1.0e"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oemTag);
        GatingRig rig({VirtualDriveSetup{kTarget, "1.0d", c.oemTag, false}});
        const Outcome outcome = RunChecks(rig);
        EXPECT_TRUE(outcome.started);
        EXPECT_THAT(outcome.results, IsEmpty());
        EXPECT_TRUE(outcome.upgradeEnabled);
        EXPECT_THAT(outcome.log, ElementsAre(c.versionLine, " "));
        EXPECT_EQ(rig.state.variantTag, c.variantTag);
        EXPECT_EQ(rig.state.payloadHeader.Bytes(), testing::kStoredPayloadHeader);
        EXPECT_EQ(std::string(rig.state.CurrentFamilyText()), "KM7240");
        EXPECT_THAT(rig.host.boxes, IsEmpty());
        // The disc check, then the long INQUIRY: nothing else reaches the drive.
        ASSERT_EQ(rig.Trace().size(), 2u);
        EXPECT_EQ(rig.Trace()[0].cdb, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(rig.Trace()[1].cdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 125, 0}));
    }
}

TEST(UpgradeChecksTest, EveryRefusalEndsWithItsCodeAndLeavesTheDriveAlone) {
    struct Case {
        const char* name;
        VirtualDriveSetup drive;
        BuildSetup setup;
        std::optional<BoxAnswer> answer;
        std::optional<Fault> fault;
        bool storedRegionIntact;
        Outcome expected;
    };
    const VirtualDriveSetup target{kTarget, "1.0d", "ORIN      QZ", false};
    const VirtualDriveSetup other{"KESTREL DVD-ROM KD-1650 ", "0113", "", false};
    const BuildSetup build;
    const BuildSetup brand40{"TARN2", kTarget, "1.0e", "KM7240", "XJ*.**"};
    const BuildSetup brand20{"TARN2", kTarget, "1.0e", "KM7240", "FG*.**"};
    const BuildSetup notMaker{"TARX2", kTarget, "1.0e", "KM7240", "QZ*.**"};
    const Fault unsettled{0x00, std::nullopt, 0, FaultKind::CheckCondition, sense::kPowerOnReset};
    const Fault noInquiry{0x12, std::nullopt, 0, FaultKind::TimeOut, {}};
    const Case cases[] = {
        {"brand 40 on the target",
         target,
         brand40,
         {},
         {},
         true,
         {false, {ResultCode::CheckFailed}, true, {}}},
        {"brand 20 on the target",
         target,
         brand20,
         {},
         {},
         true,
         {false, {ResultCode::CheckFailed}, true, {}}},
        {"a drive that is not the target",
         other,
         build,
         {},
         {},
         true,
         {false,
          {ResultCode::NotAllowed},
          false,
          {"It will be updated from  0113  To  1.0e", " "}}},
        {"not the target, brand 40",
         other,
         brand40,
         {},
         {},
         true,
         {false, {ResultCode::NotAllowed}, false, {" ==> New firmware Version : 1.0e", " "}}},
        {"a factory revision",
         {kTarget, "FS01", "ORIN      QZ", false},
         build,
         {},
         {},
         true,
         {false,
          {ResultCode::CheckFailed},
          false,
          {"It will be updated from  FS01  To  1.0g", " "}}},
        {"same revision, Cancel",
         {kTarget, "1.0e", "ORIN      QZ", false},
         build,
         BoxAnswer::Cancel,
         {},
         true,
         {false,
          {ResultCode::UserCancelled},
          false,
          {"It will be updated from  1.0e  To  1.0g", " "}}},
        {"newer revision, Cancel",
         {kTarget, "1.1a", "ORIN      QZ", false},
         build,
         BoxAnswer::Cancel,
         {},
         true,
         {false,
          {ResultCode::UserCancelled},
          false,
          {"It will be updated from  1.1a  To  1.0g", " "}}},
        {"revision outside the pattern",
         {kTarget, "1-0d", "ORIN      QZ", false},
         build,
         {},
         {},
         true,
         {false,
          {ResultCode::NotAllowed},
          false,
          {"It will be updated from  1-0d  To  1.0g", " "}}},
        {"a disc in the drive",
         {kTarget, "1.0d", "ORIN      QZ", true},
         build,
         {},
         {},
         true,
         {false, {ResultCode::DiscPresent}, true, {}}},
        {"a drive that never settles",
         target,
         build,
         {},
         unsettled,
         true,
         {false,
          {ResultCode::CommandFailed},
          true,
          {"The drive did not answer the disc check within 60 seconds."}}},
        {"the long INQUIRY fails",
         target,
         build,
         {},
         noInquiry,
         true,
         {false, {ResultCode::CheckFailed}, true, {}}},
        {"not a maker build",
         target,
         notMaker,
         {},
         {},
         true,
         {false, {ResultCode::CheckFailed}, true, {}}},
        {"stored region damaged",
         target,
         build,
         {},
         {},
         false,
         {false, {ResultCode::CheckFailed}, true, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GatingRig rig({c.drive}, c.setup);
        if (c.answer) {
            rig.host.answers.push_back(*c.answer);
        }
        if (c.fault) {
            rig.Drive().AddFault(*c.fault);
        }
        const Outcome outcome = RunChecks(rig, c.storedRegionIntact);
        EXPECT_EQ(outcome.started, c.expected.started);
        EXPECT_EQ(outcome.results, c.expected.results);
        EXPECT_EQ(outcome.upgradeEnabled, c.expected.upgradeEnabled);
        EXPECT_EQ(outcome.log, c.expected.log);
        EXPECT_EQ(rig.host.boxes.size(), c.answer ? 1u : 0u);
        EXPECT_EQ(CountDriveChanges(rig.Trace()), 0u);
    }
}

TEST(UpgradeChecksTest, OnlyBrands20And30CheckForADiscAndBrand40SkipsIt) {
    for (const auto& [pattern, discChecks] : std::vector<std::pair<const char*, size_t>>{
             {"QZ*.**", 1}, {"FG*.**", 1}, {"XJ*.**", 0}, {"WV*.**", 0}, {"AB*.**", 0}}) {
        BuildSetup setup;
        setup.pattern = pattern;
        GatingRig rig({VirtualDriveSetup{"KESTREL DVD-ROM KD-1650 ", "0113", "", true}}, setup);
        RunChecks(rig);
        EXPECT_EQ(CountOpcode(rig.Trace(), 0x00), discChecks) << pattern;
    }
}

TEST(UpgradeChecksTest, TheModelCheckStillRunsForBrand40AndSetsTheTag) {
    GatingRig rig({VirtualDriveSetup{kTarget, "1.0d", "ORIN      QZ", false}},
                  BuildSetup{"TARN2", kTarget, "1.0e", "KM7240", "XJ*.**"});
    EXPECT_FALSE(RunChecks(rig).started);
    EXPECT_EQ(rig.state.variantTag, "ORIN_7250");
}

TEST(UpgradeChecksTest, AVariantTagFromAnEarlierPressDoesNotDecideForAnotherDrive) {
    // A wildcard KM7240 build: the QV-5500A takes the dual layout's payload by its tag, a
    // drive of the same family without a tag the single layout's.
    GatingRig rig({VirtualDriveSetup{kTarget, "1.0d", "ORIN      QZ", false},
                   VirtualDriveSetup{"KESTREL DVD RW KD-5500  ", "1.0d", "", false}},
                  BuildSetup{"TARN2", "*                       ", "1.0e", "KM7240", "QZ*.**"});
    RunChecks(rig, true, 0);
    ASSERT_EQ(rig.state.variantTag, "ORIN_7250");
    RunChecks(rig, true, 1);
    EXPECT_EQ(rig.state.variantTag, "");
}

TEST(UpgradeChecksTest, ARowThatCannotBeSelectedIsRefusedWithNothingSent) {
    GatingRig rig;
    const Outcome outcome = RunChecks(rig, true, 5);
    EXPECT_FALSE(outcome.started);
    EXPECT_THAT(outcome.results, ElementsAre(ResultCode::CheckFailed));
    EXPECT_THAT(rig.Trace(), IsEmpty());
}

}  // namespace
}  // namespace flashtool
