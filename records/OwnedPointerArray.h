// The growable array of owned entry pointers behind every list. Slots may be empty (null).
// When no growth step is set the capacity grows by the current size / 8, clamped to 4..1024,
// or straight to the requested size when that is larger. The array owns what it holds: a
// replaced, removed or cut-off entry is deleted.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>

template <class T>
class OwnedPointerArray {
public:
    OwnedPointerArray() = default;
    ~OwnedPointerArray() { Clear(); }
    OwnedPointerArray(const OwnedPointerArray&) = delete;
    OwnedPointerArray& operator=(const OwnedPointerArray&) = delete;

    int GetSize() const { return m_size; }
    int GetCapacity() const { return m_capacity; }
    void SetGrowBy(int growBy) { m_growBy = growBy > 0 ? growBy : 0; }
    bool IsValidIndex(int index) const { return index >= 0 && index < m_size; }

    T* At(int index) const { return IsValidIndex(index) ? m_slots[index] : nullptr; }

    // Resizes to n slots: new slots are empty, slots beyond n are deleted, 0 frees the storage.
    bool SetSize(int n) {
        if (n < 0) return false;
        if (n == 0) {
            Clear();
            return true;
        }
        for (int i = n; i < m_size; ++i) {
            delete m_slots[i];
            m_slots[i] = nullptr;
        }
        if (n > m_capacity && !Reserve(n)) return false;
        for (int i = m_size; i < n; ++i) m_slots[i] = nullptr;
        m_size = n;
        return true;
    }

    // Appends an owned entry (taken even when the append fails, so the caller never leaks).
    bool Append(T* owned) {
        std::unique_ptr<T> guard(owned);
        if (m_size == m_capacity && !Reserve(m_size + 1)) return false;
        m_slots[m_size++] = guard.release();
        return true;
    }

    // Stores an owned entry in slot index, deleting the one it replaces.
    bool Replace(int index, T* owned) {
        std::unique_ptr<T> guard(owned);
        if (!IsValidIndex(index)) return false;
        T* previous = m_slots[index];
        m_slots[index] = guard.release();
        delete previous;
        return true;
    }

    // Deletes the entry in slot index and leaves the slot empty.
    bool Remove(int index) {
        if (!IsValidIndex(index)) return false;
        delete m_slots[index];
        m_slots[index] = nullptr;
        return true;
    }

    void Clear() {
        for (int i = 0; i < m_size; ++i) delete m_slots[i];
        delete[] m_slots;
        m_slots = nullptr;
        m_size = 0;
        m_capacity = 0;
    }

    // Exchanges two slots (used by sorting; ownership stays with the array).
    void Swap(int a, int b) {
        if (IsValidIndex(a) && IsValidIndex(b)) std::swap(m_slots[a], m_slots[b]);
    }

private:
    bool Reserve(int wanted) {
        int step = m_growBy;
        if (step == 0) step = std::clamp(m_size / 8, 4, 1024);
        const int capacity = std::max(wanted, m_capacity + step);
        T** slots = new (std::nothrow) T*[capacity];
        if (slots == nullptr) return false;
        std::copy(m_slots, m_slots + m_size, slots);
        std::fill(slots + m_size, slots + capacity, nullptr);
        delete[] m_slots;
        m_slots = slots;
        m_capacity = capacity;
        return true;
    }

    T** m_slots = nullptr;
    int m_size = 0;
    int m_capacity = 0;
    int m_growBy = 0;
};
