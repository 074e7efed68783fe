#include "updater/Pathutil.h"

#include <windows.h>

const TLeadBytes& TLeadBytes::System()
{
    static const TLeadBytes system = [] {
        TLeadBytes leads;
        CPINFO info;
        if (GetSystemMetrics(SM_DBCSENABLED) && GetCPInfo(CP_ACP, &info)) {
            for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
                for (unsigned byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte)
                    leads.set_.set(byte);
            }
        }
        return leads;
    }();
    return system;
}

const TLeadBytes& TLeadBytes::None()
{
    static const TLeadBytes none;
    return none;
}

bool TLeadBytes::IsTrailByte(std::string_view text, std::size_t index) const
{
    // A byte ends a double-byte character when the run of lead bytes right
    // before it has odd length.
    std::size_t run = 0;
    while (run < index && IsLead(static_cast<unsigned char>(text[index - run - 1])))
        ++run;
    return run % 2 == 1;
}

bool LastCharIs(std::string_view text, char ch, const TLeadBytes& leads)
{
    if (text.empty())
        return false;
    const std::size_t last = text.size() - 1;
    return !leads.IsTrailByte(text, last) && text[last] == ch;
}

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

std::string FolderPartOf(std::string_view text, const TLeadBytes& leads)
{
    for (std::size_t i = text.size(); i-- > 0;) {
        if ((text[i] == '\\' || text[i] == ':') && !leads.IsTrailByte(text, i))
            return std::string(text.substr(0, i + 1));
    }
    return {};
}
