// fwsynth: writes a deterministic synthetic firmware image from a small description of
// "name value" lines: revision, family, length, seed, code-size.
//
//   fwsynth DESCRIPTION -o IMAGE

#include <cstdio>
#include <map>
#include <string>

#include "tools/fwpack/FileIo.h"
#include "tools/fwpack/SyntheticFirmware.h"
#include "tools/fwpack/TextRecords.h"

namespace {

using namespace flashtool;

int Fail(const std::string& message) {
    std::fprintf(stderr, "fwsynth: error: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::string(argv[2]) != "-o") {
        std::fprintf(stderr, "usage: fwsynth DESCRIPTION -o IMAGE\n");
        return 2;
    }
    const std::string path = argv[1];
    const auto bytes = ReadWholeFile(path);
    if (!bytes) {
        return Fail(path + ": cannot read the file");
    }
    const TextRecords records = ParseTextRecords(std::string(bytes->begin(), bytes->end()), path);
    if (!records.error.empty()) {
        return Fail(records.error);
    }
    SyntheticFirmwareParameters parameters;
    std::map<std::string, uint64_t> numbers;
    for (const TextRecord& record : records.records) {
        if (record.columns.size() != 2) {
            return Fail(RecordError(path, record.line, "expected a name and one value"));
        }
        const std::string& name = record.columns[0];
        const std::string& value = record.columns[1];
        if (name == "revision" && value.size() == 4) {
            parameters.revision = value;
        } else if (name == "family" && !value.empty() && value.size() <= 8) {
            parameters.family = value;
        } else if (name == "length" || name == "seed" || name == "code-size") {
            const auto number = ParseNumber(value);
            if (!number || (name != "seed" && *number > 0x200000)) {
                return Fail(RecordError(path, record.line, name + " is not a number in range"));
            }
            numbers[name] = *number;
        } else {
            return Fail(RecordError(path, record.line, "unknown name or malformed value: " + name));
        }
    }
    if (parameters.revision.empty() || parameters.family.empty() || numbers.size() != 3) {
        return Fail(path + ": revision, family, length, seed and code-size are all required");
    }
    parameters.length = static_cast<uint32_t>(numbers["length"]);
    parameters.seed = numbers["seed"];
    parameters.codeSize = static_cast<uint32_t>(numbers["code-size"]);
    const std::vector<uint8_t> image = GenerateSyntheticFirmware(parameters);
    if (!WriteFileAtomically(argv[3], image)) {
        return Fail(std::string(argv[3]) + ": cannot write the image");
    }
    return 0;
}
