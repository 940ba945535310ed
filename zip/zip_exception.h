// The ZIP layer's own error type: a numeric code (the layer's codes from 100 up, the zlib
// codes from 500 up, or a C runtime errno for disk files) and the name of the file concerned.
#pragma once

#include <exception>
#include <string>

class CZipException : public std::exception {
public:
    enum Code {
        genericError = 100,
        badZipFile = 101,
        badCrc = 102,
        noCallback = 103,
        volumeAborted = 104,
        abortedAction = 105,
        abortedSafely = 106,
        nonRemovable = 107,
        tooManyVolumes = 108,
        tooManyFiles = 109,
        tooLongData = 110,
        tooBigSize = 111,
        badPassword = 112,
        dirWithSize = 113,
        internalError = 114,
        notRemoved = 115,
        notRenamed = 116,
        platfNotSupp = 117,
        cdirNotFound = 118,
        noZip64 = 119,
        noAES = 120,
        outOfBounds = 121,
        streamEnd = 500,
        needDict = 501,
        errNo = 502,
        streamError = 503,
        dataError = 504,
        memError = 505,
        bufError = 506,
        versionError = 507,
    };

    explicit CZipException(int code = genericError, std::wstring fileName = {});

    int GetCode() const noexcept { return m_code; }
    const std::wstring& GetFileName() const noexcept { return m_fileName; }

    // The English text that describes the code (never shown to users).
    std::wstring GetErrorDescription() const;
    const char* what() const noexcept override;

    // Maps a zlib result code to the exception code.
    static int ZlibErrToZip(int zlibError);
    // Throws when `zlibError` is not one of the success codes.
    static void CheckZlib(int zlibError);

private:
    int m_code;
    std::wstring m_fileName;
    unsigned long m_lastWin32Error; // for the generic code: the error current at the throw
    int m_lastErrno;
    std::string m_what;
};
