#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace morvane::support {

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "morvane-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    EXPECT_FALSE(path_.empty()) << "no temporary folder";
    if (!path_.empty())
        ::chmod(path_.c_str(), 0755);
}

TempFolder::~TempFolder()
{
    if (path_.empty())
        return;
    // A test may have taken the rights away to see a write fail.
    ::chmod(path_.c_str(), 0755);
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempFolder::operator/(const std::string& name) const
{
    return (fs::path(path_) / name).string();
}

} // namespace morvane::support
