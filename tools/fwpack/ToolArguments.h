#pragma once

// The build tools' command lines: input files, "-o PATH" for what they write, "--images
// DIR" for where fwpack leaves the firmware it packed, and fwpack's "--check" (every check,
// nothing packed) with "--describe FILE" (what CMake reads of a checked build).

#include <string>
#include <vector>

namespace flashtool {

struct ToolArguments {
    std::vector<std::string> inputs;
    std::string output;         // empty when -o was not given
    std::string imagesDir;      // empty when --images was not given
    bool check = false;         // --check
    std::string describeFile;   // empty when --describe was not given
    std::string unknownOption;  // the first other argument that starts with '-'
};

inline ToolArguments SplitToolArguments(int argc, char** argv) {
    ToolArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-o" && i + 1 < argc) {
            arguments.output = argv[++i];
        } else if (argument == "--images" && i + 1 < argc) {
            arguments.imagesDir = argv[++i];
        } else if (argument == "--check") {
            arguments.check = true;
        } else if (argument == "--describe" && i + 1 < argc) {
            arguments.describeFile = argv[++i];
        } else if (!argument.empty() && argument[0] == '-') {
            if (arguments.unknownOption.empty()) {
                arguments.unknownOption = argument;
            }
        } else {
            arguments.inputs.push_back(argument);
        }
    }
    return arguments;
}

}  // namespace flashtool
