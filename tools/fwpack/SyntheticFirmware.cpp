#include "tools/fwpack/SyntheticFirmware.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/Bytes.h"
#include "image/FirmwareHeader.h"

namespace flashtool {

namespace {

// splitmix64: small, fast, and the same on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
    // Small values far more often than large ones, as in real operands.
    uint32_t Skewed(uint32_t bound) { return std::min(Below(bound), Below(bound)); }

private:
    uint64_t state;
};

constexpr uint32_t kCodeBase = 0x00010000;
constexpr size_t kVectorCount = 256;
constexpr size_t kTextArea = 12 * 1024;
constexpr size_t kTableArea = 24 * 1024;

class Writer {
public:
    Writer(std::vector<uint8_t>& image, size_t begin, size_t end)
        : image(image), at(begin), end(end) {}
    bool Full() const { return at >= end; }
    size_t Position() const { return at; }
    void Byte(uint8_t value) {
        if (at < end) {
            image[at++] = value;
        }
    }
    void Half(uint32_t value) {
        Byte(static_cast<uint8_t>(value));
        Byte(static_cast<uint8_t>(value >> 8));
    }
    void Word(uint32_t value) {
        Half(value & 0xFFFF);
        Half(value >> 16);
    }
    // Repeats `count` bytes from `distance` back, as a macro expanded in many places does.
    void Repeat(size_t distance, size_t count) {
        for (size_t i = 0; i < count && distance <= at; ++i) {
            Byte(image[at - distance]);
        }
    }

private:
    std::vector<uint8_t>& image;
    size_t at;
    size_t end;
};

// One instruction of a 16-bit instruction set: immediates, loads and stores, register
// operations, branches, long calls into a fixed set of functions.
void Instruction(Writer& out, Random& random, const std::vector<uint32_t>& functions) {
    const uint32_t kind = random.Below(100);
    const uint32_t rd = random.Skewed(8);
    const uint32_t rs = random.Skewed(8);
    if (kind < 32) {
        constexpr std::array<uint32_t, 4> kOps = {0x2000, 0x2800, 0x3000, 0x3800};
        out.Half(kOps[random.Skewed(4)] | (rd << 8) | random.Skewed(256));
    } else if (kind < 56) {
        constexpr std::array<uint32_t, 4> kOps = {0x6800, 0x6000, 0x7800, 0x8800};
        out.Half(kOps[random.Skewed(4)] | (random.Skewed(32) << 6) | (rs << 3) | rd);
    } else if (kind < 76) {
        out.Half(0x4000 | (random.Skewed(16) << 6) | (rs << 3) | rd);
    } else if (kind < 86) {
        out.Half(0xD000 | (random.Below(14) << 8) | random.Below(256));
    } else if (kind < 93) {
        const uint32_t target = functions[random.Skewed(static_cast<uint32_t>(functions.size()))];
        const uint32_t offset = (target - kCodeBase - static_cast<uint32_t>(out.Position())) >> 1;
        out.Half(0xF000 | ((offset >> 11) & 0x7FF));
        out.Half(0xF800 | (offset & 0x7FF));
    } else {
        out.Half(0x4800 | (rd << 8) | random.Skewed(64));
    }
}

void Function(Writer& out, Random& random, const std::vector<uint32_t>& functions) {
    out.Half(0xB5F0 | random.Skewed(16));  // push {r4-r7, lr}
    if (random.Below(3) == 0) {
        out.Half(0xB080 | random.Skewed(32));  // sub sp, #n
    }
    const uint32_t length = 8 + random.Below(48);
    for (uint32_t i = 0; i < length && !out.Full(); ++i) {
        if (random.Below(12) == 0) {
            out.Repeat(2 * (16 + random.Below(2048)), 8 + 2 * random.Below(12));
        } else {
            Instruction(out, random, functions);
        }
    }
    out.Half(0xBDF0);  // pop {r4-r7, pc}
    if (random.Below(4) == 0) {
        const uint32_t pool = 1 + random.Below(6);
        for (uint32_t i = 0; i < pool; ++i) {
            const bool peripheral = random.Below(2) == 0;
            out.Word(peripheral ? 0x40000000 | (random.Skewed(64) << 8) | (random.Skewed(64) << 2)
                                : functions[random.Below(static_cast<uint32_t>(functions.size()))]);
        }
    }
}

void Texts(Writer& out, Random& random) {
    constexpr std::array<std::string_view, 24> kWords = {
        "servo",  "focus",       "tracking", "laser", "power", "tray",  "spindle", "sled",
        "error",  "retry",       "timeout",  "disc",  "layer", "write", "read",    "verify",
        "buffer", "calibration", "table",    "init",  "done",  "fail",  "mode",    "speed"};
    while (!out.Full()) {
        const uint32_t words = 2 + random.Below(5);
        for (uint32_t i = 0; i < words; ++i) {
            for (const char c : kWords[random.Skewed(kWords.size())]) {
                out.Byte(static_cast<uint8_t>(c));
            }
            out.Byte(i + 1 < words ? ' ' : 0);
        }
    }
}

void Tables(Writer& out, Random& random) {
    while (!out.Full()) {
        const uint32_t steps = 64 + random.Below(192);
        int32_t value = static_cast<int32_t>(random.Below(4096));
        const int32_t slope = static_cast<int32_t>(random.Below(33)) - 16;
        for (uint32_t i = 0; i < steps; ++i) {
            value += slope + static_cast<int32_t>(random.Below(5)) - 2;
            out.Half(static_cast<uint32_t>(value) & 0xFFFF);
        }
    }
}

}  // namespace

std::vector<uint8_t> GenerateSyntheticFirmware(const SyntheticFirmwareParameters& parameters) {
    std::vector<uint8_t> image(parameters.length, 0xFF);
    if (parameters.length < kFirmwareHeaderSize) {
        return image;
    }
    std::fill_n(image.begin(), kFirmwareHeaderSize, 0);
    std::copy(kFirmwareMagic.begin(), kFirmwareMagic.end(), image.begin());
    std::copy_n(parameters.revision.begin(), std::min<size_t>(parameters.revision.size(), 4),
                image.begin() + 8);
    std::copy_n(parameters.family.begin(), std::min<size_t>(parameters.family.size(), 8),
                image.begin() + 12);
    StoreLittleEndian32(image, 20, parameters.length);

    Random random(parameters.seed);
    // Call targets depend on the image length only, so that images of one seed and length
    // stay equal up to the end of the shorter code area.
    std::vector<uint32_t> functions(2048);
    for (uint32_t& address : functions) {
        address = kCodeBase + 2 * random.Below(std::max<uint32_t>(parameters.length / 3, 1)) + 1;
    }
    const size_t vectors = std::min(kFirmwareHeaderSize + 4 * kVectorCount, image.size());
    Writer vectorTable(image, kFirmwareHeaderSize, vectors);
    for (size_t i = 0; i < kVectorCount; ++i) {
        vectorTable.Word(random.Below(3) == 0 ? functions[random.Below(64)] : functions[0]);
    }
    const size_t codeEnd = std::min(vectors + parameters.codeSize, image.size());
    Writer code(image, vectors, codeEnd);
    while (!code.Full()) {
        Function(code, random, functions);
    }
    const size_t textEnd = std::min(codeEnd + kTextArea, image.size());
    Writer texts(image, codeEnd, textEnd);
    Texts(texts, random);
    Writer tables(image, textEnd, std::min(textEnd + kTableArea, image.size()));
    Tables(tables, random);
    return image;
}

}  // namespace flashtool
