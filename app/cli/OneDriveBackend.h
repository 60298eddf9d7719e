#pragma once

// A back-end that offers one drive of another back-end, for the workers of --all: each
// drive gets a back-end of its own (its own handles, its own trace), so that the drives are
// written at once and no state is shared between their threads. The drive is known by its
// first node name where the platform has names, else by its handle (the emulated drives'
// handles are their positions, the same in every back-end).

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "transport/ForwardingBackend.h"

namespace flashtool {

struct DriveIdentity {
    std::string node;  // empty: match by handle
    std::intptr_t handle = 0;
    uint8_t row = 0;  // in the survey's list
};

class OneDriveBackend final : public ForwardingBackend {
public:
    // `wanted` none: every drive of `inner`.
    OneDriveBackend(std::unique_ptr<PassThroughBackend> inner, std::optional<DriveIdentity> wanted)
        : ForwardingBackend(std::move(inner)), wanted(std::move(wanted)) {}

    void BeginDiscovery() override;
    // The wanted drive only: where drives have names the inner back-end does not even open
    // the others (LimitDiscoveryTo); elsewhere every other candidate is closed again
    // unasked (nothing is sent to it).
    std::optional<DeviceAddress> NextCandidate() override;

private:
    bool IsWanted(const DeviceAddress& address) const;

    std::optional<DriveIdentity> wanted;
    bool found = false;
};

}  // namespace flashtool
