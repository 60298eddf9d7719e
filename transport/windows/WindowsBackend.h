#pragma once

// The Windows build's two pass-through back-ends and the one place that chooses between
// them: the system's SCSI pass-through on drive-letter volumes (SptiBackend, on every NT
// system) or the ASPI library (AspiBackend, on the others). Each back-end then loads what
// its layer needs, offers candidate drives and sends commands; it reports the SCSI status
// it got, and ScsiTransport decides what counts as success.
//
// Their Win32 calls go through Win32Api and their pauses through Clock, so that their logic
// is tested with fakes on any platform.

#include <cstdint>
#include <memory>

#include "core/Clock.h"
#include "transport/PassThroughBackend.h"
#include "transport/windows/Win32Api.h"

namespace flashtool {

// The ASPI library, loaded from the system folder only.
inline constexpr char kAspiLibraryName[] = "WNASPI32.DLL";
inline constexpr char kAspiLoadFailure[] = "Can't load WNASPI32.DLL!!";
inline constexpr char kAspiUnexpectedFailure[] = "Unexpected ASPI Failure";

// Allocation lengths of the discovery INQUIRY.
constexpr uint8_t kSptiInquiryLength = 56;
constexpr uint8_t kAspiInquiryLength = 36;

// An ASPI request without a completion event is polled at this pace. However it is
// awaited, a request gets the caller's timeout and this much more to complete; the ASPI
// layer's own adapter time-out normally ends a stuck command well before.
constexpr uint32_t kAspiPollIntervalMs = 10;
constexpr uint32_t kAspiGraceSeconds = 15;

// The back-end for the running system: SPTI when it is of the NT family, ASPI otherwise
// (also when the version cannot be read). It asks only the system's version; nothing is
// loaded and no drive is opened before the back-end's Start.
std::unique_ptr<PassThroughBackend> MakeWindowsBackend(std::shared_ptr<Win32Api> api, Clock& clock);

}  // namespace flashtool
