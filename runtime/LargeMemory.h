#pragma once
// Memory for a long record's arrays. A million records are about 70 MB that
// are written once, front to back: in 4 KiB pages that is some 18,000 page
// faults, which on a virtual machine cost as much as reading the file. Asking
// the kernel for huge pages where it offers them (transparent huge pages in
// "madvise" mode, Debian's default) turns those into a few dozen.

#include <cstddef>
#include <vector>

// Advises huge pages for the whole 2 MiB blocks inside [data, data + bytes).
// Only advice: nothing happens where the system has no such pages, and the
// memory and its contents are unchanged.
void AdviseHugePages(const void* data, std::size_t bytes) noexcept;

// A vector about to be filled up to `count` elements: reserved, and advised.
template <class T, class A> void ReserveLarge(std::vector<T, A>& items, std::size_t count) {
    items.reserve(count);
    AdviseHugePages(items.data(), items.capacity() * sizeof(T));
}
