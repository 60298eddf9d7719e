#include "app/cli/OneDriveBackend.h"

namespace flashtool {

void OneDriveBackend::BeginDiscovery() {
    found = false;
    if (wanted && !wanted->node.empty()) {
        Inner().LimitDiscoveryTo(wanted->node, wanted->row);
    }
    Inner().BeginDiscovery();
}

bool OneDriveBackend::IsWanted(const DeviceAddress& address) const {
    if (!wanted) {
        return true;
    }
    if (wanted->node.empty()) {
        return address.handle == wanted->handle;
    }
    const std::vector<std::string> names = Inner().NodeNames(address);
    return !names.empty() && names.front() == wanted->node;
}

std::optional<DeviceAddress> OneDriveBackend::NextCandidate() {
    while (!found || !wanted) {
        const std::optional<DeviceAddress> candidate = Inner().NextCandidate();
        if (!candidate) {
            return std::nullopt;
        }
        if (IsWanted(*candidate)) {
            found = wanted.has_value();
            return candidate;
        }
        Inner().CloseDevice(*candidate);
    }
    return std::nullopt;
}

}  // namespace flashtool
