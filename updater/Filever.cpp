#include "updater/Filever.h"

#include <exception>
#include <utility>

#include "framework/runtime/SystemLibrary.h"

namespace {

constexpr const char* kVersionLibrary = "version.dll";

} // namespace

TFileVer::TFileVer(std::string fileName)
{
    SetFileName(std::move(fileName));
}

void TFileVer::SetFileName(std::string fileName)
{
    fileName_ = std::move(fileName);
    FreeInfo();
}

bool TFileVer::LoadInfo()
{
    if (info_)
        return true;
    // The name is passed whole: a fixed name buffer would cut long paths.
    auto* sizeOf = SystemFunction<decltype(GetFileVersionInfoSizeA)>(kVersionLibrary, "GetFileVersionInfoSizeA");
    auto* read = SystemFunction<decltype(GetFileVersionInfoA)>(kVersionLibrary, "GetFileVersionInfoA");
    if (!sizeOf || !read)
        return false;
    DWORD handle = 0;
    const DWORD size = sizeOf(fileName_.c_str(), &handle);
    if (size == 0)
        return false;
    info_ = std::make_unique<std::uint8_t[]>(size);
    if (!read(fileName_.c_str(), handle, size, info_.get()))
        FreeInfo();
    return info_ != nullptr;
}

const VS_FIXEDFILEINFO* TFileVer::GetFixedInfo()
{
    auto* query = SystemFunction<decltype(VerQueryValueA)>(kVersionLibrary, "VerQueryValueA");
    void* fixed = nullptr;
    UINT length = 0;
    if (query && LoadInfo() && query(info_.get(), "\\", &fixed, &length))
        return static_cast<const VS_FIXEDFILEINFO*>(fixed);
    return nullptr;
}

bool TFileVer::GetProductVersion(TProductVersion& version)
{
    const VS_FIXEDFILEINFO* fixed = GetFixedInfo();
    if (!fixed)
        return false;
    version.Major = HIWORD(fixed->dwProductVersionMS);
    version.Minor = LOWORD(fixed->dwProductVersionMS);
    version.Release = HIWORD(fixed->dwProductVersionLS);
    version.Build = LOWORD(fixed->dwProductVersionLS);
    return true;
}

void GetInstalledVersion(const std::string& path, std::int32_t& major, std::int32_t& combinedMinor)
{
    major = 0;
    combinedMinor = 0;
    try {
        TFileVer reader(path);
        TProductVersion version;
        if (reader.GetProductVersion(version)) {
            major = version.Major;
            combinedMinor = version.Minor * 10 + version.Release;
        }
    } catch (const std::exception&) {
        // Unreadable version information counts as none.
    }
}

TUpdateVerdict JudgeInstalledVersion(std::int32_t installedMajor, std::int32_t installedCombinedMinor,
                                     std::int32_t updateMajor, std::int32_t updateMinor)
{
    if (installedMajor != updateMajor)
        return TUpdateVerdict::NotUpdatable;
    if (installedCombinedMinor < updateMinor)
        return TUpdateVerdict::Eligible;
    return TUpdateVerdict::UpToDate;
}
