#pragma once
// A folder of its own under the system's temporary folder, removed with
// everything in it when the test is done. Open to every user, so a program
// run without privileges can read what the test put there.
#include <string>

namespace morvane::support {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string operator/(const std::string& name) const;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace morvane::support
