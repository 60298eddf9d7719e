#include "tools/fwpack/ProductTables.h"

#include <algorithm>
#include <map>
#include <optional>

#include "tools/fwpack/TextRecords.h"

namespace flashtool {

namespace {

constexpr size_t kIdentificationSize = 24;
constexpr size_t kOemTagSize = 12;
constexpr size_t kModelFamilySize = 7;   // the model table keeps a code in 8 bytes with a zero
constexpr size_t kBuildFamilySize = 10;  // the family field and the two bytes after it
constexpr size_t kFamilyColumns = 9;
constexpr std::string_view kNone = "-";

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}

// Reads one file into records, or sets `error`. Besides the record reader's own checks,
// a row may not hold ; [ ] or \: no identification has them, and without them every text
// goes into the generated source as it is.
std::optional<std::vector<TextRecord>> ReadRecords(std::string_view name, std::string_view text,
                                                   std::string& error) {
    TextRecords records = ParseTextRecords(text, name);
    if (!records.error.empty()) {
        error = RecordError(name, records.errorLine, "error: " + records.errorText);
        return std::nullopt;
    }
    for (const TextRecord& record : records.records) {
        for (const std::string& column : record.columns) {
            if (column.find_first_of(";[]\\") != std::string::npos) {
                error = RecordError(name, record.line,
                                    "error: the characters ; [ ] and \\ are not allowed in a row");
                return std::nullopt;
            }
        }
    }
    return std::move(records.records);
}

// The checks of one file: each returns false after setting the error.
class RowChecker {
public:
    RowChecker(std::string_view fileName, std::string& error) : fileName(fileName), error(error) {}

    bool Fail(size_t line, const std::string& message) {
        error = RecordError(fileName, line, "error: " + message);
        return false;
    }
    bool Columns(const TextRecord& record, size_t wanted, std::string_view what) {
        return record.columns.size() == wanted ||
               Fail(record.line, "expected " + std::to_string(wanted) + " columns (" +
                                     std::string(what) + "), found " +
                                     std::to_string(record.columns.size()));
    }
    bool Identification(const TextRecord& record, const std::string& text) {
        return text.size() == kIdentificationSize ||
               Fail(record.line, "identification " + Quoted(text) + " has " +
                                     std::to_string(text.size()) + " characters, not 24");
    }
    bool Family(const TextRecord& record, const std::string& code,
                const std::map<std::string, size_t>& known, std::string_view familiesName) {
        return known.contains(code) ||
               Fail(record.line, "unknown family code " + Quoted(code) + " (not in " +
                                     std::string(familiesName) + ")");
    }

private:
    std::string_view fileName;
    std::string& error;
};

bool IsCodeCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool CheckFamilyCode(RowChecker& check, const TextRecord& record, const FamilyTraitsRow& row) {
    const std::string& code = row.code;
    if (row.inModelTable) {
        if (code.empty() || !std::all_of(code.begin(), code.end(), IsCodeCharacter)) {
            return check.Fail(record.line, "family code " + Quoted(code) +
                                               " is not upper-case letters and digits");
        }
        if (code.size() > kModelFamilySize) {
            return check.Fail(record.line,
                              "family code " + Quoted(code) + " is longer than 7 characters");
        }
    } else if (code.empty() || code.size() > kBuildFamilySize || code[0] == ' ') {
        return check.Fail(record.line, "family code " + Quoted(code) +
                                           " is not 1 to 10 characters beginning with no blank");
    }
    return true;
}

bool ReadFlags(RowChecker& check, const TextRecord& record, const std::string& column,
               FamilyTraitsRow& row) {
    if (column == kNone) {
        return true;
    }
    size_t start = 0;
    while (start <= column.size()) {
        const size_t comma = std::min(column.find(',', start), column.size());
        const std::string flag = column.substr(start, comma - start);
        if (std::find(kFamilyFlags.begin(), kFamilyFlags.end(), flag) == kFamilyFlags.end()) {
            return check.Fail(record.line, "unknown trait " + Quoted(flag));
        }
        if (std::find(row.flags.begin(), row.flags.end(), flag) != row.flags.end()) {
            return check.Fail(record.line, "trait " + Quoted(flag) + " is given twice");
        }
        row.flags.push_back(flag);
        start = comma + 1;
    }
    return true;
}

// "-" reads as empty; otherwise the text must have `size` characters (0: any).
bool ReadOptional(RowChecker& check, const TextRecord& record, const std::string& column,
                  size_t size, std::string_view what, std::string& out) {
    if (column == kNone) {
        return true;
    }
    if (size != 0 && column.size() != size) {
        return check.Fail(record.line, std::string(what) + " " + Quoted(column) + " is not " +
                                           std::to_string(size) + " characters");
    }
    out = column;
    return true;
}

bool ReadOemColumns(RowChecker& check, const TextRecord& record, FamilyTraitsRow& row) {
    const std::string& code = record.columns[3];
    if (code != kNone) {
        const std::optional<uint64_t> value = ParseNumber("0x" + code);
        if (code.size() != 2 || !value) {
            return check.Fail(record.line,
                              "OEM code " + Quoted(code) + " is not 2 hexadecimal digits");
        }
        row.oemCode = static_cast<int>(*value);
    }
    row.oemBase = record.columns[4] == kNone ? "" : record.columns[4];
    const std::string& below = record.columns[5];
    if (below != kNone && below != "bar-downgrade" && below != "prepare-records") {
        return check.Fail(record.line, "below-boundary " + Quoted(below) +
                                           " is not bar-downgrade, prepare-records or -");
    }
    row.belowBoundary = below == kNone ? "" : below;
    return true;
}

bool ReadFamilyRow(RowChecker& check, const TextRecord& record, FamilyTraitsRow& row) {
    const auto& c = record.columns;
    if (!check.Columns(record, kFamilyColumns,
                       "code, model table, traits, OEM code, OEM base, below boundary, drive, "
                       "OEM tag, model name")) {
        return false;
    }
    row.line = record.line;
    row.code = c[0];
    if (c[1] != "yes" && c[1] != kNone) {
        return check.Fail(record.line, "model table column " + Quoted(c[1]) + " is not yes or -");
    }
    row.inModelTable = c[1] == "yes";
    return CheckFamilyCode(check, record, row) && ReadFlags(check, record, c[2], row) &&
           ReadOemColumns(check, record, row) &&
           ReadOptional(check, record, c[6], kIdentificationSize, "drive", row.drive) &&
           ReadOptional(check, record, c[7], kOemTagSize, "OEM tag", row.oemTag) &&
           ReadOptional(check, record, c[8], 0, "model name", row.modelName) &&
           (row.oemTag.empty() || !row.drive.empty() ||
            check.Fail(record.line, "an OEM tag needs the drive it is read from"));
}

// What a lookup by the start of a family field answers: a code that begins with another
// must answer the same, or a build's traits would hang on which row the lookup meets.
bool SameAnswers(const FamilyTraitsRow& a, const FamilyTraitsRow& b) {
    auto sorted = [](std::vector<std::string> flags) {
        std::sort(flags.begin(), flags.end());
        return flags;
    };
    return sorted(a.flags) == sorted(b.flags) && a.oemCode == b.oemCode && a.oemBase == b.oemBase &&
           a.belowBoundary == b.belowBoundary && a.modelName == b.modelName;
}

bool CheckFamilyRelations(RowChecker& check, const std::vector<FamilyTraitsRow>& rows,
                          const std::map<std::string, size_t>& index) {
    for (const FamilyTraitsRow& row : rows) {
        if (!row.oemBase.empty()) {
            const auto base = index.find(row.oemBase);
            if (base == index.end() || rows[base->second].oemCode < 0) {
                return check.Fail(row.line, "OEM base " + Quoted(row.oemBase) +
                                                " is not a family with an OEM code");
            }
        }
        for (const FamilyTraitsRow& shorter : rows) {
            if (shorter.code.size() < row.code.size() && row.code.starts_with(shorter.code) &&
                !SameAnswers(row, shorter)) {
                return check.Fail(row.line, "family code " + Quoted(row.code) + " begins with " +
                                                Quoted(shorter.code) + " (line " +
                                                std::to_string(shorter.line) +
                                                ") but its traits differ");
            }
        }
    }
    return true;
}

}  // namespace

namespace {

bool ReadFamilies(const ProductTableFiles& files, ProductTables& tables,
                  std::map<std::string, size_t>& index) {
    const auto records = ReadRecords(files.familiesName, files.familiesText, tables.error);
    if (!records) {
        return false;
    }
    RowChecker check(files.familiesName, tables.error);
    if (records->empty()) {
        tables.error = files.familiesName + ": error: no family codes";
        return false;
    }
    for (const TextRecord& record : *records) {
        FamilyTraitsRow row;
        if (!ReadFamilyRow(check, record, row)) {
            return false;
        }
        if (!index.emplace(row.code, tables.families.size()).second) {
            return check.Fail(record.line, "family code " + Quoted(row.code) + " is listed twice");
        }
        tables.families.push_back(std::move(row));
    }
    return CheckFamilyRelations(check, tables.families, index);
}

bool ReadModels(const ProductTableFiles& files, ProductTables& tables,
                const std::map<std::string, size_t>& index) {
    const auto records = ReadRecords(files.modelsName, files.modelsText, tables.error);
    if (!records) {
        return false;
    }
    RowChecker check(files.modelsName, tables.error);
    if (records->empty()) {
        tables.error = files.modelsName + ": error: the model table has no rows";
        return false;
    }
    std::vector<bool> used(tables.families.size(), false);
    for (const TextRecord& record : *records) {
        const auto& c = record.columns;
        if (!check.Columns(record, 2, "identification, family") ||
            !check.Identification(record, c[0]) ||
            !check.Family(record, c[1], index, files.familiesName)) {
            return false;
        }
        const size_t family = index.at(c[1]);
        if (!tables.families[family].inModelTable) {
            return check.Fail(record.line, "family code " + Quoted(c[1]) +
                                               " is not marked for the model table in " +
                                               files.familiesName);
        }
        used[family] = true;
        tables.models.push_back({c[0], c[1]});
    }
    for (size_t k = 0; k < used.size(); ++k) {
        const FamilyTraitsRow& row = tables.families[k];
        if (row.inModelTable && !used[k]) {
            return RowChecker(files.familiesName, tables.error)
                .Fail(row.line, "family code " + Quoted(row.code) + " is used by no row of " +
                                    files.modelsName);
        }
    }
    return true;
}

bool ReadOemRevisions(const ProductTableFiles& files, ProductTables& tables,
                      const std::map<std::string, size_t>& index) {
    const auto records = ReadRecords(files.oemName, files.oemText, tables.error);
    if (!records) {
        return false;
    }
    RowChecker check(files.oemName, tables.error);
    for (const TextRecord& record : *records) {
        const auto& c = record.columns;
        if (!check.Columns(record, 3, "identification, revision, family") ||
            !check.Identification(record, c[0])) {
            return false;
        }
        if (c[1].size() != 4 || c[1].find(' ') != std::string::npos) {
            return check.Fail(record.line,
                              "revision " + Quoted(c[1]) + " is not 4 printable characters");
        }
        if (!check.Family(record, c[2], index, files.familiesName)) {
            return false;
        }
        tables.oemRevisions.push_back({c[0], c[1], c[2]});
    }
    return true;
}

std::optional<std::string> FactoryCondition(std::string_view name) {
    if (name == "brand") {
        return "BrandExact";
    }
    if (name == "brand-upper") {
        return "BrandUpper";
    }
    if (name == "revision") {
        return "RevisionChars";
    }
    return std::nullopt;
}

bool ReadFactoryRow(RowChecker& check, const TextRecord& record,
                    const std::map<std::string, size_t>& index, std::string_view familiesName,
                    FactoryRevisionTableRow& row) {
    const auto& c = record.columns;
    if (!check.Columns(record, 5,
                       "identification, second identification or -, families, condition, value") ||
        !check.Identification(record, c[0]) ||
        (c[1] != kNone && !check.Identification(record, c[1]))) {
        return false;
    }
    row.identification1 = c[0];
    row.identification2 = c[1] == kNone ? "" : c[1];
    size_t start = 0;
    while (start <= c[2].size()) {
        const size_t comma = std::min(c[2].find(',', start), c[2].size());
        row.families.push_back(c[2].substr(start, comma - start));
        start = comma + 1;
    }
    if (row.families.size() > 3) {
        return check.Fail(record.line, "expected 1 to 3 comma-separated families");
    }
    for (const std::string& family : row.families) {
        if (!check.Family(record, family, index, familiesName)) {
            return false;
        }
    }
    const auto condition = FactoryCondition(c[3]);
    if (!condition) {
        return check.Fail(
            record.line, "unknown condition " + Quoted(c[3]) + " (brand, brand-upper or revision)");
    }
    row.condition = *condition;
    if (c[4].size() != 2 || c[4].find(' ') != std::string::npos) {
        return check.Fail(record.line, "value " + Quoted(c[4]) + " is not 2 printable characters");
    }
    row.value = c[4];
    return true;
}

bool ReadFactoryRevisions(const ProductTableFiles& files, ProductTables& tables,
                          const std::map<std::string, size_t>& index) {
    const auto records = ReadRecords(files.factoryName, files.factoryText, tables.error);
    if (!records) {
        return false;
    }
    RowChecker check(files.factoryName, tables.error);
    for (const TextRecord& record : *records) {
        FactoryRevisionTableRow row;
        if (!ReadFactoryRow(check, record, index, files.familiesName, row)) {
            return false;
        }
        tables.factoryRevisions.push_back(std::move(row));
    }
    return true;
}

}  // namespace

ProductTables ReadProductTables(const ProductTableFiles& files) {
    ProductTables tables;
    std::map<std::string, size_t> index;
    if (!ReadFamilies(files, tables, index) || !ReadModels(files, tables, index) ||
        !ReadOemRevisions(files, tables, index) || !ReadFactoryRevisions(files, tables, index)) {
        return ProductTables{{}, {}, {}, {}, tables.error};
    }
    return tables;
}

}  // namespace flashtool
