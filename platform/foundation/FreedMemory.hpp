#pragma once

namespace platform::foundation {

// What the C library's allocator does with memory the process has freed. By itself glibc keeps
// much of it resident: it raises the mark above which it hands the free top of a heap back to
// the system to twice the largest block it has returned, so after one burst of large buffers (a
// reply of thousands of servers and its parse) every later burst's tens of megabytes stay for
// good; and free pages between live blocks stay until it is asked to let go of them.
namespace FreedMemory {

// Keeps that mark where glibc starts it (128 KiB) for the life of the process; blocks of that
// size and more then stay mapped on their own, as at start, and go back when freed. Call once at
// start, before other threads allocate.
void keepReturningHeapTops();

// Hands every whole free page of every heap back to the system: for after a burst that freed
// many small blocks spread over the heaps. Costs a walk over the free lists; safe on any thread.
void returnFreePages();

}  // namespace FreedMemory

}  // namespace platform::foundation
