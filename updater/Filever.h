#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

struct TProductVersion {
    std::uint16_t Major = 0;
    std::uint16_t Minor = 0;
    std::uint16_t Release = 0;
    std::uint16_t Build = 0;
};

// Reads the version information of one file, loading it on first use.
class TFileVer {
public:
    explicit TFileVer(std::string fileName);

    void SetFileName(std::string fileName);
    bool LoadInfo();
    const VS_FIXEDFILEINFO* GetFixedInfo();
    // On failure the record is left untouched.
    bool GetProductVersion(TProductVersion& version);
    void FreeInfo() { info_.reset(); }

private:
    std::unique_ptr<std::uint8_t[]> info_;
    std::string fileName_;
};

// The installed product's major number and combined minor (minor x 10 +
// release); both 0 when the file has no usable version information.
void GetInstalledVersion(const std::string& path, std::int32_t& major, std::int32_t& combinedMinor);

enum class TUpdateVerdict {
    Eligible,     // the carried version may replace the installed one
    UpToDate,     // the installed version is the carried one or newer
    NotUpdatable, // another major version, or no version information
};

TUpdateVerdict JudgeInstalledVersion(std::int32_t installedMajor, std::int32_t installedCombinedMinor,
                                     std::int32_t updateMajor, std::int32_t updateMinor);
