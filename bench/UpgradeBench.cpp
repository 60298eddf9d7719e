// The host-side cost of this build's whole upgrade on a virtual drive with no latency and
// the fake clock (the checks, staging and the payload check, decompression, 128 page
// commands), beside the least work any implementation must do for the same upgrade: one
// expansion of payload B, both sums over the staged and the expanded bytes, one copy of
// the 2 MB sent. Both are timed in real time and in the process's CPU time: the run is on
// the dialog's worker thread, which the main thread's CPU time would leave out.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "app/FlashDialog.h"
#include "bench/BenchMain.h"
#include "core/Bytes.h"
#include "data/EmbeddedRegion.h"
#include "emulator/EmulatedBackend.h"
#include "image/Checksums.h"
#include "image/FirmwareImage.h"
#include "image/ImageLayout.h"
#include "support/DriveChanges.h"
#include "support/FakeDialogWindow.h"
#include "support/FakeInhibitor.h"
#include "support/FakeRestart.h"

namespace flashtool {
namespace {

class NullDiagnostics final : public DiagnosticSink {
public:
    void Write(std::string_view) override {}
};

struct UpgradeBench {
    testing::FakeDialogWindow window;
    NullDiagnostics diagnostics;
    FakeClock clock;
    testing::FakeRestart restart;
    testing::FakeInhibitor inhibitor;
    std::shared_ptr<VirtualDrive> drive = std::make_shared<VirtualDrive>(
        VirtualDriveSetup{"ORIN    DVD RW QV-5500A ", "1.0d", "ORIN      QZ", false});
    FlashDialog dialog{
        FlashDialogParts{window, std::make_unique<EmulatedBackend>(std::vector{drive}, diagnostics),
                         EmbeddedStoredRegion(), restart, clock, diagnostics, inhibitor}};

    // Start-up as the operator sees it: the notice accepted, the scan's worker done (the
    // tree is filled only then), the drive selected.
    UpgradeBench() {
        window.answers.push_back(BoxAnswer::Ok);
        dialog.OnInitDialog();
        dialog.WaitForRun();
        SelectDrive();
    }
    void SelectDrive() {
        window.SelectDrive(0);
        dialog.OnSelectionChanged();
    }
    // The drive as it came from the factory again, found by a new scan and selected, with
    // an empty log: after a run the tree shows the drive's new revision, and a second press
    // would be another upgrade (the "already the most updated" question first). The drive
    // and the dialog stay: what they set aside for one image serves the next, as the floor's
    // buffers serve every one of its iterations.
    void BackToFactory() {
        drive->SetRevision("1.0d");
        window.log.clear();
        dialog.FillDriveTree();
        SelectDrive();
    }
    // One press of Upgrade: the confirmation, the success box, no restart. Complete when
    // the bar is full, the success box was shown, every page went to the drive and the
    // drive reports the new revision; how many other commands the checks and the refresh
    // after the run send is the program's business, not what makes an upgrade.
    bool Upgrade() {
        window.answers = {BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel};
        window.boxes.clear();
        drive->ClearTrace();
        dialog.OnUpgrade();
        dialog.WaitForRun();
        const bool succeeded =
            window.boxes.size() == 3 && window.boxes[1].request.icon == BoxIcon::Information;
        return window.progress == 100 && succeeded && drive->Revision() == "1.0e" &&
               testing::CountDriveChanges(drive->Trace()) == kMaxPageCount;
    }
};

void BM_WholeUpgrade(benchmark::State& state) {
    UpgradeBench bench;
    // One press before the timing, so that every timed press finds the memory the one
    // before it used, as every iteration of the floor does. The scan between presses is
    // not timed.
    bool complete = bench.Upgrade();
    for (auto _ : state) {
        state.PauseTiming();
        bench.BackToFactory();
        state.ResumeTiming();
        complete = complete && bench.Upgrade();
        if (!complete) {
            state.SkipWithError("the upgrade did not complete");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kImageBufferSize));
}
BENCHMARK(BM_WholeUpgrade)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_UpgradeFloor(benchmark::State& state) {
    const auto region = EmbeddedStoredRegion();
    const auto config = *BuildConfig::FromBytes(region);
    const auto header = *PayloadHeader::FromBytes(region.subspan(kPayloadHeaderOffset));
    const auto selection = SelectPayload(kVariantOrin7250, config, header);
    const auto staged = region.subspan(selection.first, selection.length);
    const uint32_t streamSize = *LittleEndian32At(staged, 0);
    std::vector<uint8_t> expanded(kImageBufferSize);
    std::vector<uint8_t> sent(kImageBufferSize);
    for (auto _ : state) {
        RunningSums stagedSums;
        stagedSums.Add(staged);
        uLongf size = static_cast<uLongf>(expanded.size());
        if (uncompress(expanded.data(), &size, staged.data() + kStreamLengthSize, streamSize) !=
            Z_OK) {
            state.SkipWithError("payload B did not expand");
            break;
        }
        RunningSums expandedSums;
        expandedSums.Add(std::span(expanded).first(size));
        std::memcpy(sent.data(), expanded.data(), size);
        benchmark::DoNotOptimize(stagedSums);
        benchmark::DoNotOptimize(expandedSums);
        benchmark::DoNotOptimize(sent.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kImageBufferSize));
}
BENCHMARK(BM_UpgradeFloor)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
}  // namespace flashtool

int main(int argc, char** argv) {
    return flashtool::RunBenchmarks(argc, argv);
}
