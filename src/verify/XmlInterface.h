// How a CKorvane holds its XML document interface.
#pragma once

#include "ZRXml.h"

namespace korvane {

// The document interface for a new object; null when the XML library gives none.
IZRXml* AcquireXml();

// A copy shares the interface of the object it copies, so each holder takes
// its own reference and releases it in its destructor: the document lives
// until its last holder is gone, and no holder releases it twice.
inline IZRXml* ShareXml(IZRXml* pXml)
{
    if (pXml)
        pXml->AddRef();
    return pXml;
}

// Replaces the interface held in rpHeld by pNew, releasing the old one
// (after taking the new reference, so self-assignment is safe).
inline void ReplaceXml(IZRXml*& rpHeld, IZRXml* pNew)
{
    IZRXml* pOld = rpHeld;
    rpHeld = ShareXml(pNew);
    if (pOld)
        pOld->Release();
}

} // namespace korvane
