// A growable array of plain values on malloc/realloc: nothing is zeroed
// when it grows, and a large block grows or shrinks in place where the heap
// can (remapping pages rather than copying them), so a table sized
// generously before a load costs no copy when it is cut to fit afterwards.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace zrxml {

template <class T> class CRawBuffer {
    static_assert(std::is_trivially_copyable<T>::value, "values are moved as bytes");

  public:
    CRawBuffer() = default;
    CRawBuffer(const CRawBuffer&) = delete;
    CRawBuffer& operator=(const CRawBuffer&) = delete;
    CRawBuffer(CRawBuffer&& other) noexcept : m_p(other.m_p), m_n(other.m_n), m_nCapacity(other.m_nCapacity)
    {
        other.m_p = nullptr;
        other.m_n = other.m_nCapacity = 0;
    }
    ~CRawBuffer() { std::free(m_p); }

    T* Data() { return m_p; }
    const T* Data() const { return m_p; }
    std::size_t Size() const { return m_n; }
    std::size_t Capacity() const { return m_nCapacity; }
    T& operator[](std::size_t i) { return m_p[i]; }
    const T& operator[](std::size_t i) const { return m_p[i]; }

    // Capacity for at least n values; throws std::bad_alloc.
    void Reserve(std::size_t n)
    {
        if (n > m_nCapacity)
            Reallocate(n);
    }
    // Values beyond the old size are left as they were in memory.
    void ResizeUninitialized(std::size_t n)
    {
        Reserve(n);
        m_n = n;
    }
    // Cuts the size to n, at most the size.
    void Truncate(std::size_t n) { m_n = n; }
    // A value where Capacity() is known to leave room for it.
    void PushBackInPlace(const T& value) { m_p[m_n++] = value; }
    void PushBack(const T& value)
    {
        if (m_n == m_nCapacity)
            Grow(m_n + 1);
        m_p[m_n++] = value;
    }
    void Append(const T* p, std::size_t n)
    {
        ReserveMore(n);
        if (n != 0)
            std::memcpy(m_p + m_n, p, n * sizeof(T));
        m_n += n;
    }
    // Room for at least n more values beyond the size.
    void ReserveMore(std::size_t n)
    {
        if (n > m_nCapacity - m_n) {
            if (n > MaxCount() - m_n)
                throw std::bad_alloc();
            Grow(m_n + n);
        }
    }
    void ShrinkToFit()
    {
        if (m_n == 0) {
            Release();
        } else if (m_n < m_nCapacity) {
            // Cannot fail in practice; if it does the larger block is kept.
            if (void* p = std::realloc(m_p, m_n * sizeof(T))) {
                m_p = static_cast<T*>(p);
                m_nCapacity = m_n;
            }
        }
    }
    void Release()
    {
        std::free(m_p);
        m_p = nullptr;
        m_n = m_nCapacity = 0;
    }

  private:
    void Grow(std::size_t nNeeded)
    {
        std::size_t nNew = m_nCapacity < 16 ? 16 : m_nCapacity;
        while (nNew < nNeeded) {
            if (nNew > MaxCount() / 2) {
                nNew = nNeeded;
                break;
            }
            nNew *= 2;
        }
        Reallocate(nNew);
    }
    void Reallocate(std::size_t n)
    {
        if (n > MaxCount())
            throw std::bad_alloc();
        void* p = std::realloc(m_p, n * sizeof(T));
        if (!p)
            throw std::bad_alloc();
        m_p = static_cast<T*>(p);
        m_nCapacity = n;
    }
    static constexpr std::size_t MaxCount() { return static_cast<std::size_t>(-1) / sizeof(T); }

    T* m_p = nullptr;
    std::size_t m_n = 0;
    std::size_t m_nCapacity = 0;
};

} // namespace zrxml
