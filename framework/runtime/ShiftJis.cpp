#include "framework/runtime/ShiftJis.h"

#include <windows.h>

namespace {

std::bitset<256> LeadBytesOf(UINT codePage)
{
    std::bitset<256> leads;
    CPINFO info;
    if (!GetCPInfo(codePage, &info))
        return leads;
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
        for (unsigned byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte)
            leads.set(byte);
    }
    return leads;
}

} // namespace

const TLeadBytes& TLeadBytes::System()
{
    static const TLeadBytes system = [] {
        TLeadBytes leads;
        if (GetSystemMetrics(SM_DBCSENABLED))
            leads.set_ = LeadBytesOf(CP_ACP);
        return leads;
    }();
    return system;
}

const TLeadBytes& TLeadBytes::ShiftJis()
{
    static const TLeadBytes shiftJis = [] {
        TLeadBytes leads;
        leads.set_ = LeadBytesOf(932);
        return leads;
    }();
    return shiftJis;
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

std::size_t TLeadBytes::CharLength(std::string_view text, std::size_t index) const
{
    return IsLead(static_cast<unsigned char>(text[index])) && index + 1 < text.size() ? 2 : 1;
}

bool LastCharIs(std::string_view text, char ch, const TLeadBytes& leads)
{
    if (text.empty())
        return false;
    const std::size_t last = text.size() - 1;
    return !leads.IsTrailByte(text, last) && text[last] == ch;
}

std::string FolderPartOf(std::string_view text, const TLeadBytes& leads)
{
    for (std::size_t i = text.size(); i-- > 0;) {
        if ((text[i] == '\\' || text[i] == ':') && !leads.IsTrailByte(text, i))
            return std::string(text.substr(0, i + 1));
    }
    return {};
}
