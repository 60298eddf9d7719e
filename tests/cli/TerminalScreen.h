#pragma once

// What a terminal of a given width makes of the command line's output: the rows that
// scrolled by (a line longer than the width wraps onto the next row, as a terminal wraps
// it), and every text that was left on the current row and then taken back (the status
// line's drawings). Understands what the program writes: printable ASCII, CR, LF (CR LF from
// a pty), and ESC [ K (erase to the end of the row).

#include <string>
#include <string_view>
#include <vector>

namespace flashtool::testing {

struct Rendering {
    std::vector<std::string> rows;     // scrolled by, in order; the last is the cursor's row
    std::vector<std::string> drawn;    // texts left on a row, then returned over (status lines)
    std::vector<std::string> unknown;  // control sequences this screen does not know
};

inline Rendering Render(std::string_view output, size_t columns) {
    Rendering screen;
    std::string row;
    std::string tail;  // written since the last line feed or erase
    size_t column = 0;
    auto newLine = [&] {
        screen.rows.push_back(row);
        row.clear();
        tail.clear();
        column = 0;
    };
    for (size_t at = 0; at < output.size(); ++at) {
        const char c = output[at];
        if (c == '\r' && at + 1 < output.size() && output[at + 1] == '\n') {
            continue;  // a pty's CR LF is one line feed
        }
        if (c == '\n') {
            newLine();
        } else if (c == '\r') {
            if (!tail.empty()) {
                screen.drawn.push_back(tail);
            }
            tail.clear();
            column = 0;
        } else if (c == '\x1b') {
            if (output.substr(at, 3) == "\x1b[K") {
                row.resize(std::min(row.size(), column));
                tail.clear();
                at += 2;
            } else {
                screen.unknown.emplace_back(output.substr(at, 4));
            }
        } else {
            if (column == columns) {  // the terminal wraps the line onto the next row
                const std::string kept = tail;
                newLine();
                tail = kept;
            }
            if (column < row.size()) {
                row[column] = c;
            } else {
                row.push_back(c);
            }
            tail.push_back(c);
            ++column;
        }
    }
    if (!tail.empty()) {
        screen.drawn.push_back(tail);
    }
    screen.rows.push_back(row);
    return screen;
}

// What a status line of several drives holds, and of one.
inline bool LooksLikeStatus(const std::string& text) {
    return text.find(" writing, ") != std::string::npos || text.find(" pages") != std::string::npos;
}

// The texts of `texts` that a status line left behind (rows), or that are not narrower than
// the terminal (drawings, which would wrap): empty when the terminal showed it right.
inline std::vector<std::string> StatusIn(const std::vector<std::string>& rows) {
    std::vector<std::string> found;
    for (const std::string& row : rows) {
        if (LooksLikeStatus(row)) {
            found.push_back(row);
        }
    }
    return found;
}
inline std::vector<std::string> NotNarrowerThan(const std::vector<std::string>& drawn,
                                                size_t columns) {
    std::vector<std::string> found;
    for (const std::string& line : drawn) {
        if (line.size() >= columns) {
            found.push_back(line);
        }
    }
    return found;
}

}  // namespace flashtool::testing
