#pragma once

// The back-end's received trace: a file written line by line and flushed at once, so that
// whoever reads it (the rig, the guest through its share) sees every command that has
// completed.

#include <cstdio>
#include <string>
#include <string_view>

#include "core/Diagnostics.h"

namespace flashtool {

class TraceFile final : public DiagnosticSink {
public:
    TraceFile() = default;
    ~TraceFile() override {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    bool Open(const std::string& path) {
        file = std::fopen(path.c_str(), "we");
        return file != nullptr;
    }
    void Write(std::string_view text) override {
        if (file != nullptr) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fflush(file);
        }
    }

private:
    std::FILE* file = nullptr;
};

}  // namespace flashtool
