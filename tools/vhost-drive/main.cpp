// vhost-drive: serves virtual drives to a QEMU guest as one virtio-scsi target (LUN k is
// drive k) through vhost-user-scsi, so that the guest's kernel reaches them through its own
// sg and sr drivers. The drives are the demo's, or those of a scenario file; their
// latencies and delays are real time. A command a drive lets time out is answered as
// aborted once the drive has waited (VirtualDriveTarget.h says why), so a scenario's
// time-out should wait longer than the program's own time-out for that command.
// Every command received is written to the trace file as one line in the emulated
// program's format:
//   vdrive N: CDB-HEX | DIR LEN crc32=XXXXXXXX | RESULT
//
// usage: vhost-drive --socket PATH --trace FILE [--drives FILE] [--verbose]
// QEMU:  -object memory-backend-memfd,id=mem,size=1G,share=on -machine memory-backend=mem
//        -chardev socket,id=vd,path=PATH -device vhost-user-scsi-pci,chardev=vd

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "emulator/DemoDrives.h"
#include "emulator/Scenario.h"
#include "tools/vhost-drive/TraceFile.h"
#include "tools/vhost-drive/VhostUserDevice.h"
#include "tools/vhost-drive/VirtioScsiQueues.h"
#include "tools/vhost-drive/VirtualDriveTarget.h"

namespace {

constexpr const char* kUsage =
    "usage: vhost-drive --socket PATH --trace FILE [--drives FILE] [--verbose]\n";

// Protocol errors go to standard error beside the device's own (VhostUserDevice::Log).
class StderrLines final : public flashtool::DiagnosticSink {
public:
    void Write(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stderr); }
};

struct Options {
    std::string socket;
    std::string trace;
    std::string drives;  // empty: the demo's
    bool verbose = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--socket" || arg == "--trace" || arg == "--drives") && i + 1 < argc) {
            (arg == "--socket"  ? options.socket
             : arg == "--trace" ? options.trace
                                : options.drives) = argv[++i];
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else {
            return false;
        }
    }
    return !options.socket.empty() && !options.trace.empty();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace flashtool;
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    static SystemClock driveClock;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    if (options.drives.empty()) {
        drives = MakeDemoDrives(&driveClock);
    } else {
        const ScenarioReading reading = LoadScenarioFile(options.drives);
        if (!reading.Ok()) {
            std::fprintf(stderr, "vhost-drive: %s\n", reading.error.c_str());
            return 1;
        }
        drives = BuildDrives(reading.drives, &driveClock);
    }
    TraceFile trace;
    if (!trace.Open(options.trace)) {
        std::fprintf(stderr, "vhost-drive: cannot write the trace file %s: %s\n",
                     options.trace.c_str(), std::strerror(errno));
        return 1;
    }
    VirtualDriveTarget target(std::move(drives), trace, VirtualDriveTarget::TimeOuts::Abort);
    // One request queue: the drives answer one command at a time anyway.
    StderrLines errors;
    VirtioScsiQueues queues(target, 1, errors);
    VhostUserDevice device(queues, options.verbose);
    return device.Run(options.socket);
}
