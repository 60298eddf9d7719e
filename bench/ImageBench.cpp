// The costs of a flash run's image work on this build's payload B (917,504 stored bytes
// expanding to 2,097,152), each beside the operation that bounds it.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "bench/BenchMain.h"
#include "core/Bytes.h"
#include "data/EmbeddedRegion.h"
#include "image/Checksums.h"
#include "image/FirmwareImage.h"
#include "image/ImageLayout.h"
#include "policy/GatingState.h"

namespace flashtool {
namespace {

struct PayloadB {
    std::span<const uint8_t> region = EmbeddedStoredRegion();
    PayloadSelection selection;
    std::span<const uint8_t> bytes;

    PayloadB() {
        const auto config = BuildConfig::FromBytes(region).value();
        const auto header = PayloadHeader::FromBytes(region.subspan(kPayloadHeaderOffset)).value();
        selection = SelectPayload(kVariantOrin7250, config, header);
        bytes = region.subspan(selection.first, selection.length);
    }
};

const PayloadB& Payload() {
    static const PayloadB payload;
    return payload;
}

void BM_InflatePayload(benchmark::State& state) {
    FirmwareImage image;
    image.StagePayload(Payload().region, Payload().selection);
    for (auto _ : state) {
        const uint8_t pages = image.InflatePayload(Payload().selection.storedPageCount);
        if (pages != kMaxPageCount) {
            state.SkipWithError("payload B did not expand to 128 pages");
            break;
        }
        benchmark::DoNotOptimize(image.WorkBuffer().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kImageBufferSize));
}
BENCHMARK(BM_InflatePayload)->Unit(benchmark::kMillisecond);

void BM_ZlibUncompress(benchmark::State& state) {
    const auto bytes = Payload().bytes;
    const uint32_t streamSize = *LittleEndian32At(bytes, 0);
    std::vector<uint8_t> out(kImageBufferSize);
    for (auto _ : state) {
        uLongf outSize = static_cast<uLongf>(out.size());
        if (uncompress(out.data(), &outSize, bytes.data() + kStreamLengthSize, streamSize) !=
            Z_OK) {
            state.SkipWithError("uncompress failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kImageBufferSize));
}
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond);

void BM_StagePayload(benchmark::State& state) {
    FirmwareImage image;
    for (auto _ : state) {
        auto sums = image.StagePayload(Payload().region, Payload().selection);
        benchmark::DoNotOptimize(sums);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Payload().bytes.size()));
}
BENCHMARK(BM_StagePayload)->Unit(benchmark::kMicrosecond);

void BM_RotatedSum(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(RotatedSum(Payload().bytes));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Payload().bytes.size()));
}
BENCHMARK(BM_RotatedSum)->Unit(benchmark::kMicrosecond);

void BM_LinearSum(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(LinearSum(Payload().bytes));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Payload().bytes.size()));
}
BENCHMARK(BM_LinearSum)->Unit(benchmark::kMicrosecond);

// Page by page, as transfer methods 1 and 2 use it.
void BM_ByteSum(benchmark::State& state) {
    const auto bytes = Payload().bytes;
    for (auto _ : state) {
        uint32_t total = 0;
        for (size_t page = 0; page + kPageSize <= bytes.size(); page += kPageSize) {
            total += ByteSum(bytes.data() + page, kPageSize);
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ByteSum)->Unit(benchmark::kMicrosecond);

void BM_Memcpy(benchmark::State& state) {
    const auto bytes = Payload().bytes;
    std::vector<uint8_t> out(bytes.size());
    for (auto _ : state) {
        std::memcpy(out.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace flashtool

int main(int argc, char** argv) {
    return flashtool::RunBenchmarks(argc, argv);
}
