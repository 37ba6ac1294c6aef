// The choice of block CRC kernel: the fastest one this processor allows,
// made once, on first use.
#include "checksum/CrcKernels.h"

#include <initializer_list>

namespace kvcrc {
namespace {

DWORD BlockCrcReferenceOwnTable(const BYTE* pBlock)
{
    struct COwnTable {
        DWORD adw[CRC_TABLE_ENTRIES];
        COwnTable() { FillReferenceTable(adw); }
    };
    static const COwnTable s_table;
    return BlockCrcReference(pBlock, s_table.adw);
}

struct CKernelChoice {
    ECrcKernel eKernel;
    PFNBLOCKCRC pfnKernel;
};

CKernelChoice Choose()
{
    // Widest registers first; the portable kernel is always there.
    for (ECrcKernel eKernel : {ECrcKernel::Vpclmul512, ECrcKernel::Vpclmul256, ECrcKernel::Clmul}) {
        if (PFNBLOCKCRC pfn = ClmulKernelFunction(eKernel))
            return CKernelChoice{eKernel, pfn};
    }
    return CKernelChoice{ECrcKernel::Slicing16, &BlockCrcSlicing16};
}

const CKernelChoice& Chosen()
{
    static const CKernelChoice s_choice = Choose();
    return s_choice;
}

} // namespace

PFNBLOCKCRC KernelFunction(ECrcKernel eKernel)
{
    switch (eKernel) {
    case ECrcKernel::Reference:
        return &BlockCrcReferenceOwnTable;
    case ECrcKernel::Slicing16:
        return &BlockCrcSlicing16;
    default:
        return ClmulKernelFunction(eKernel);
    }
}

const char* KernelName(ECrcKernel eKernel)
{
    switch (eKernel) {
    case ECrcKernel::Reference:
        return "reference";
    case ECrcKernel::Slicing16:
        return "slicing16";
    case ECrcKernel::Clmul:
        return "clmul";
    case ECrcKernel::Vpclmul256:
        return "vpclmul256";
    case ECrcKernel::Vpclmul512:
        return "vpclmul512";
    }
    return "?";
}

ECrcKernel ActiveKernel()
{
    return Chosen().eKernel;
}

DWORD BlockCrc(const BYTE* pBlock)
{
    return Chosen().pfnKernel(pBlock);
}

} // namespace kvcrc
