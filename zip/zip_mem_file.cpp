#include "zip/zip_mem_file.h"

#include "zip/zip_exception.h"

#include <cstdlib>
#include <cstring>
#include <limits>

CZipMemFile::CZipMemFile(uint64_t growStep, uint64_t initialCapacity) : m_growStep(growStep) {
    if (initialCapacity != 0) {
        Grow(initialCapacity);
    }
}

CZipMemFile::CZipMemFile(const void* data, uint64_t length)
    : m_growStep(0), m_capacity(length), m_length(length),
      m_buffer(static_cast<unsigned char*>(const_cast<void*>(data))), m_ownsBuffer(false),
      m_readOnly(true) {}

CZipMemFile::~CZipMemFile() {
    Release();
}

void CZipMemFile::Release() {
    if (m_ownsBuffer && m_buffer != nullptr) {
        std::free(m_buffer);
    }
    m_buffer = nullptr;
    m_position = m_capacity = m_length = 0;
}

void CZipMemFile::Attach(void* buffer, uint64_t length, uint64_t growStep, bool ownsBuffer) {
    Release();
    m_buffer = static_cast<unsigned char*>(buffer);
    m_capacity = m_length = length;
    m_growStep = growStep;
    m_ownsBuffer = ownsBuffer;
    m_readOnly = false;
}

void* CZipMemFile::Detach() {
    void* buffer = m_buffer;
    m_buffer = nullptr;
    m_position = m_capacity = m_length = 0;
    m_readOnly = false;
    return buffer;
}

void CZipMemFile::Grow(uint64_t needed) {
    if (needed <= m_capacity) {
        return;
    }
    if (m_growStep == 0 || m_readOnly || (!m_ownsBuffer && m_buffer != nullptr)) {
        throw CZipException(CZipException::memError);
    }
    // Whole steps up to the need, but never less than half the capacity again: reallocating
    // on every 64 KiB of a 100 MB archive would copy the block over and over.
    uint64_t target = needed;
    const uint64_t geometric = m_capacity + m_capacity / 2;
    if (geometric > target) {
        target = geometric;
    }
    const uint64_t steps = (target - m_capacity + m_growStep - 1) / m_growStep;
    if (steps > (std::numeric_limits<uint64_t>::max() - m_capacity) / m_growStep) {
        throw CZipException(CZipException::memError);
    }
    const uint64_t capacity = m_capacity + steps * m_growStep;
    if (capacity > std::numeric_limits<size_t>::max()) {
        throw CZipException(CZipException::memError);
    }
    void* block = std::realloc(m_buffer, static_cast<size_t>(capacity));
    if (block == nullptr) {
        throw CZipException(CZipException::memError);
    }
    m_buffer = static_cast<unsigned char*>(block);
    m_capacity = capacity;
}

size_t CZipMemFile::Read(void* data, size_t size) {
    if (m_position >= m_length || size == 0) {
        return 0;
    }
    const uint64_t available = m_length - m_position;
    const size_t count = available < size ? static_cast<size_t>(available) : size;
    std::memcpy(data, m_buffer + m_position, count);
    m_position += count;
    return count;
}

void CZipMemFile::Write(const void* data, size_t size) {
    if (size == 0) {
        return;
    }
    // A borrowed block may be a read-only mapping: never write into it at all.
    if (m_readOnly) {
        throw CZipException(CZipException::memError);
    }
    if (size > std::numeric_limits<uint64_t>::max() - m_position) {
        throw CZipException(CZipException::memError);
    }
    const uint64_t end = m_position + size;
    if (end > m_capacity) {
        Grow(end);
    }
    std::memcpy(m_buffer + m_position, data, size);
    m_position = end;
    if (m_position > m_length) {
        m_length = m_position;
    }
}

unsigned char* CZipMemFile::Reserve(size_t size) {
    if (m_readOnly || size > std::numeric_limits<uint64_t>::max() - m_position) {
        throw CZipException(CZipException::memError);
    }
    Grow(m_position + size);
    return m_buffer + m_position;
}

void CZipMemFile::Advance(size_t size) {
    const uint64_t end = m_position + size;
    if (end > m_capacity) {
        throw CZipException(CZipException::memError); // more than was reserved
    }
    m_position = end;
    if (m_position > m_length) {
        m_length = m_position;
    }
}

const unsigned char* CZipMemFile::View(uint64_t position, uint64_t& available) const {
    available = position < m_length ? m_length - position : 0;
    return available != 0 ? m_buffer + position : nullptr;
}

uint64_t CZipMemFile::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = 0;
    if (origin == current) {
        base = static_cast<int64_t>(m_position);
    } else if (origin == end) {
        base = static_cast<int64_t>(m_length);
    }
    if (offset < 0 ? base + offset < 0 : base > std::numeric_limits<int64_t>::max() - offset) {
        throw CZipException(29); // ESPIPE: before the start or beyond any size
    }
    const uint64_t position = static_cast<uint64_t>(base + offset);
    if (position > m_capacity) {
        Grow(position);
    }
    m_position = position;
    return m_position;
}

void CZipMemFile::SetLength(uint64_t length) {
    if (length > m_capacity) {
        Grow(length);
    } else {
        m_position = length;
    }
    m_length = length;
}
