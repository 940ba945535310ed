// A growable byte stream in heap memory (malloc family), or a view of a caller's block.
// An archive is built in one and handed over by Detach; an archive that is only read is
// opened over the caller's block in place, which is then never written, enlarged or freed.
#pragma once

#include "zip/zip_abstract_file.h"

class CZipMemFile : public CZipAbstractFile {
public:
    // An empty file that allocates on first use and grows in multiples of `growStep`.
    explicit CZipMemFile(uint64_t growStep = 1024, uint64_t initialCapacity = 0);
    // A read-only view of `length` bytes at `data`; the block stays the caller's.
    CZipMemFile(const void* data, uint64_t length);
    ~CZipMemFile() override;
    CZipMemFile(const CZipMemFile&) = delete;
    CZipMemFile& operator=(const CZipMemFile&) = delete;

    // Takes `buffer` (malloc'ed when `ownsBuffer`) as the content; frees the old one if owned.
    void Attach(void* buffer, uint64_t length, uint64_t growStep, bool ownsBuffer);
    // Gives the block up (free it with free() when the file owned it) and empties the file.
    void* Detach();

    size_t Read(void* data, size_t size) override;
    void Write(const void* data, size_t size) override;
    uint64_t Seek(int64_t offset, SeekOrigin origin) override;
    uint64_t GetPosition() const override { return m_position; }
    uint64_t GetLength() const override { return m_length; }
    void SetLength(uint64_t length) override;
    bool IsClosed() const override { return false; }
    unsigned char* Reserve(size_t size) override;
    void Advance(size_t size) override;
    const unsigned char* View(uint64_t position, uint64_t& available) const override;

    const unsigned char* GetBuffer() const { return m_buffer; }
    uint64_t GetCapacity() const { return m_capacity; }
    uint64_t GetGrowStep() const { return m_growStep; }
    void SetGrowStep(uint64_t growStep) { m_growStep = growStep; }
    bool OwnsBuffer() const { return m_ownsBuffer; }
    void SetOwnsBuffer(bool owns) { m_ownsBuffer = owns; }

private:
    void Grow(uint64_t needed);
    void Release();

    uint64_t m_growStep;
    uint64_t m_position = 0;
    uint64_t m_capacity = 0;
    uint64_t m_length = 0;
    unsigned char* m_buffer = nullptr;
    bool m_ownsBuffer = true;
    bool m_readOnly = false;
};
