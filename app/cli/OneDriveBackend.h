#pragma once

// A back-end that offers one drive of another back-end, for the workers of --all: each
// drive gets a back-end of its own (its own handles, its own trace), so that the drives are
// written at once and no state is shared between their threads. The drive is known by its
// first node name where the platform has names, else by its handle (the emulated drives'
// handles are their positions, the same in every back-end). It also tells the progress
// display of every page that leaves for the drive.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "transport/PassThroughBackend.h"

namespace flashtool {

struct DriveIdentity {
    std::string node;  // empty: match by handle
    std::intptr_t handle = 0;
    uint8_t row = 0;  // in the survey's list
};

class OneDriveBackend final : public PassThroughBackend {
public:
    // `wanted` none: every drive of `inner`. `onPage` is called after each page sent.
    OneDriveBackend(std::unique_ptr<PassThroughBackend> inner, std::optional<DriveIdentity> wanted,
                    std::function<void()> onPage = {})
        : inner(std::move(inner)), wanted(std::move(wanted)), onPage(std::move(onPage)) {}

    bool Start(UserNotifier& notifier) override { return inner->Start(notifier); }
    std::string LoadFailureMessage() const override { return inner->LoadFailureMessage(); }
    uint8_t InquiryLength() const override { return inner->InquiryLength(); }
    void BeginDiscovery() override;
    // The wanted drive only: where drives have names the inner back-end does not even open
    // the others (LimitDiscoveryTo); elsewhere every other candidate is closed again
    // unasked (nothing is sent to it).
    std::optional<DeviceAddress> NextCandidate() override;
    void EndDiscovery(UserNotifier& notifier) override { inner->EndDiscovery(notifier); }
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;
    void CloseDevice(const DeviceAddress& device) override { inner->CloseDevice(device); }
    std::vector<std::string> NodeNames(const DeviceAddress& device) const override {
        return inner->NodeNames(device);
    }
    void LimitDiscoveryTo(const std::string& node, size_t row) override {
        inner->LimitDiscoveryTo(node, row);
    }
    ExclusiveClaim ClaimExclusive(const DeviceAddress& device) override {
        return inner->ClaimExclusive(device);
    }
    void ReleaseExclusive(const DeviceAddress& device) override { inner->ReleaseExclusive(device); }
    void Unload() override { inner->Unload(); }

private:
    bool IsWanted(const DeviceAddress& address) const;

    std::unique_ptr<PassThroughBackend> inner;
    std::optional<DriveIdentity> wanted;
    std::function<void()> onPage;
    bool found = false;
};

}  // namespace flashtool
