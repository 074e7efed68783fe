#pragma once

#include <bitset>
#include <string>
#include <string_view>

// Which bytes start a double-byte character. Path tests go by characters, not
// bytes: in Shift-JIS the second byte of a character such as 表 (0x95 0x5C)
// is the byte of "\".
class TLeadBytes {
public:
    // The active code page's lead bytes when the system runs with double-byte
    // support, else none.
    static const TLeadBytes& System();
    // Every byte a character of its own.
    static const TLeadBytes& None();

    bool IsLead(unsigned char byte) const { return set_[byte]; }

    // True when text[index] is the second byte of a double-byte character.
    bool IsTrailByte(std::string_view text, std::size_t index) const;

private:
    std::bitset<256> set_;
};

bool LastCharIs(std::string_view text, char ch, const TLeadBytes& leads = TLeadBytes::System());
std::string AddBackslash(std::string_view text, const TLeadBytes& leads = TLeadBytes::System());
std::string RemoveBackslash(std::string_view text, const TLeadBytes& leads = TLeadBytes::System());
std::string JoinPath(std::string_view folder, std::string_view fileName, const TLeadBytes& leads = TLeadBytes::System());
std::string FolderPartOf(std::string_view text, const TLeadBytes& leads = TLeadBytes::System());
