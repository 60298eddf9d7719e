#include "app/StartupTexts.h"

#include "image/FamilyTraits.h"

namespace flashtool {

namespace {

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
    return TraitsOf(familyField).modelName;
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
