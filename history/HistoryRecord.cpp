#include "history/HistoryRecord.h"

#include <zlib.h>

#include <array>
#include <utility>

#include "core/Format.h"
#include "history/ByteJson.h"

namespace flashtool {

namespace {

constexpr int kFormatVersion = 1;
// Every line ends with this member, the CRC-32 of the bytes before it in eight lower-case
// hex digits, then the object's closing brace.
constexpr std::string_view kCheckName = ",\"crc32\":\"";
constexpr size_t kCheckLength = kCheckName.size() + 8 + 2;  // digits, quote, brace

constexpr std::array kEndings{
    std::pair{RunEndingKind::NothingSent, std::string_view("nothingSent")},
    std::pair{RunEndingKind::Refused, std::string_view("refused")},
    std::pair{RunEndingKind::UpToDate, std::string_view("upToDate")},
    std::pair{RunEndingKind::Failed, std::string_view("failed")},
    std::pair{RunEndingKind::NotConfirmed, std::string_view("notConfirmed")},
    std::pair{RunEndingKind::Updated, std::string_view("updated")},
};
constexpr std::array kAfters{
    std::pair{RevisionAfterRun::NotRead, std::string_view("notRead")},
    std::pair{RevisionAfterRun::New, std::string_view("new")},
    std::pair{RevisionAfterRun::Old, std::string_view("old")},
    std::pair{RevisionAfterRun::Other, std::string_view("other")},
    std::pair{RevisionAfterRun::Unreadable, std::string_view("unreadable")},
    std::pair{RevisionAfterRun::Same, std::string_view("same")},
};
constexpr std::array kKinds{
    std::pair{HistoryRecordKind::Run, std::string_view("run")},
    std::pair{HistoryRecordKind::Resolution, std::string_view("resolution")},
    std::pair{HistoryRecordKind::Begun, std::string_view("begun")},
};

template <typename Table, typename Value>
std::string_view NameIn(const Table& table, Value value) {
    for (const auto& [v, name] : table) {
        if (v == value) {
            return name;
        }
    }
    return table[0].second;
}

template <typename Table>
auto ValueIn(const Table& table, std::string_view name) -> std::optional<decltype(table[0].first)> {
    for (const auto& [v, n] : table) {
        if (n == name) {
            return v;
        }
    }
    return std::nullopt;
}

// A text field as written: no longer than the reader takes (a node's name, a version; the
// drive's own texts are far shorter), so that a record written always reads back.
std::string Field(std::string_view text) {
    return std::string(text.substr(0, kMaxJsonStringLength));
}

uint32_t Crc32(std::string_view bytes) {
    return static_cast<uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// The member `name` when it is what `is` asks for; null when it is missing or something else.
const JsonValue* Member(const JsonValue& object, std::string_view name,
                        bool (JsonValue::*is)() const noexcept) {
    const auto found = object.find(name);
    return found != object.end() && ((*found).*is)() ? &*found : nullptr;
}

bool ReadString(const JsonValue& object, std::string_view name, std::string& out) {
    const JsonValue* value = Member(object, name, &JsonValue::is_string);
    if (value == nullptr) {
        return false;
    }
    out = value->get_ref<const std::string&>();
    return true;
}

}  // namespace

std::string_view EndingFileName(RunEndingKind kind) {
    return NameIn(kEndings, kind);
}
std::string_view AfterFileName(RevisionAfterRun after) {
    return NameIn(kAfters, after);
}

std::string HistoryLine(const HistoryRecord& record) {
    JsonValue line = {{"v", kFormatVersion},
                      {"kind", NameIn(kKinds, record.kind)},
                      {"time", Field(record.time)},
                      {"program", Field(record.programVersion)},
                      {"firmware", Field(record.firmwareRevision)},
                      {"identification", Field(record.identification)},
                      {"node", Field(record.node)}};
    // Written only where known, so that a line without them is the first version's.
    for (const auto& [name, text] :
         {std::pair{"serial", &record.serial}, std::pair{"place", &record.place}}) {
        if (!text->empty()) {
            line[name] = Field(*text);
        }
    }
    line["before"] = Field(record.revisionBefore);
    line["ending"] = EndingFileName(record.ending);
    line["code"] = record.code ? JsonValue(static_cast<int32_t>(*record.code)) : JsonValue();
    line["after"] = AfterFileName(record.after);
    line["revisionAfter"] = Field(record.revisionAfter);
    // The check follows the last member, inside the object: the body is the text before the
    // closing brace.
    std::string body = JsonLine(line, JsonSpacing::Compact);
    body.pop_back();
    return body + std::string(kCheckName) + FormatText("%08x\"}\n", Crc32(body));
}

std::optional<HistoryRecord> ParseHistoryLine(std::string_view line) {
    if (line.size() <= kCheckLength || line.size() > kMaxJsonObjectLength) {
        return std::nullopt;
    }
    const std::string_view body = line.substr(0, line.size() - kCheckLength);
    const std::string_view check = line.substr(body.size());
    if (check.substr(0, kCheckName.size()) != kCheckName ||
        check.substr(check.size() - 2) != "\"}" ||
        check.substr(kCheckName.size(), 8) != FormatText("%08x", Crc32(body))) {
        return std::nullopt;
    }
    // The check holds: the line is as it was written. It is still read with every bound, since
    // another program's (or a later version's) line may carry a good check too.
    const std::optional<JsonValue> object = ParseFlatJsonObject(std::string(body) + "}");
    if (!object) {
        return std::nullopt;
    }
    const JsonValue* version = Member(*object, "v", &JsonValue::is_number_integer);
    if (version == nullptr || version->get<int64_t>() != kFormatVersion) {
        return std::nullopt;
    }
    HistoryRecord record;
    std::string kind;
    std::string ending;
    std::string after;
    if (!ReadString(*object, "kind", kind) || !ReadString(*object, "time", record.time) ||
        !ReadString(*object, "program", record.programVersion) ||
        !ReadString(*object, "firmware", record.firmwareRevision) ||
        !ReadString(*object, "identification", record.identification) ||
        !ReadString(*object, "node", record.node) ||
        !ReadString(*object, "before", record.revisionBefore) ||
        !ReadString(*object, "ending", ending) || !ReadString(*object, "after", after) ||
        !ReadString(*object, "revisionAfter", record.revisionAfter)) {
        return std::nullopt;
    }
    // Absent from the lines of earlier programs; present, they must be texts.
    for (const auto& [name, text] :
         {std::pair{"serial", &record.serial}, std::pair{"place", &record.place}}) {
        if (object->contains(name) && !ReadString(*object, name, *text)) {
            return std::nullopt;
        }
    }
    const auto recordKind = ValueIn(kKinds, kind);
    const auto endingKind = ValueIn(kEndings, ending);
    const auto afterKind = ValueIn(kAfters, after);
    if (!recordKind || !endingKind || !afterKind) {
        return std::nullopt;
    }
    record.kind = *recordKind;
    record.ending = *endingKind;
    record.after = *afterKind;
    if (const JsonValue* code = Member(*object, "code", &JsonValue::is_number_integer)) {
        record.code = static_cast<ResultCode>(code->get<int64_t>());
    } else if (Member(*object, "code", &JsonValue::is_null) == nullptr) {
        return std::nullopt;
    }
    return record;
}

std::string HistoryTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(time);
    const auto day = floor<days>(seconds);
    const year_month_day date(day);
    const hh_mm_ss clock(seconds - day);
    return FormatText("%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                      static_cast<int>(clock.hours().count()),
                      static_cast<int>(clock.minutes().count()),
                      static_cast<int>(clock.seconds().count()));
}

}  // namespace flashtool
