#pragma once

// The commands a recording of a drive may send: each one only asks the drive what it is or
// what it reports, and changes nothing in it. A command is on the list only when its whole
// CDB matches an entry (the bytes an entry leaves free excepted) and its data goes the
// entry's way. A vendor operation code never passes on its code alone: its sub-function and
// the bytes after it decide whether it reads, writes or unlocks something, so each vendor
// entry is one exact block.
//
// Left off on purpose: the maker's handshake (it opens the drive's vendor command set), the
// model record write, START STOP UNIT (the tray), every page, block and buffer command, and
// READ BUFFER's descriptor mode (the flash size query): the drives of this family take that
// query as the start of a new image and drop their download area.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "transport/ScsiTypes.h"

namespace flashtool {

// How much of the unit serial number page a recording asks for: all a one-byte allocation
// length can.
constexpr uint8_t kSerialNumberAllocation = 0xFF;

struct ReadOnlyCommand {
    std::string_view name;
    DataDirection direction;
    std::array<uint8_t, 12> cdb;  // the first CdbLength(cdb[0]) bytes count
    uint16_t freeBytes = 0;       // bit N set: CDB byte N may hold any value
};

// The whole list, in the order a recording sends them.
std::span<const ReadOnlyCommand> ReadOnlyCommands();

// The entry `cdb` sent with `direction` matches, or null when it is not on the list. The
// CDB must hold exactly its operation code's length.
const ReadOnlyCommand* FindReadOnlyCommand(std::span<const uint8_t> cdb, DataDirection direction);

}  // namespace flashtool
