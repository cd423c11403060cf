#pragma once

#include <memory>

namespace prq {

// A stretch of code on one thread that reads settings values (see `SharedSetting`) without
// locking them, as every log call does. A value that a change replaces is retired: it is freed at
// a later change, once every section that was open when it was retired has ended. So a value read
// inside a section stays valid until the section ends, and readers never write memory that other
// threads read. Sections nest; opening one costs a few stores to the thread's own memory.
//
// This is epoch-based reclamation: each thread that reads publishes the epoch its outermost open
// section began in; a value retired in epoch e is freed once no published epoch is e or earlier.
class ReadSection {
public:
    ReadSection();
    ~ReadSection();
    ReadSection(const ReadSection&) = delete;
    ReadSection& operator=(const ReadSection&) = delete;

    // Hands over a value that readers may still hold; it is destroyed once none can. Call it
    // after the value has been replaced where readers find it.
    static void retire(std::shared_ptr<const void> value);
};

}  // namespace prq
