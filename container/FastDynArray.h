#pragma once

#include <cstdint>
#include <cstdlib>
#include <type_traits>

namespace UtilsNameSpace {

// A growable array of plain elements (no constructors run) that keeps its storage between uses.
// Growing doubles the capacity (starting from 2) until it holds the requested count. A growth the
// memory cannot hold answers false and leaves the array as it was.
template <typename T>
class CFastDynArray {
    static_assert(std::is_trivially_copyable<T>::value, "CFastDynArray holds plain records only");

public:
    CFastDynArray() = default;
    CFastDynArray(const CFastDynArray&) = delete;
    CFastDynArray& operator=(const CFastDynArray&) = delete;
    virtual ~CFastDynArray() { std::free(m_pItems); }

    // Makes room for at least n elements; the count is not changed.
    [[nodiscard]] bool Reserve(uint32_t n)
    {
        if (n <= m_capacity)
            return true;
        uint64_t capacity = m_capacity ? m_capacity : 2;
        while (capacity < n)
            capacity *= 2;
        if (capacity > UINT32_MAX)
            capacity = UINT32_MAX;
        // No object can be larger than PTRDIFF_MAX bytes; where size_t is narrower than the byte
        // count, the product would even wrap to a small block.
        if (capacity > static_cast<uint64_t>(PTRDIFF_MAX) / sizeof(T))
            return false;
        void* pNew = std::realloc(m_pItems, static_cast<size_t>(capacity) * sizeof(T));
        if (!pNew)
            return false;
        m_pItems = static_cast<T*>(pNew);
        m_capacity = static_cast<uint32_t>(capacity);
        return true;
    }

    // Sets the count to n, growing the storage when needed; new elements are uninitialised.
    [[nodiscard]] bool Resize(uint32_t n)
    {
        if (!Reserve(n))
            return false;
        m_count = n;
        return true;
    }

    [[nodiscard]] bool Append(const T& item)
    {
        // The count cannot pass the largest capacity; wrapping it would write past the storage.
        if (m_count == UINT32_MAX || !Reserve(m_count + 1))
            return false;
        m_pItems[m_count++] = item;
        return true;
    }

    void Clear() { m_count = 0; }

    // A capacity of 0 frees the storage.
    void FreeStorage()
    {
        std::free(m_pItems);
        m_pItems = nullptr;
        m_capacity = 0;
        m_count = 0;
    }

    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }
    T* Data() { return m_pItems; }
    const T* Data() const { return m_pItems; }
    T& operator[](uint32_t i) { return m_pItems[i]; }
    const T& operator[](uint32_t i) const { return m_pItems[i]; }

private:
    uint32_t m_capacity = 0;
    uint32_t m_count = 0;
    T* m_pItems = nullptr;
};

// One part of a wide string: start index and length, in characters.
struct SStringRef {
    uint32_t start = 0;
    uint32_t length = 0;
};

} // namespace UtilsNameSpace
