// The checksum's reads turned into the verifier's progress (revision 1.1).
#pragma once

#include "Korvane.h"
#include "checksum/CRCHelper.h"

#if KORVANE_REVISION >= 11

namespace korvane {

// A sink that hands each read's count to verifier.CBProgress; it points at
// verifier, so it serves only while verifier lives.
kvcrc::ReadSink ProgressSink(CKorvane& verifier);

} // namespace korvane

#endif // KORVANE_REVISION >= 11
