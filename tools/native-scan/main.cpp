// Scans the machine's optical drives through the Linux back-end (sysfs, SG_IO) and prints
// what sysfs lists, a trace line for every command sent, and the device table as the drive
// tree lists it. With --sequence ROW it then sends a short fixed sequence to that row:
// TEST UNIT READY, the 125-byte INQUIRY, the vendor handshake and the capabilities page.
// Nothing in the sequence changes a drive.
//
// usage: native-scan [--sequence ROW]

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Diagnostics.h"
#include "drive/VendorCdbs.h"
#include "transport/Inquiry.h"
#include "transport/ScsiTransport.h"
#include "transport/TracingBackend.h"
#include "transport/UserNotifier.h"
#include "transport/linux/SgIoBackend.h"
#include "transport/linux/SysfsDrives.h"

namespace {

using namespace flashtool;

class PrintingNotifier final : public UserNotifier {
public:
    void ShowMessage(std::string_view text) override {
        std::printf("[message] %.*s\n", static_cast<int>(text.size()), text.data());
    }
};

void PrintSysfsDrives() {
    std::printf("Optical drives in sysfs\n");
    for (const OpticalDrive& drive : FindOpticalDrives("/sys")) {
        std::printf("  %s \"%s\" sg=%s sr=%s\n", drive.addressText.c_str(), drive.name.c_str(),
                    drive.genericNode.empty() ? "-" : drive.genericNode.c_str(),
                    drive.blockNode.empty() ? "-" : drive.blockNode.c_str());
    }
}

void SendSequence(ScsiTransport& transport) {
    std::array<uint8_t, 125> inquiry{};
    std::array<uint8_t, kCapabilitiesAllocation> capabilities{};
    transport.Execute(TestUnitReadyCdb(), DataDirection::None, nullptr, 0, kShortCommandTimeout);
    transport.Execute(InquiryCdb(inquiry.size()), DataDirection::In, inquiry.data(), inquiry.size(),
                      kShortCommandTimeout);
    transport.Execute(VendorHandshakeCdb(), DataDirection::None, nullptr, 0, kShortCommandTimeout);
    transport.Execute(ModeSenseCapabilitiesCdb(), DataDirection::In, capabilities.data(),
                      capabilities.size(), kShortCommandTimeout);
}

}  // namespace

int main(int argc, char** argv) {
    int sequenceRow = -1;
    if (argc == 3 && std::strcmp(argv[1], "--sequence") == 0) {
        sequenceRow = std::atoi(argv[2]);
    } else if (argc != 1) {
        std::fputs("usage: native-scan [--sequence ROW]\n", stderr);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    PrintSysfsDrives();
    StdoutDiagnostics diagnostics;
    PrintingNotifier notifier;
    ScsiTransport transport(
        std::make_unique<TracingBackend>(std::make_unique<SgIoBackend>(), diagnostics), notifier);
    if (!transport.LoadBackend()) {
        return 1;
    }
    const uint8_t count = transport.ScanDevices();
    std::printf("\nMy Computer\n");
    if (count == 0) {
        std::printf("  (No Device found!)\n");
    }
    for (uint8_t row = 0; row < count; ++row) {
        transport.SelectDevice(row);
        std::array<char, 50> text{};
        transport.DescribeSelected(text);
        std::printf("  [%u] %s\n", row, text.data());
    }
    if (sequenceRow >= 0) {
        if (sequenceRow >= count || !transport.SelectDevice(static_cast<uint8_t>(sequenceRow))) {
            std::fprintf(stderr, "native-scan: no row %d\n", sequenceRow);
            return 1;
        }
        std::printf("\nSequence to row %d\n", sequenceRow);
        SendSequence(transport);
    }
    return 0;
}
