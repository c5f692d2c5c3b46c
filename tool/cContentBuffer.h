// Memory for the whole contents of a file, as --read and --read-stdout hold them before
// anything is output: mapped straight from the kernel, in huge pages where it offers
// them, since a file of several MiB otherwise costs a page fault for every 4 KiB.
#pragma once

#include <cstddef>
#include <cstdint>

class cContentBuffer {
  public:
    // Throws std::bad_alloc when the memory cannot be had.
    explicit cContentBuffer(size_t iSize);
    ~cContentBuffer();

    cContentBuffer(const cContentBuffer&) = delete;
    cContentBuffer& operator=(const cContentBuffer&) = delete;

    uint8_t* data() const { return pData; }

  private:
    void* pMapping;
    size_t iMapped;
    uint8_t* pData;
};
