// One raw deflate or inflate stream of zlib (window bits -15), released with the object.
#pragma once

#include "zip/zip_abstract_file.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

class CZipCompressor {
public:
    CZipCompressor() = default;
    ~CZipCompressor() { End(); }
    CZipCompressor(const CZipCompressor&) = delete;
    CZipCompressor& operator=(const CZipCompressor&) = delete;

    void InitDeflate(int level);
    // Deflates without flushing and writes the output that is ready; returns its size.
    uint64_t Deflate(const void* data, size_t size, CZipAbstractFile& sink);
    // Ends the stream (Z_FINISH) and writes the rest; returns its size.
    uint64_t FinishDeflate(CZipAbstractFile& sink);

    void InitInflate();
    // Inflates from the pending input into `out`; returns the bytes produced. `ended`
    // becomes true at the end of the deflate stream; no progress without more input
    // returns 0.
    size_t Inflate(unsigned char* out, size_t size, bool& ended);
    // Hands the next block of compressed input to the inflater.
    void SetInput(const unsigned char* data, size_t size);
    size_t PendingInput() const { return m_stream.avail_in; }

    // Releases the stream without any check.
    void End();
    bool IsActive() const { return m_state != State::none; }

private:
    enum class State { none, deflating, inflating };

    z_stream m_stream{};
    State m_state = State::none;
    std::vector<unsigned char> m_out;
};
