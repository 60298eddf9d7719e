// --history: the history of runs, as text or as one JSON document, printed a record at a
// time. It only reads, so it runs beside a copy that updates a drive, and a history of any
// length is printed in bounded memory: a first reading learns which runs are pending and
// which marks stand alone, a second one, up to where the first stopped, prints.

#include "app/cli/DriveSession.h"
#include "app/cli/JsonText.h"
#include "core/Format.h"
#include "history/HistoryFormat.h"

namespace flashtool {

namespace {

// Output gathered into blocks of a bounded size before it is written.
class BlockWriter {
public:
    explicit BlockWriter(DiagnosticSink& out) : out(out) {}
    ~BlockWriter() { Flush(); }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    void Write(const std::string& text) {
        block += text;
        if (block.size() >= kBlockSize) {
            Flush();
        }
    }
    void Flush() {
        if (!block.empty()) {
            out.Write(block);
            block.clear();
        }
    }

private:
    static constexpr size_t kBlockSize = 64 * 1024;
    DiagnosticSink& out;
    std::string block;
};

// The records a second reading hands on, printed as they come.
struct Printed {
    size_t skipped = 0;
    std::string error;
    bool any = false;  // whether a record was shown
};

Printed PrintRecords(const HistoryStore& store, bool json, BlockWriter& writer) {
    PendingTracker tracker;
    const HistoryReading first = store.Read([&](const HistoryRecord& r) { tracker.Add(r); });
    if (!first.error.empty()) {
        return {first.skipped, first.error, false};
    }
    uint64_t index = 0;
    bool any = false;
    const HistoryReading second = store.Read(
        [&](const HistoryRecord& record) {
            const std::string shown = json ? HistoryJsonObject(record, index, tracker)
                                           : HistoryTextLine(record, index, tracker);
            ++index;
            if (!shown.empty()) {
                writer.Write(json ? (any ? ",\n  " : "\n  ") + shown : shown);
                any = true;
            }
        },
        first.end);
    if (!json && second.error.empty()) {
        writer.Write(HistoryTextEnd(second.records, second.skipped));
    }
    return {second.skipped, second.error, any};
}

}  // namespace

std::string HistoryDocumentHead(const BuildConfig& config) {
    return DocumentHead(
        {{"action", "history"}, {"build", BuildJson(config.TargetId(), config.NewRevision())}},
        "records");
}

std::string HistoryDocumentTail(size_t skipped, int status, const std::optional<std::string>& error,
                                bool any) {
    return DocumentTail({{"skipped", skipped},
                         {"exitStatus", status},
                         {"error", error ? JsonValue(*error) : JsonValue()}},
                        any);
}

std::string HistoryDocumentJson(const std::vector<std::string>& records, size_t skipped, int status,
                                const std::optional<std::string>& error,
                                const BuildConfig& config) {
    std::string text = HistoryDocumentHead(config);
    for (size_t n = 0; n < records.size(); ++n) {
        text += (n == 0 ? "\n  " : ",\n  ") + records[n];
    }
    return text + HistoryDocumentTail(skipped, status, error, !records.empty());
}

int ShowHistory(const CliOptions& options, CliEnvironment& environment) {
    const BuildConfig config = ThisBuild(environment);
    if (environment.history == nullptr) {
        const std::string error = "no history is kept here (no place for it could be found)";
        environment.err.Write(environment.program + ": " + error + "\n");
        if (options.json) {
            environment.out.Write(HistoryDocumentJson({}, 0, kExitUsage, error, config));
        }
        return kExitUsage;
    }
    Printed printed;
    {
        BlockWriter writer(environment.out);
        if (options.json) {
            writer.Write(HistoryDocumentHead(config));
        }
        printed = PrintRecords(*environment.history, options.json, writer);
        if (options.json) {
            writer.Write(HistoryDocumentTail(
                printed.skipped, printed.error.empty() ? kExitUpdated : kExitUsage,
                printed.error.empty() ? std::nullopt : std::optional(printed.error), printed.any));
        }
    }
    if (!printed.error.empty()) {
        environment.err.Write(environment.program + ": the history (" +
                              PathText(environment.history->File()) +
                              ") could not be read: " + printed.error + "\n");
        return kExitUsage;
    }
    if (options.json && printed.skipped > 0) {
        environment.err.Write(
            environment.program +
            FormatText(": %zu damaged line(s) of the history skipped\n", printed.skipped));
    }
    return kExitUpdated;
}

}  // namespace flashtool
