// The drive's side of the page transfer: it takes pages and blocks the way a drive does,
// checks the sums and the numbering carried in the commands, answers read-backs from what
// it stored, and installs an image that has arrived whole and checks out. An image sent
// in its stored form (a length word, a zlib stream, zero fill) is expanded first.

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "core/Bytes.h"
#include "emulator/VirtualDrive.h"
#include "image/Checksums.h"
#include "image/FirmwareHeader.h"

namespace flashtool {

namespace {

constexpr uint32_t kPageBytes = 16384;
constexpr uint32_t kBlockBytes = 4096;
constexpr uint32_t kBlockWireBytes = kBlockBytes + 2;
constexpr uint32_t kFlashSizeReplyBytes = 100;
constexpr size_t kPagesPerSegment = 65536 / kPageBytes;
constexpr size_t kDownloadLimit = size_t{1} << 24;  // a 24-bit buffer offset
constexpr size_t kExpandLimit = size_t{1} << 24;

constexpr SenseInfo kBadParameterData{0x05, 0x26, 0x00};  // a sum or the image is wrong
constexpr SenseInfo kSequenceError{0x05, 0x2C, 0x00};     // out of order or unexpected

PassThroughOutcome Refuse(const SenseInfo& condition) {
    return PassThroughOutcome::CheckCondition(condition);
}

bool CarriesData(const ScsiRequest& request, uint32_t length) {
    return request.direction == DataDirection::Out && request.data != nullptr &&
           request.length == length;
}

uint32_t Field24(std::span<const uint8_t> cdb, size_t at) {
    return (uint32_t{cdb[at]} << 16) | (uint32_t{cdb[at + 1]} << 8) | cdb[at + 2];
}

uint32_t Field32(std::span<const uint8_t> cdb, size_t at) {
    return (uint32_t{cdb[at]} << 24) | Field24(cdb, at + 1);
}

uint16_t Field16(std::span<const uint8_t> bytes, size_t at) {
    return BigEndian16(bytes[at], bytes[at + 1]);
}

uint16_t PageSum(const uint8_t* data, uint32_t length) {
    return static_cast<uint16_t>(ByteSum(data, length));
}

// The stored form of an image: a 4-byte length word, then a zlib stream, then zero fill.
bool LooksLikeStoredForm(std::span<const uint8_t> bytes) {
    return bytes.size() >= 6 && (bytes[4] & 0x0F) == Z_DEFLATED &&
           ((bytes[4] << 8) | bytes[5]) % 31 == 0;
}

std::optional<std::vector<uint8_t>> ExpandStoredForm(std::span<const uint8_t> bytes) {
    if (!LooksLikeStoredForm(bytes)) {
        return std::nullopt;
    }
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return std::nullopt;
    }
    stream.next_in = const_cast<Bytef*>(bytes.data() + 4);
    stream.avail_in = static_cast<uInt>(bytes.size() - 4);
    std::vector<uint8_t> out;
    std::vector<uint8_t> chunk(65536);
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = chunk.data();
        stream.avail_out = static_cast<uInt>(chunk.size());
        status = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), chunk.begin(), chunk.end() - stream.avail_out);
        if (out.size() > kExpandLimit) {
            status = Z_DATA_ERROR;
        }
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) {
        return std::nullopt;
    }
    return out;
}

size_t WrittenPages(const std::vector<bool>& written, size_t first, size_t end) {
    return static_cast<size_t>(
        std::count(written.begin() + static_cast<ptrdiff_t>(std::min(first, written.size())),
                   written.begin() + static_cast<ptrdiff_t>(std::min(end, written.size())), true));
}

// The flash the drive has: the size it reports, or its device's size when it reports 0.
uint32_t FlashCapacity(const FlashSizeReply& reply) {
    const uint32_t reported = (uint32_t{reply.sizeLow} + 256u * reply.sizeHigh) * 1024u;
    if (reported != 0) {
        return reported;
    }
    switch ((reply.deviceHigh << 8) | reply.deviceLow) {
        case 0x3120:
        case 0x3220:
            return 0x20000;
        case 0x3140:
            return 0x80000;
        case 0x3180:
            return 0x40000;
        default:
            return 0;
    }
}

// One page of a signed or summed page command, numbered from 0.
struct PageCommand {
    uint32_t index;
    uint8_t count;
    uint16_t linear;
    uint16_t rotated;
    bool checkRotated;  // the whole image's rotated sum is checked as well as its linear one
};

class TransferReceiver {
public:
    TransferReceiver(TransferState& state, std::string& revision)
        : state(state), revision(revision) {}

    PassThroughOutcome SummedPage(const ScsiRequest& request);
    PassThroughOutcome SignedPage(const ScsiRequest& request);
    PassThroughOutcome Block(const ScsiRequest& request);
    PassThroughOutcome WriteBuffer(const ScsiRequest& request);
    PassThroughOutcome ReadBuffer(const ScsiRequest& request);

private:
    PassThroughOutcome AcceptPage(const ScsiRequest& request, const PageCommand& page);
    PassThroughOutcome StoreDownload(const ScsiRequest& request, size_t limit);
    PassThroughOutcome Activate();
    PassThroughOutcome Commit(uint8_t segment);
    PassThroughOutcome FlashSize(const ScsiRequest& request);
    PassThroughOutcome ReadBack(const ScsiRequest& request);
    bool InstallDownload(size_t length);
    void ClearDownload();
    bool Install(std::span<const uint8_t> received);

    TransferState& state;
    std::string& revision;
};

// An image in its stored form must expand whole; what is left then is the firmware. One
// with this project's synthetic header installs at the header's revision, one without (a
// real firmware file, opaque to the drive model) at the revision the scenario gives.
bool TransferReceiver::Install(std::span<const uint8_t> received) {
    std::optional<std::vector<uint8_t>> expanded;
    std::span<const uint8_t> image = received;
    if (!ReadFirmwareHeader(received) && LooksLikeStoredForm(received)) {
        expanded = ExpandStoredForm(received);
        if (!expanded) {
            return false;
        }
        image = *expanded;
    }
    std::string installed;
    if (const auto header = ReadFirmwareHeader(image)) {
        if (header->imageLength < kFirmwareHeaderSize || header->imageLength > image.size()) {
            return false;
        }
        installed = header->revision;
    } else if (!state.opaqueImageRevision.empty() && !image.empty()) {
        installed = state.opaqueImageRevision;
    } else {
        return false;
    }
    if (expanded) {
        state.installedImage = std::move(*expanded);
    } else {
        // Into the memory the last image took: a drive's flash is there already.
        state.installedImage.assign(image.begin(), image.end());
    }
    ++state.installs;
    revision = installed;
    return true;
}

PassThroughOutcome TransferReceiver::AcceptPage(const ScsiRequest& request,
                                                const PageCommand& page) {
    if (!CarriesData(request, kPageBytes) || page.count == 0 || page.index >= page.count) {
        return Refuse(sense::kInvalidField);
    }
    if (page.index == 0) {  // a new image begins
        // The page store is the drive's own memory, kept from one image to the next: the
        // whole image the command announces is set aside at once, not grown page by page.
        state.pages.clear();
        state.pages.reserve(size_t{page.count} * kPageBytes);
        state.pagesOpen = true;
        state.nextPage = 0;
        state.pageCount = page.count;
        state.carriedLinear = page.linear;
        state.carriedRotated = page.rotated;
        state.receivedSums = {};
    } else if (!state.pagesOpen || page.index != state.nextPage || page.count != state.pageCount ||
               page.linear != state.carriedLinear || page.rotated != state.carriedRotated) {
        state.pagesOpen = false;
        return Refuse(kSequenceError);
    }
    // Summed as it arrives, while the page is at hand.
    state.pages.insert(state.pages.end(), request.data, request.data + kPageBytes);
    state.receivedSums.Add(std::span<const uint8_t>(request.data, kPageBytes));
    if (++state.nextPage < state.pageCount) {
        return PassThroughOutcome::Good();
    }
    state.pagesOpen = false;
    const bool sumsMatch =
        state.receivedSums.Linear() == state.carriedLinear &&
        (!page.checkRotated || state.receivedSums.Rotated() == state.carriedRotated);
    return sumsMatch && Install(state.pages) ? PassThroughOutcome::Good()
                                             : Refuse(kBadParameterData);
}

// FA lin lin X X page 01 lin lin rot rot count; X is the rotated sum, or each page's own
// sum on drives that check pages one by one.
PassThroughOutcome TransferReceiver::SummedPage(const ScsiRequest& request) {
    const auto cdb = request.cdb;
    if (cdb[6] != 0x01 || Field16(cdb, 1) != Field16(cdb, 7)) {
        return Refuse(sense::kInvalidField);
    }
    const uint16_t rotated = Field16(cdb, 9);
    if (CarriesData(request, kPageBytes)) {
        const uint16_t expectedX =
            state.checksPageSums ? PageSum(request.data, kPageBytes) : rotated;
        if (Field16(cdb, 3) != expectedX) {
            state.pagesOpen = false;
            return Refuse(kBadParameterData);
        }
    }
    // Drives that check each page's sum check the image's linear sum only: their hosts sum
    // a range a little shorter than the pages they send.
    return AcceptPage(
        request, PageCommand{cdb[5], cdb[11], Field16(cdb, 1), rotated, !state.checksPageSums});
}

// FD 07 'T' 'A' 'R' 'N' pagesum pagesum lin lin page count, pages numbered from 1.
PassThroughOutcome TransferReceiver::SignedPage(const ScsiRequest& request) {
    const auto cdb = request.cdb;
    if (cdb[1] != 0x07 || std::memcmp(cdb.data() + 2, "TARN", 4) != 0 || cdb[10] == 0) {
        return Refuse(sense::kInvalidField);
    }
    if (CarriesData(request, kPageBytes) && Field16(cdb, 6) != PageSum(request.data, kPageBytes)) {
        state.pagesOpen = false;
        return Refuse(kBadParameterData);
    }
    return AcceptPage(request, PageCommand{cdb[10] - 1u, cdb[11], Field16(cdb, 8), 0, false});
}

// F2 01 opens a block session, F2 03 carries one block at a 4-byte offset with its sum in
// its last two bytes, F2 04 closes the session with the image size and installs.
PassThroughOutcome TransferReceiver::Block(const ScsiRequest& request) {
    const auto cdb = request.cdb;
    switch (cdb[1]) {
        case 0x01:
            state.blocks.clear();
            state.blockSession = true;
            return PassThroughOutcome::Good();
        case 0x03: {
            if (!CarriesData(request, kBlockWireBytes) || Field16(cdb, 8) != kBlockWireBytes) {
                return Refuse(sense::kInvalidField);
            }
            if (!state.blockSession || Field32(cdb, 2) != state.blocks.size()) {
                state.blockSession = false;
                return Refuse(kSequenceError);
            }
            const std::span<const uint8_t> block(request.data, kBlockWireBytes);
            if (Field16(block, kBlockBytes) != PageSum(request.data, kBlockBytes)) {
                return Refuse(kBadParameterData);
            }
            state.blocks.insert(state.blocks.end(), block.begin(), block.begin() + kBlockBytes);
            return PassThroughOutcome::Good();
        }
        case 0x04: {
            if (!state.blockSession || cdb[11] != 0x01) {
                return Refuse(kSequenceError);
            }
            state.blockSession = false;
            const uint32_t size = Field24(cdb, 7);
            const bool installed = size != 0 && size <= state.blocks.size() &&
                                   Install(std::span<const uint8_t>(state.blocks).first(size));
            return installed ? PassThroughOutcome::Good() : Refuse(kBadParameterData);
        }
        default:
            return Refuse(sense::kInvalidField);
    }
}

void TransferReceiver::ClearDownload() {
    state.download.clear();
    state.downloadedPages.clear();
}

// Pages land at buffer ID x 65,536 + the 24-bit buffer offset, so both the page writes
// that carry the ID in byte 2 and those that carry it in byte 3 address one flat area.
PassThroughOutcome TransferReceiver::StoreDownload(const ScsiRequest& request, size_t limit) {
    const auto cdb = request.cdb;
    const size_t address = (size_t{cdb[2]} << 16) + Field24(cdb, 3);
    const uint32_t length = Field24(cdb, 6);
    if (length != kPageBytes || !CarriesData(request, length) || address % kPageBytes != 0 ||
        address >= limit) {
        return Refuse(sense::kInvalidField);
    }
    if (state.download.size() < address + length) {
        state.download.resize(address + length);
        state.downloadedPages.resize((address + length) / kPageBytes);
    }
    std::copy_n(request.data, length, state.download.begin() + static_cast<ptrdiff_t>(address));
    state.downloadedPages[address / kPageBytes] = true;
    return PassThroughOutcome::Good();
}

// Installs download[0, length) when every page of it arrived (a flash that ends inside a
// page takes that page whole); the area is emptied either way.
bool TransferReceiver::InstallDownload(size_t length) {
    const size_t pages = (length + kPageBytes - 1) / kPageBytes;
    const bool whole = length != 0 && WrittenPages(state.downloadedPages, 0, pages) == pages;
    const bool installed = whole && Install(std::span<const uint8_t>(state.download).first(length));
    ClearDownload();
    return installed;
}

PassThroughOutcome TransferReceiver::Activate() {
    return InstallDownload(FlashCapacity(state.flashSizeReply)) ? PassThroughOutcome::Good()
                                                                : Refuse(kBadParameterData);
}

// A segment other than 0 is only checked for pages; committing segment 0 ends the image,
// which runs from address 0 to the last page written, with no page missing.
PassThroughOutcome TransferReceiver::Commit(uint8_t segment) {
    const auto& written = state.downloadedPages;
    if (segment != 0) {
        const size_t first = size_t{segment} * kPagesPerSegment;
        return WrittenPages(written, first, first + kPagesPerSegment) != 0
                   ? PassThroughOutcome::Good()
                   : Refuse(kSequenceError);
    }
    const auto last = std::find(written.rbegin(), written.rend(), true);
    const size_t pages = static_cast<size_t>(written.rend() - last);
    return InstallDownload(pages * kPageBytes) ? PassThroughOutcome::Good()
                                               : Refuse(kBadParameterData);
}

PassThroughOutcome TransferReceiver::WriteBuffer(const ScsiRequest& request) {
    const auto cdb = request.cdb;
    switch (cdb[1] & 0x1F) {
        case 0x04:
            return Activate();
        case 0x06:
            return StoreDownload(request, kDownloadLimit);
        case 0x07:
            if (request.direction == DataDirection::None && Field24(cdb, 6) == 0) {
                return Commit(cdb[3]);
            }
            return StoreDownload(request, FlashCapacity(state.flashSizeReply));
        default:
            return Refuse(sense::kInvalidField);
    }
}

PassThroughOutcome TransferReceiver::FlashSize(const ScsiRequest& request) {
    ClearDownload();  // the host asks before it starts a new image
    std::array<uint8_t, kFlashSizeReplyBytes> reply{};
    reply[0] = 0x06;
    reply[1] = 0x11;
    reply[2] = state.flashSizeReply.deviceLow;
    reply[3] = state.flashSizeReply.deviceHigh;
    reply[10] = state.flashSizeReply.sizeLow;
    reply[11] = state.flashSizeReply.sizeHigh;
    const size_t allocation = std::min<size_t>(Field24(request.cdb, 6), reply.size());
    return ReplyWith(request, std::span<const uint8_t>(reply).first(allocation));
}

PassThroughOutcome TransferReceiver::ReadBack(const ScsiRequest& request) {
    const auto cdb = request.cdb;
    const size_t address = (size_t{cdb[2]} << 16) + Field24(cdb, 3);
    const uint32_t length = Field24(cdb, 6);
    if (length == 0 || address + length > kDownloadLimit) {
        return Refuse(sense::kInvalidField);
    }
    std::vector<uint8_t> reply(length);
    if (address < state.download.size()) {
        const size_t available = std::min<size_t>(length, state.download.size() - address);
        std::copy_n(state.download.begin() + static_cast<ptrdiff_t>(address), available,
                    reply.begin());
    }
    const uint32_t number = ++state.readBacks;
    const bool corrupt =
        std::any_of(state.corruptions.begin(), state.corruptions.end(),
                    [number](const ReadBackCorruption& range) {
                        return number >= range.first &&
                               (range.count == 0 || number - range.first < range.count);
                    });
    if (corrupt) {
        reply[length / 2] ^= 0xA5;
    }
    return ReplyWith(request, reply);
}

PassThroughOutcome TransferReceiver::ReadBuffer(const ScsiRequest& request) {
    switch (request.cdb[1] & 0x1F) {
        case 0x01:
            return FlashSize(request);
        case 0x02:
            return ReadBack(request);
        default:
            return Refuse(sense::kInvalidField);
    }
}

}  // namespace

PassThroughOutcome VirtualDrive::HandleTransfer(const ScsiRequest& request) {
    if (request.cdb.size() < CdbLength(request.cdb[0])) {
        return Refuse(sense::kInvalidField);
    }
    TransferReceiver receiver(transfer, revision);
    switch (request.cdb[0]) {
        case 0xFA:
            return receiver.SummedPage(request);
        case 0xFD:
            return receiver.SignedPage(request);
        case 0xF2:
            return receiver.Block(request);
        case 0x3B:
            return receiver.WriteBuffer(request);
        case 0x3C:
            return receiver.ReadBuffer(request);
        default:
            return Refuse(sense::kInvalidOpcode);
    }
}

}  // namespace flashtool
