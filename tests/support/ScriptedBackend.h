#pragma once

// A pass-through back-end for unit tests: it offers a scripted list of candidates, records
// every request exactly as it arrived and answers with scripted outcomes.

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "transport/PassThroughBackend.h"
#include "transport/UserNotifier.h"

namespace flashtool::testing {

struct RecordedRequest {
    std::vector<uint8_t> cdb;
    DataDirection direction;
    bool hasBuffer;
    uint32_t length;
    uint32_t timeoutSeconds;
    DeviceAddress device;
};

class ScriptedBackend final : public PassThroughBackend {
public:
    std::vector<DeviceAddress> candidates;
    // Answers in order; when empty, every command completes with GOOD.
    std::deque<PassThroughOutcome> outcomes;
    // Optional: fills the data-in buffer of each command.
    std::function<void(const ScsiRequest&)> reply;
    std::vector<RecordedRequest> requests;
    std::vector<std::intptr_t> closed;
    // The node names of a candidate, by handle; none where not given.
    std::map<std::intptr_t, std::vector<std::string>> nodeNames;
    // The place of a candidate, by handle; "" where not given.
    std::map<std::intptr_t, std::string> places;
    bool loadResult = true;
    bool unloaded = false;

    bool Start(UserNotifier&) override { return loadResult; }
    std::string LoadFailureMessage() const override { return "load failed"; }
    void BeginDiscovery() override { next = 0; }
    std::optional<DeviceAddress> NextCandidate() override {
        if (next >= candidates.size()) {
            return std::nullopt;
        }
        return candidates[next++];
    }
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override {
        requests.push_back(RecordedRequest{{request.cdb.begin(), request.cdb.end()},
                                           request.direction,
                                           request.data != nullptr,
                                           request.length,
                                           request.timeoutSeconds,
                                           device});
        if (reply) {
            reply(request);
        }
        if (outcomes.empty()) {
            return PassThroughOutcome::Good();
        }
        PassThroughOutcome outcome = outcomes.front();
        outcomes.pop_front();
        return outcome;
    }
    void CloseDevice(const DeviceAddress& device) override { closed.push_back(device.handle); }
    std::vector<std::string> NodeNames(const DeviceAddress& device) const override {
        const auto names = nodeNames.find(device.handle);
        return names != nodeNames.end() ? names->second : std::vector<std::string>{};
    }
    std::string DrivePlace(const DeviceAddress& device) const override {
        const auto place = places.find(device.handle);
        return place != places.end() ? place->second : std::string();
    }
    void Unload() override { unloaded = true; }

private:
    size_t next = 0;
};

class RecordingNotifier final : public UserNotifier {
public:
    std::vector<std::string> messages;
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
};

}  // namespace flashtool::testing
