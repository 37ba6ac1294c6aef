// Buffers the kernel copies file data into. On the machines measured, a
// copy out of the page cache to an address that is not a multiple of 64 ran
// at a quarter of the speed of one to an aligned address; operator new[]
// aligns to 16 only. A page boundary suits every cache line size.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace kvwin32 {
namespace detail {

constexpr std::size_t kBufferAlignment = 4096;

struct CAlignedDelete {
    void operator()(char* p) const { ::operator delete[](p, std::align_val_t(kBufferAlignment)); }
};

using CAlignedBuffer = std::unique_ptr<char[], CAlignedDelete>;

// Null when there is no memory.
inline CAlignedBuffer NewAlignedBuffer(std::size_t cb)
{
    return CAlignedBuffer(
        static_cast<char*>(::operator new[](cb, std::align_val_t(kBufferAlignment), std::nothrow)));
}

} // namespace detail
} // namespace kvwin32
