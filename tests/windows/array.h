// A growable array of plain values over msvcrt's realloc: the host has no
// C++ standard library. Not thread-safe; its owner locks.
#pragma once

#include "tests/windows/freestanding.h"
#include "tests/windows/win32.h"

template <typename T>
class Array {
public:
    Array() = default;
    ~Array() { win::free(items_); }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;

    // Appends `count` items and returns where they start. Allocates; ends the
    // run with a FAIL line when memory is exhausted.
    size_t Append(const T* items, size_t count) {
        Reserve(size_ + count);
        const size_t at = size_;
        for (size_t i = 0; i < count; ++i) items_[at + i] = items[i];
        size_ += count;
        return at;
    }
    size_t Push(const T& item) { return Append(&item, 1); }

    T& operator[](size_t index) { return items_[index]; }
    const T& operator[](size_t index) const { return items_[index]; }
    size_t Size() const { return size_; }
    T* Data() { return items_; }
    const T* Data() const { return items_; }
    void Clear() { size_ = 0; }

private:
    void Reserve(size_t wanted) {
        if (wanted <= capacity_) return;
        size_t capacity = capacity_ == 0 ? 16 : capacity_ * 2;
        while (capacity < wanted) capacity *= 2;
        void* grown = win::realloc(items_, capacity * sizeof(T));
        if (grown == nullptr) OutOfMemory();
        items_ = static_cast<T*>(grown);
        capacity_ = capacity;
    }

    T* items_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
