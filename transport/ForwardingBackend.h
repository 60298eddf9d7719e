#pragma once

// A back-end that wraps another and passes every call through, for the back-ends that add
// something to another's work (a trace, one drive of many, counts in tests). They override
// only what they change, so that a call added to PassThroughBackend reaches the wrapped
// back-end without each of them having to learn of it.

#include <memory>

#include "transport/PassThroughBackend.h"

namespace flashtool {

class ForwardingBackend : public PassThroughBackend {
public:
    explicit ForwardingBackend(std::unique_ptr<PassThroughBackend> inner)
        : inner(std::move(inner)) {}

    bool Start(UserNotifier& notifier) override { return inner->Start(notifier); }
    std::string LoadFailureMessage() const override { return inner->LoadFailureMessage(); }
    std::string NoDriveHint() const override { return inner->NoDriveHint(); }
    uint8_t InquiryLength() const override { return inner->InquiryLength(); }
    void BeginDiscovery() override { inner->BeginDiscovery(); }
    std::optional<DeviceAddress> NextCandidate() override { return inner->NextCandidate(); }
    void EndDiscovery(UserNotifier& notifier) override { inner->EndDiscovery(notifier); }
    bool DiscoveryMissedDrives() const override { return inner->DiscoveryMissedDrives(); }
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override {
        return inner->Send(device, request);
    }
    void CloseDevice(const DeviceAddress& device) override { inner->CloseDevice(device); }
    std::vector<std::string> NodeNames(const DeviceAddress& device) const override {
        return inner->NodeNames(device);
    }
    std::string DrivePlace(const DeviceAddress& device) const override {
        return inner->DrivePlace(device);
    }
    void LimitDiscoveryTo(const std::string& node, size_t row) override {
        inner->LimitDiscoveryTo(node, row);
    }
    ExclusiveClaim ClaimExclusive(const DeviceAddress& device) override {
        return inner->ClaimExclusive(device);
    }
    void ReleaseExclusive(const DeviceAddress& device) override { inner->ReleaseExclusive(device); }
    void Unload() override { inner->Unload(); }

protected:
    PassThroughBackend& Inner() { return *inner; }
    const PassThroughBackend& Inner() const { return *inner; }

private:
    std::unique_ptr<PassThroughBackend> inner;
};

}  // namespace flashtool
