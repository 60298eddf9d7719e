// The --trace decorator: what it writes for each command, and that the program behaves
// through it exactly as without it.

#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "core/Diagnostics.h"
#include "core/Format.h"
#include "support/ScriptedBackend.h"
#include "transport/TraceLine.h"
#include "transport/TracingBackend.h"

namespace flashtool {
namespace {

// A back-end whose drives have node names and can be claimed, answering every command
// with a 4-byte reply "ABCD" and the scripted outcome.
class NamedBackend final : public PassThroughBackend {
public:
    std::vector<DeviceAddress> candidates{{11, 0, 0}, {12, 0, 0}};
    PassThroughOutcome outcome = PassThroughOutcome::Good();
    int claims = 0;
    int releases = 0;

    void BeginDiscovery() override { next = 0; }
    std::optional<DeviceAddress> NextCandidate() override {
        if (next >= candidates.size()) {
            return std::nullopt;
        }
        return candidates[next++];
    }
    PassThroughOutcome Send(const DeviceAddress&, const ScsiRequest& request) override {
        if (request.direction == DataDirection::In) {
            const std::array<uint8_t, 4> reply{'A', 'B', 'C', 'D'};
            std::copy_n(reply.begin(), std::min<size_t>(4, request.length), request.data);
        }
        return outcome;
    }
    void CloseDevice(const DeviceAddress&) override {}
    std::vector<std::string> NodeNames(const DeviceAddress& device) const override {
        return {"/dev/sg" + std::to_string(device.handle)};
    }
    ExclusiveClaim ClaimExclusive(const DeviceAddress&) override {
        ++claims;
        return ExclusiveClaim::Busy;
    }
    void ReleaseExclusive(const DeviceAddress&) override { ++releases; }
    void LimitDiscoveryTo(const std::string& node, size_t) override { limitedTo = node; }
    std::string limitedTo;

private:
    size_t next = 0;
};

struct TracingFixture : ::testing::Test {
    TracingFixture() {
        auto owned = std::make_unique<NamedBackend>();
        inner = owned.get();
        tracing = std::make_unique<TracingBackend>(std::move(owned), trace);
    }

    PassThroughOutcome Read(const DeviceAddress& device, std::span<uint8_t> buffer) {
        const std::array<uint8_t, 6> cdb{0x12, 0, 0, 0, static_cast<uint8_t>(buffer.size()), 0};
        ScsiRequest request;
        request.cdb = cdb;
        request.direction = DataDirection::In;
        request.data = buffer.data();
        request.length = static_cast<uint32_t>(buffer.size());
        return tracing->Send(device, request);
    }

    CapturedDiagnostics trace;
    NamedBackend* inner = nullptr;
    std::unique_ptr<TracingBackend> tracing;
};

TEST_F(TracingFixture, NodeNamesAndTheExclusiveClaimReachTheRealBackEnd) {
    // --update /dev/sgN finds its drive by name, and a run holds the drive exclusively:
    // both must work through --trace as without it.
    tracing->BeginDiscovery();
    const DeviceAddress first = tracing->NextCandidate().value();
    EXPECT_EQ(tracing->NodeNames(first), std::vector<std::string>{"/dev/sg11"});
    EXPECT_EQ(tracing->ClaimExclusive(first), ExclusiveClaim::Busy);
    tracing->ReleaseExclusive(first);
    EXPECT_EQ(inner->claims, 1);
    EXPECT_EQ(inner->releases, 1);
    EXPECT_TRUE(trace.Text().empty());
}

TEST_F(TracingFixture, EachCommandIsOneLineNumberedByItsPlaceInTheScan) {
    tracing->BeginDiscovery();
    const DeviceAddress first = tracing->NextCandidate().value();
    const DeviceAddress second = tracing->NextCandidate().value();
    std::array<uint8_t, 4> buffer{};
    Read(second, buffer);
    inner->outcome = PassThroughOutcome::CheckCondition({0x05, 0x24, 0x00});
    Read(first, buffer);
    EXPECT_EQ(trace.Text(), FormatText("vdrive 1: 12 00 00 00 04 00 | in 4 crc32=%08X | ok\n"
                                       "vdrive 0: 12 00 00 00 04 00 | in 4 crc32=%08X | "
                                       "failed 5/24\n",
                                       TraceDigest(std::array<uint8_t, 4>{'A', 'B', 'C', 'D'}),
                                       TraceDigest(std::array<uint8_t, 4>{'A', 'B', 'C', 'D'})));
}

TEST_F(TracingFixture, ADiscoveryLimitedToOneDriveNumbersItByItsRow) {
    // --all: each drive's worker opens its own drive only; the lines of all of them go to
    // one trace, where each drive keeps its row.
    tracing->LimitDiscoveryTo("/dev/sg12", 5);
    tracing->BeginDiscovery();
    const DeviceAddress drive = tracing->NextCandidate().value();
    std::array<uint8_t, 4> buffer{};
    Read(drive, buffer);
    EXPECT_EQ(trace.Text().substr(0, 10), "vdrive 5: ");
    EXPECT_EQ(inner->limitedTo, "/dev/sg12");
}

TEST_F(TracingFixture, WhatTheDriveDidNotSendIsDigestedAsZeros) {
    tracing->BeginDiscovery();
    const DeviceAddress drive = tracing->NextCandidate().value();
    // Two bytes arrived; the rest of the buffer still holds an earlier reply.
    inner->outcome = PassThroughOutcome::Good(6);
    std::array<uint8_t, 8> buffer{9, 9, 9, 9, 9, 9, 9, 9};
    Read(drive, buffer);
    EXPECT_EQ(buffer, (std::array<uint8_t, 8>{'A', 'B', 0, 0, 0, 0, 0, 0}));
    EXPECT_NE(trace.Text().find(FormatText("crc32=%08X | ok", TraceDigest(buffer))),
              std::string::npos);
}

}  // namespace
}  // namespace flashtool
