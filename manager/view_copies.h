// Where View writes its copies: each in a new numbered folder below one folder of this
// manager in the user's temporary folder, so that a copy never replaces a file it did not
// write and a copy still open in its viewer never blocks the next View. The copies are
// removed when the manager ends, except those another program still holds open.
#pragma once

#include <string>

namespace Dossiq::Manager {

class ViewCopies {
public:
    ViewCopies() = default;
    ~ViewCopies();
    ViewCopies(const ViewCopies&) = delete;
    ViewCopies& operator=(const ViewCopies&) = delete;

    // A new empty folder for one copy; Win32Exception when it cannot be made.
    std::wstring NewFolder();
    // Removes every copy and folder that can be removed; true when nothing is left.
    bool RemoveAll();
    // The manager's folder, empty before the first View.
    const std::wstring& Root() const { return root_; }

private:
    std::wstring root_;
    unsigned folders_ = 0;
};

} // namespace Dossiq::Manager
