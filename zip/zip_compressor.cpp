#include "zip/zip_compressor.h"

#include "zip/zip_exception.h"

#include <climits>

namespace {
constexpr size_t outputSize = 65536;
}

void CZipCompressor::InitDeflate(int level) {
    End();
    m_stream = z_stream{};
    CZipException::CheckZlib(
        deflateInit2(&m_stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY));
    m_state = State::deflating;
    m_out.resize(outputSize);
}

uint64_t CZipCompressor::Deflate(const void* data, size_t size, CZipAbstractFile& sink) {
    uint64_t written = 0;
    const Bytef* input = static_cast<const Bytef*>(data);
    while (size > 0) {
        const uInt chunk = size > UINT_MAX ? UINT_MAX : static_cast<uInt>(size);
        m_stream.next_in = const_cast<Bytef*>(input);
        m_stream.avail_in = chunk;
        do {
            // Straight into the sink where it has room to give, else through our buffer.
            unsigned char* const room = sink.Reserve(outputSize);
            m_stream.next_out = room != nullptr ? room : m_out.data();
            m_stream.avail_out = static_cast<uInt>(outputSize);
            CZipException::CheckZlib(deflate(&m_stream, Z_NO_FLUSH));
            const size_t ready = outputSize - m_stream.avail_out;
            if (room != nullptr) {
                sink.Advance(ready);
            } else {
                sink.Write(m_out.data(), ready);
            }
            written += ready;
        } while (m_stream.avail_out == 0 || m_stream.avail_in > 0);
        input += chunk;
        size -= chunk;
    }
    return written;
}

uint64_t CZipCompressor::FinishDeflate(CZipAbstractFile& sink) {
    uint64_t written = 0;
    m_stream.next_in = nullptr;
    m_stream.avail_in = 0;
    int result;
    do {
        m_stream.next_out = m_out.data();
        m_stream.avail_out = static_cast<uInt>(m_out.size());
        result = deflate(&m_stream, Z_FINISH);
        if (result != Z_STREAM_END) {
            CZipException::CheckZlib(result);
        }
        const size_t ready = m_out.size() - m_stream.avail_out;
        sink.Write(m_out.data(), ready);
        written += ready;
    } while (result != Z_STREAM_END);
    return written;
}

void CZipCompressor::InitInflate() {
    End();
    m_stream = z_stream{};
    CZipException::CheckZlib(inflateInit2(&m_stream, -MAX_WBITS));
    m_state = State::inflating;
}

void CZipCompressor::SetInput(const unsigned char* data, size_t size) {
    m_stream.next_in = const_cast<Bytef*>(data);
    m_stream.avail_in = static_cast<uInt>(size);
}

size_t CZipCompressor::Inflate(unsigned char* out, size_t size, bool& ended) {
    ended = false;
    const uInt room = size > UINT_MAX ? UINT_MAX : static_cast<uInt>(size);
    m_stream.next_out = out;
    m_stream.avail_out = room;
    const uInt inputBefore = m_stream.avail_in;
    const int result = inflate(&m_stream, Z_SYNC_FLUSH);
    const size_t produced = room - m_stream.avail_out;
    if (result == Z_STREAM_END) {
        ended = true;
    } else if (result == Z_BUF_ERROR) {
        // No progress was possible: the input is used up.
    } else {
        CZipException::CheckZlib(result);
        if (result == Z_NEED_DICT && produced == 0 && m_stream.avail_in == inputBefore) {
            throw CZipException(CZipException::needDict); // would never move on
        }
    }
    return produced;
}

void CZipCompressor::End() {
    if (m_state == State::deflating) {
        deflateEnd(&m_stream);
    } else if (m_state == State::inflating) {
        inflateEnd(&m_stream);
    }
    m_state = State::none;
}
