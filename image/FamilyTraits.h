#pragma once

// What the program does differently for a drive family, read from data/families.txt at
// build time. Code asks these traits, never a family's name: a family field (the build's,
// or the one the gating resolved for a drive) is looked up once and its answers used.

#include <cstdint>
#include <span>
#include <string_view>

namespace flashtool {

// What the OEM revision rule does for a drive that is not ahead of its boundary revision.
enum class BelowBoundary : uint8_t {
    Nothing,
    BarDowngrade,    // a newer drive firmware is not replaced
    PrepareRecords,  // the model records are rewritten before the checks go on
};

struct FamilyTraits {
    std::string_view code;       // empty for a family the table does not know
    bool inModelTable = false;   // some model table row names it
    bool pageSums = false;       // its builds' page commands carry each page's own sum
    bool fixedOffset = false;    // its builds stage from the first payload byte, 12 short
    bool twoSegments = false;    // its drives take the segmented write as two 64 KiB segments
    bool ejectPath = false;      // its drives are ejected instead of the handshake, and settle
                                 // longer
    bool noInflate = false;      // its drives get the payload as stored, never expanded
    bool factoryPrefix = false;  // a factory-revision rule naming it takes every build family
                                 // that begins with its code
    bool variantTags = false;    // its builds are the ones the QV-5500A check gives a variant
                                 // tag, and so the dual layout
    bool hasOemCode = false;     // a drive of this family carries model records
    uint8_t oemCode = 0;         // the model code written into them
    std::string_view oemBase;    // the family its drives are when their records say base
    BelowBoundary belowBoundary = BelowBoundary::Nothing;
    std::string_view drive;      // the model (24 characters) its builds are for, or empty
    std::string_view oemTag;     // the OEM tag of that model's drives this family's builds
                                 // need (12 characters), or empty
    std::string_view modelName;  // the model a brand QZ build names, or empty
};

std::span<const FamilyTraits> FamilyTraitsTable();

// The traits of the family whose code the field begins with (the longest such code), or
// the traits of no family. `field` is a family field as stored: zero-padded, read over its
// whole width.
const FamilyTraits& TraitsOf(std::string_view field);

// The OEM build family for drives of `drive` (24 characters) that carry `oemTag` (its first
// 12 characters compared), or nullptr when the tag names none.
const FamilyTraits* OemBuildFamily(std::string_view drive, std::string_view oemTag);

// True when the family field holds exactly the family's code over `width` bytes: the code,
// then zero bytes up to the width.
bool FieldHoldsExactly(std::string_view field, std::string_view code, size_t width);

// The code of the (first) family with variant tags; empty when none.
std::string_view VariantFamilyCode();

}  // namespace flashtool
