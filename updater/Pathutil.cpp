#include "updater/Pathutil.h"

std::string AddBackslash(std::string_view text, const TLeadBytes& leads)
{
    std::string result(text);
    if (!text.empty() && !LastCharIs(text, '\\', leads))
        result += '\\';
    return result;
}

std::string RemoveBackslash(std::string_view text, const TLeadBytes& leads)
{
    if (LastCharIs(text, '\\', leads))
        text.remove_suffix(1);
    return std::string(text);
}

std::string JoinPath(std::string_view folder, std::string_view fileName, const TLeadBytes& leads)
{
    return AddBackslash(folder, leads) + std::string(fileName);
}
