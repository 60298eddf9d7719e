// libFuzzer target: the history's reader. Any bytes as a history file, and any bytes as the
// body of a line given a good check (so that the object reader and the members' checks are
// reached, not only the check). The reader must stay within its text, keep every record it
// accepts within the bounds, and a record it accepts must write back to a line that reads as
// the same record.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "history/HistoryStore.h"

using namespace flashtool;

namespace {

void CheckRecord(const HistoryRecord& record) {
    for (const std::string* text :
         {&record.time, &record.programVersion, &record.firmwareRevision, &record.identification,
          &record.node, &record.revisionBefore, &record.revisionAfter}) {
        if (text->size() > kMaxJsonStringLength) {
            std::abort();
        }
    }
    std::string line = HistoryLine(record);
    line.pop_back();
    if (ParseHistoryLine(line) != record) {
        std::abort();  // a record that does not survive its own line
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const HistoryContents contents = ParseHistory(bytes);
    for (const HistoryRecord& record : contents.records) {
        CheckRecord(record);
    }

    const auto crc = crc32(0L, data, static_cast<uInt>(size));
    char check[32];
    std::snprintf(check, sizeof check, ",\"crc32\":\"%08lx\"}", static_cast<unsigned long>(crc));
    if (const std::optional<HistoryRecord> record = ParseHistoryLine(std::string(bytes) + check)) {
        CheckRecord(*record);
    }
    return 0;
}
