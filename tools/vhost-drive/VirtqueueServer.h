#pragma once

// What a vhost-user device needs from the device type it carries: how many queues it has,
// and what to do with each chain the guest makes available. The answers are the chains to
// give back, so that a device may hold one and return it later with another.

#include <cstdint>
#include <vector>

#include "tools/vhost-drive/SplitVirtqueue.h"

namespace flashtool {

struct UsedChain {
    uint32_t queue = 0;
    uint16_t head = 0;
    uint32_t written = 0;  // bytes written into the chain's device-writable part
};

class VirtqueueServer {
public:
    virtual ~VirtqueueServer() = default;
    virtual uint32_t QueueCount() const = 0;
    // The device type's own feature bits, offered beside the transport's.
    virtual uint64_t DeviceFeatures() const = 0;
    // True for a queue whose buffers the device keeps until it has something to put there.
    virtual bool KeepsBuffers(uint32_t queue) const = 0;
    virtual std::vector<UsedChain> Serve(uint32_t queue, const DescriptorChain& chain) = 0;
    // The rings stopped, or the memory their chains lie in is going away: forget every
    // chain still held, it will never be returned.
    virtual void RingsStopped() = 0;
};

}  // namespace flashtool
