#include "zip/zip_crt_file.h"

#include "zip/zip_exception.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>

void CrtFileTraits::Close(Type fd) {
    ::_close(fd);
}

bool CZipCrtFile::OpenForRead(const std::wstring& path) {
    m_fd.reset(::_wsopen(path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO));
    m_path = path;
    return m_fd.valid();
}

void CZipCrtFile::CreateForWrite(const std::wstring& path) {
    m_path = path;
    m_fd.reset(::_wsopen(path.c_str(), _O_CREAT | _O_TRUNC | _O_WRONLY | _O_BINARY, _SH_DENYWR,
                         _S_IREAD | _S_IWRITE));
    if (!m_fd.valid()) {
        throw CZipException(errno, path);
    }
}

bool CZipCrtFile::CreateNew(const std::wstring& path) {
    m_path = path;
    m_fd.reset(::_wsopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _SH_DENYWR,
                         _S_IREAD | _S_IWRITE));
    return m_fd.valid();
}

size_t CZipCrtFile::Read(void* data, size_t size) {
    const unsigned chunk = size > INT_MAX ? INT_MAX : static_cast<unsigned>(size);
    const int n = ::_read(m_fd.get(), data, chunk);
    if (n < 0) {
        throw CZipException(errno, m_path);
    }
    return static_cast<size_t>(n);
}

void CZipCrtFile::Write(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const unsigned chunk = size > INT_MAX ? INT_MAX : static_cast<unsigned>(size);
        const int n = ::_write(m_fd.get(), p, chunk);
        if (n <= 0) {
            throw CZipException(n < 0 ? errno : ENOSPC, m_path);
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
}

int64_t CZipCrtFile::GetLength() const {
    return ::_filelengthi64(m_fd.get());
}

void CZipCrtFile::Rewind() {
    if (::_lseeki64(m_fd.get(), 0, SEEK_SET) != 0) {
        throw CZipException(errno, m_path);
    }
}

void CZipCrtFile::Close() {
    const int fd = m_fd.release();
    if (fd != -1 && ::_close(fd) != 0) {
        throw CZipException(errno, m_path);
    }
}
