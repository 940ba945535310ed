// Reads a container file into a new section, a large one on a thread of its own, so that
// what has been read can be decrypted while the rest is still being read: under Wine,
// reading into the fresh pages of a section costs about a third as long as decrypting them.
//
// It reads, not maps: a mapped view of a file whose drive goes away or whose medium fails
// raises an in-page error at whatever instruction touches it, where a read only fails. A file
// that changes length while it is read (a vanishing network file reads short) is refused.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "document/container/content_section.h"
#include "foundation/io/file_stream.h"

namespace Dossiq::Documents {

class ContainerReader {
public:
    ContainerReader() = default;
    // Stops reading and waits for the thread.
    ~ContainerReader();
    ContainerReader(const ContainerReader&) = delete;
    ContainerReader& operator=(const ContainerReader&) = delete;

    // Opens the file, makes `into` a section of its length and starts reading into it (reads
    // a small file whole). False, with nothing started, for an empty file or one beyond
    // 32-bit lengths; Win32Exception when it cannot be opened or the section cannot be made.
    bool Start(const std::wstring& path, ContentSection& into);
    // Waits until the first `length` bytes are in; Win32Exception when the read failed.
    void WaitFor(DWORD length);
    // Waits for the whole file; Win32Exception when the read failed or the length changed.
    void Finish();

private:
    void Run() noexcept;

    std::unique_ptr<MHFX::IO::FileStream> input_;
    BYTE* data_ = nullptr;
    DWORD length_ = 0;
    DWORD arrived_ = 0;
    DWORD failure_ = ERROR_SUCCESS;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

} // namespace Dossiq::Documents
