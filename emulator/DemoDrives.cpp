#include "emulator/DemoDrives.h"

namespace flashtool {

std::vector<std::shared_ptr<VirtualDrive>> MakeDemoDrives() {
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    drives.push_back(std::make_shared<VirtualDrive>(
        VirtualDriveSetup{"ORIN    DVD RW QV-5500A ", "1.0d", "ORIN      QZ", false}));
    drives.push_back(std::make_shared<VirtualDrive>(
        VirtualDriveSetup{"ORIN    DVD RW QV-5520A ", "2.1b", "QX-5520UL QZ", false}));
    drives.push_back(std::make_shared<VirtualDrive>(
        VirtualDriveSetup{"KESTREL DVD-ROM KD-1650 ", "0113", "", false}));
    return drives;
}

}  // namespace flashtool
