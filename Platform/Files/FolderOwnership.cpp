#include "Platform/Files/FolderOwnership.h"

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace faciward::platform {

FolderOwnership::Finding FolderOwnership::of(const std::filesystem::path &folder)
{
    struct stat info{};
    if (::stat(folder.empty() ? "." : folder.c_str(), &info) != 0)
        return {};
    Finding finding{Kind::safe, info.st_uid, info.st_mode};
    if (info.st_uid != ::geteuid() && info.st_uid != 0)
        finding.kind = Kind::otherOwner;
    else if ((info.st_mode & (S_IWGRP | S_IWOTH)) && !(info.st_mode & S_ISVTX))
        finding.kind = Kind::othersMayWrite;
    return finding;
}

std::string FolderOwnership::modeText(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

} // namespace faciward::platform
