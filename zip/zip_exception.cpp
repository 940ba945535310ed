#include "zip/zip_exception.h"

#include <windows.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

namespace {

std::wstring SystemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result;
    if (n != 0 && text != nullptr) {
        result.assign(text, n);
        while (!result.empty() &&
               (result.back() == L'\r' || result.back() == L'\n' || result.back() == L' ')) {
            result.pop_back();
        }
    }
    if (text != nullptr) {
        ::LocalFree(text);
    }
    return result;
}

std::wstring CrtText(int error) {
    const char* text = std::strerror(error);
    if (text == nullptr) {
        return {};
    }
    return std::wstring(text, text + std::strlen(text));
}

const wchar_t* ErrnoText(int code) {
    switch (code) {
    case 1:
        return L"Not super-user.";
    case 2:
        return L"No such file or directory.";
    case 4:
        return L"Interrupted system call.";
    case 5:
        return L"I/O error.";
    case 6:
        return L"No such device or address.";
    case 9:
        return L"Bad file number.";
    case 12:
        return L"Not enough space.";
    case 13:
        return L"Permission denied.";
    case 14:
        return L"Bad address.";
    case 17:
        return L"File exists.";
    case 18:
        return L"Cross-device link.";
    case 19:
        return L"No such device.";
    case 20:
        return L"Not a directory.";
    case 21:
        return L"Is a directory.";
    case 22:
        return L"Invalid argument.";
    case 23:
        return L"File table overflow.";
    case 24:
        return L"Too many open files.";
    case 27:
        return L"File too large.";
    case 28:
        return L"No space left on device.";
    case 29:
        return L"Illegal seek.";
    case 30:
        return L"Read-only file system.";
    default:
        return nullptr;
    }
}

const wchar_t* FixedText(int code) {
    switch (code) {
    case CZipException::badZipFile:
        return L"Damaged or not a zip file.";
    case CZipException::badCrc:
        return L"Crc is mismatched.";
    case CZipException::noCallback:
        return L"There is no spanned archive callback object set.";
    case CZipException::volumeAborted:
        return L"Volume change aborted in a segmented archive.";
    case CZipException::abortedAction:
        return L"Action aborted.";
    case CZipException::abortedSafely:
        return L"Action aborted safely.";
    case CZipException::nonRemovable:
        return L"The device selected for the spanned archive is not removable.";
    case CZipException::tooManyVolumes:
        return L"The limit of the maximum volumes reached.";
    case CZipException::tooManyFiles:
        return L"The limit of the maximum files in an archive reached.";
    case CZipException::tooLongData:
        return L"The filename, the comment or the local or central extra field of the file "
               L"added to the archive is too long.";
    case CZipException::tooBigSize:
        return L"The file size is too large to be supported.";
    case CZipException::badPassword:
        return L"An incorrect password set for the file being decrypted.";
    case CZipException::dirWithSize:
        return L"The directory with a non-zero size found while testing.";
    case CZipException::internalError:
        return L"An internal error.";
    case CZipException::platfNotSupp:
        return L"Cannot create a file for the specified platform.";
    case CZipException::cdirNotFound:
        return L"The central directory was not found in the archive (or you were trying to open "
               L"not the last volume of a segmented archive).";
    case CZipException::noZip64:
        return L"The Zip64 format has not been enabled for the library, but is required to use "
               L"the archive.";
    case CZipException::noAES:
        return L"WinZip AES encryption has not been enabled for the library, but is required to "
               L"decompress the archive.";
    case CZipException::outOfBounds:
        return L"The collection is empty and the bounds do not exist.";
    case CZipException::streamEnd:
        return L"Zlib library error (end of stream).";
    case CZipException::streamError:
        return L"Zlib library error (stream error).";
    case CZipException::dataError:
        return L"Zlib library error (data error).";
    case CZipException::memError:
        return L"Not enough memory.";
    case CZipException::bufError:
        return L"Zlib library error (buffer error).";
    case CZipException::versionError:
        return L"Zlib library error (version error).";
    default:
        return nullptr;
    }
}

} // namespace

CZipException::CZipException(int code, std::wstring fileName)
    : m_code(code), m_fileName(std::move(fileName)), m_lastWin32Error(::GetLastError()),
      m_lastErrno(errno) {
    const std::wstring text = GetErrorDescription();
    m_what.reserve(text.size());
    for (wchar_t c : text) {
        m_what.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
}

std::wstring CZipException::GetErrorDescription() const {
    if (const wchar_t* text = FixedText(m_code)) {
        return text;
    }
    if (const wchar_t* text = ErrnoText(m_code)) {
        return text;
    }
    if (m_code == errNo) {
        return CrtText(m_lastErrno);
    }
    if (m_code == notRemoved || m_code == notRenamed) {
        const wchar_t* what =
            m_code == notRemoved ? L"Error while removing a file" : L"Error while renaming a file";
        return std::wstring(what) + L" (" + SystemText(m_lastWin32Error) + L").";
    }
    // The generic code and everything unknown.
    if (m_lastWin32Error != 0) {
        std::wstring text = SystemText(m_lastWin32Error);
        if (!text.empty()) {
            return text;
        }
    }
    if (m_lastErrno != 0) {
        std::wstring text = CrtText(m_lastErrno);
        if (!text.empty()) {
            return text;
        }
    }
    return L"Unknown error";
}

const char* CZipException::what() const noexcept {
    return m_what.c_str();
}

int CZipException::ZlibErrToZip(int zlibError) {
    switch (zlibError) {
    case Z_STREAM_END:
        return streamEnd;
    case Z_NEED_DICT:
        return needDict;
    case Z_ERRNO:
        return errNo;
    case Z_STREAM_ERROR:
        return streamError;
    case Z_DATA_ERROR:
        return dataError;
    case Z_MEM_ERROR:
        return memError;
    case Z_BUF_ERROR:
        return bufError;
    case Z_VERSION_ERROR:
        return versionError;
    default:
        return genericError;
    }
}

void CZipException::CheckZlib(int zlibError) {
    if (zlibError != Z_OK && zlibError != Z_NEED_DICT) {
        throw CZipException(ZlibErrToZip(zlibError));
    }
}
