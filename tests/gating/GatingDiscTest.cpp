// The disc check: TEST UNIT READY until the drive says clearly whether a disc is in it,
// for about a minute at most.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gating/GatingRig.h"

namespace flashtool {
namespace {

using testing::CountDriveChanges;
using testing::CountOpcode;
using ::testing::ElementsAre;
using testing::GatingRig;
using ::testing::IsEmpty;

TEST(CheckNoDiscTest, ReadsTheTrayFromTestUnitReady) {
    struct Case {
        const char* name;
        bool disc;
        std::vector<SenseInfo> queued;
        TrayState tray;
        size_t polls;
    };
    const Case cases[] = {
        {"ready at once: a disc", true, {}, TrayState::DiscLoaded, 1},
        {"medium not present", false, {}, TrayState::Empty, 1},
        {"not ready, becoming ready, counts as no disc",
         true,
         {sense::kBecomingReady},
         TrayState::Empty,
         1},
        {"unit attention, then ready", true, {sense::kMediumChanged}, TrayState::DiscLoaded, 2},
        {"resets, then no medium",
         false,
         {sense::kPowerOnReset, sense::kMediumChanged, sense::kPowerOnReset},
         TrayState::Empty,
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GatingRig rig({VirtualDriveSetup{.discPresent = c.disc}});
        for (const SenseInfo& condition : c.queued) {
            rig.Drive().QueueReadiness(condition);
        }
        Gating gating = rig.ForDrive();
        EXPECT_EQ(gating.ProbeTray(), c.tray);
        EXPECT_EQ(CountOpcode(rig.Trace(), 0x00), c.polls);
        EXPECT_EQ(rig.clock.Sleeps(), std::vector<uint32_t>(c.polls - 1, 200));
        EXPECT_THAT(rig.host.log, IsEmpty());
    }
}

TEST(CheckNoDiscTest, ADriveThatNeverSettlesIsGivenUpAfterAMinute) {
    struct Case {
        const char* name;
        Fault fault;
        size_t polls;
        size_t sleeps;
    };
    const Case cases[] = {
        {"unit attention forever",
         Fault{0x00, std::nullopt, 0, FaultKind::CheckCondition, sense::kMediumChanged}, 301, 300},
        {"no sense at all", Fault{0x00, std::nullopt, 0, FaultKind::TransportFailure, {}}, 301,
         300},
        // Each time-out has already taken 15 s.
        {"time-outs", Fault{0x00, std::nullopt, 0, FaultKind::TimeOut, {}}, 4, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GatingRig rig({VirtualDriveSetup{.discPresent = true}});
        rig.Drive().AddFault(c.fault);
        Gating gating = rig.ForDrive();
        EXPECT_FALSE(gating.CheckNoDisc());
        EXPECT_EQ(CountOpcode(rig.Trace(), 0x00), c.polls);
        EXPECT_EQ(rig.clock.Sleeps().size(), c.sleeps);
        EXPECT_THAT(rig.host.log,
                    ElementsAre("The drive did not answer the disc check within 60 seconds."));
        EXPECT_THAT(rig.host.results, IsEmpty());
        EXPECT_EQ(CountDriveChanges(rig.Trace()), 0u);
    }
}

}  // namespace
}  // namespace flashtool
