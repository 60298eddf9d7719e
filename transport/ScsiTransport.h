#pragma once

// The one object through which the program talks to optical drives. It owns the device
// table, the selected row and the sense fields of the last command, and keeps the Execute
// contract; the platform's pass-through layer sits behind PassThroughBackend.
//
// Calling order: construct, LoadBackend (once), ScanDevices, then commands. The program's
// own paths send through a ScsiDevice (a row taken once from the operator's choice) and read
// the whole outcome from the CommandResult; SelectDevice / Execute / LastSenseKey / LastAsc
// remain as thin wrappers over the selected row. Nothing here shows anything to the user:
// what a back-end wants the user to know comes back as a notice for the dialog. No lock:
// the program's run state keeps the user-interface thread and the flash worker apart.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "transport/CommandResult.h"
#include "transport/DeviceEntry.h"
#include "transport/PassThroughBackend.h"
#include "transport/ScsiDevice.h"
#include "transport/ScsiTypes.h"

namespace flashtool {

class UserNotifier;

// A drive the scan was offered but could not add to the table, because it did not answer
// the identification (INQUIRY): what to call it and what went wrong, in words.
struct UnansweredDrive {
    std::string name;    // its first node name; where the platform has none, its address
    std::string reason;  // DescribeFailure of the INQUIRY
    friend bool operator==(const UnansweredDrive&, const UnansweredDrive&) = default;
};

class ScsiTransport {
public:
    // Rows are numbered in 8 bits throughout the program (the selection, the drive a run
    // holds, the command line's drive numbers), and 255 stands for no row: a scan fills at
    // most 255 rows. A system with more drives is told so (DrivesLeftOut), never cut short
    // without a word.
    static constexpr uint8_t kMaxDevices = 255;
    static constexpr uint8_t kNoSelection = 255;

    ScsiTransport(std::unique_ptr<PassThroughBackend> backend, UserNotifier& notifier);
    virtual ~ScsiTransport();
    ScsiTransport(const ScsiTransport&) = delete;
    ScsiTransport& operator=(const ScsiTransport&) = delete;

    // Start-up entry: starts the back-end; on failure shows the back-end's message and
    // returns false.
    bool LoadBackend();
    // Closes every open device handle and unloads the back-end; always true. Run by the
    // destructor as well; a second call does nothing more.
    bool Release();

    // Discovery (see Discovery.cpp). Returns the number of devices found. `keepGoing`, when
    // given, is asked before each candidate: false ends the scan there, with the rows found
    // so far (the dialog stops it when it is closed during the scan). Past kMaxDevices rows
    // the scan stops; the user is told (through the notifier) that drives were left alone.
    uint8_t ScanDevices(const std::function<bool()>& keepGoing = {});
    uint8_t DeviceCount() const { return deviceCount; }
    // Asks a filled row's drive for its identification again (after an update its revision
    // is new). False, with the row unchanged, when the drive does not answer in full.
    bool RefreshRow(uint8_t row);
    uint8_t Selected() const { return selected; }
    // False, with the selection unchanged, when index is not a filled row.
    bool SelectDevice(uint8_t index);
    // Writes the selected row's identification immediately followed by its revision and a
    // zero into `out` (at least kDescriptionCapacity bytes, zero-filled first). False, and
    // nothing written, on an empty table, with no selection, or with a buffer too small.
    bool DescribeSelected(std::span<char> out) const;
    // The same for any filled row; false for a row that is not filled.
    bool DescribeRow(uint8_t row, std::span<char> out) const;
    // A filled row; an empty entry (no handle, no texts) for any other row.
    const DeviceEntry& Device(uint8_t row) const;
    // The back-end's names of a filled row's device (PassThroughBackend::NodeNames); none
    // for any other row.
    std::vector<std::string> NodeNames(uint8_t row) const;
    // The back-end's place of a filled row's device (PassThroughBackend::DrivePlace); "" for
    // any other row.
    std::string PlaceOf(uint8_t row) const;
    // True when the last scan found drives it could not list: drives the back-end could not
    // open (the user was told why), or drives that did not answer the identification.
    // Or more drives than the table takes.
    bool ScanMissedDrives() const {
        return !unanswered.empty() || drivesLeftOut ||
               (backend != nullptr && backend->DiscoveryMissedDrives());
    }
    // True when the last scan stopped at kMaxDevices rows with drives still to come.
    bool DrivesLeftOut() const { return drivesLeftOut; }
    // What to check when the scan found no drive (PassThroughBackend::NoDriveHint).
    std::string NoDriveHint() const { return backend->NoDriveHint(); }
    // The drives of the last scan that opened but did not answer the identification, in the
    // scan's order. Nobody was told of them yet: the window leaves them out of its tree.
    const std::vector<UnansweredDrive>& UnansweredDrives() const { return unanswered; }
    // The drive of a filled row, to send commands to; none for any other row.
    std::optional<ScsiDevice> DeviceAt(uint8_t row);

    // Sends one command to `row`. The CDB must hold at least CdbLength(cdb[0]) bytes;
    // exactly that many are sent. With a row that is not filled, or a CDB too short, nothing
    // is sent and the result is Failed (not sent). A notice of the back-end is kept for the
    // dialog (TakeNotices) as well as returned.
    CommandResult ExecuteOn(uint8_t row, std::span<const uint8_t> cdb, DataDirection direction,
                            uint8_t* data, uint32_t length, uint32_t timeoutSeconds);

    // ExecuteOn for the selected row. Sense fields are cleared before each command that is
    // sent and hold the sense key and ASC of a failed one.
    CommandResult Execute(std::span<const uint8_t> cdb, DataDirection direction, uint8_t* data,
                          uint32_t length, uint32_t timeoutSeconds);

    uint8_t LastSenseKey() const { return senseKey; }
    uint8_t LastAsc() const { return asc; }

    // Exclusive access to a filled row's drive for the length of a run (see the back-end).
    ExclusiveClaim ClaimExclusive(uint8_t row);
    void ReleaseExclusive(uint8_t row);

    // What the back-ends asked to tell the user since the last call, oldest first.
    std::vector<std::string> TakeNotices();

private:
    DeviceAddress AddressOf(const DeviceEntry& row) const;
    void CloseAllDevices();
    // `offered`: how many candidates this scan was offered before this one.
    bool ProbeCandidate(const DeviceAddress& address, size_t offered);

    std::unique_ptr<PassThroughBackend> backend;
    UserNotifier& notifier;
    uint8_t deviceCount = 0;
    uint8_t selected = kNoSelection;
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    bool released = false;
    bool probing = false;  // discovery's INQUIRY goes to the row it is about to fill
    bool drivesLeftOut = false;
    // The filled rows, and during discovery's INQUIRY the row being probed after them.
    std::vector<DeviceEntry> devices;
    std::vector<std::string> notices;
    std::vector<UnansweredDrive> unanswered;  // of the last scan
};

}  // namespace flashtool
