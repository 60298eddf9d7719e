#pragma once

// The texts the dialog shows at start-up: the notice for each brand and, for brand QZ
// builds, the model name that goes into the notice and the caption.

#include <string>
#include <string_view>

#include "image/BuildConfig.h"

namespace flashtool {

inline constexpr std::string_view kNoticeCaption = "Warning";
inline constexpr std::string_view kBrandCaptionPrefix = "Flash Program for ";

// The model a brand QZ build names, from the traits of the family its family code field
// (read with the two bytes after it, as some codes are longer than the field) begins with;
// empty when the family names none.
std::string_view ModelNameForFamily(std::string_view familyField);

std::string StartupNoticeText(BrandCode brand, std::string_view familyField);

}  // namespace flashtool
