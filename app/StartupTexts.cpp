#include "app/StartupTexts.h"

#include "core/FixedText.h"

namespace flashtool {

namespace {

struct ModelNameRule {
    std::string_view prefix;
    std::string_view modelName;
};

// First match wins.
constexpr ModelNameRule kModelNames[] = {
    {"KM7240", "ORIN DVD RW QV-5500A"},
    {"QX-5500UL", "ORIN DVD RW QV-5500A"},
    {"KM7255", "ORIN DVD RW QV-5505A"},
    {"KM7300", "ORIN DVD RW QV-5520A"},
};

constexpr std::string_view kNoticeFg =
    "1.Please remove any media from the device.\n\n"
    "2.Please DO NOT turn off power while upgrading.\n\n"
    "3.Please ensure the device is properly installed and DO NOT remove the device while "
    "upgrading.\n\n"
    "4.Please ensure all current applications are terminated before proceed upgrading.";

constexpr std::string_view kNoticeXj =
    "1.Please DO NOT turn off power while upgrading.\n\n"
    "2.Please execute this program again if power has been turned off accidentally while "
    "upgrading.\n\n"
    "3.Please ensure the device is properly installed and DO NOT remove the device while "
    "upgrading.\n\n"
    "4.Please ensure all current applications are terminated before proceed upgrading.";

constexpr std::string_view kNoticeOther =
    "1.Please DO NOT turn off power while upgrading.\n\n"
    "2.Please ensure the device is properly installed and DO NOT remove the device while "
    "upgrading.\n\n"
    "3.Please ensure all current applications are terminated before proceed upgrading.";

constexpr std::string_view kNoticeQzBegin = "This flash utility only supports ";
constexpr std::string_view kNoticeQzEnd =
    " drive.\n\nNOTICE :\n\n"
    "1> Please REMOVE disc and close all applications before running this utility !   \n"
    "2> Don't turn off the system while flash is in porgress.\n\n"
    "Do you wish to continue ?";

}  // namespace

std::string_view ModelNameForFamily(std::string_view familyField) {
    for (const ModelNameRule& rule : kModelNames) {
        if (SameBytes(familyField, rule.prefix, rule.prefix.size())) {
            return rule.modelName;
        }
    }
    return {};
}

std::string StartupNoticeText(BrandCode brand, std::string_view familyField) {
    switch (brand) {
        case BrandCode::FG:
            return std::string(kNoticeFg);
        case BrandCode::XJ:
            return std::string(kNoticeXj);
        case BrandCode::QZ:
            return std::string(kNoticeQzBegin) + std::string(ModelNameForFamily(familyField)) +
                   std::string(kNoticeQzEnd);
        default:
            return std::string(kNoticeOther);
    }
}

}  // namespace flashtool
