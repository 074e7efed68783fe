#pragma once

#include <bitset>
#include <cstddef>
#include <string>
#include <string_view>

// Which bytes start a double-byte character. Tests on texts go by characters,
// not bytes: in Shift-JIS the second byte of a character such as 表 (0x95
// 0x5C) is the byte of "\".
class TLeadBytes {
public:
    // The active code page's lead bytes when the system runs with double-byte
    // support, else none: for paths and other texts of the system.
    static const TLeadBytes& System();
    // Shift-JIS (code page 932) whatever the system's code page: for the
    // program's own texts, which are always Shift-JIS.
    static const TLeadBytes& ShiftJis();
    // Every byte a character of its own.
    static const TLeadBytes& None();

    bool IsLead(unsigned char byte) const { return set_[byte]; }

    // True when text[index] is the second byte of a double-byte character.
    bool IsTrailByte(std::string_view text, std::size_t index) const;
    // Bytes of the character that starts at text[index]: 2 for a lead byte
    // with a byte after it, else 1.
    std::size_t CharLength(std::string_view text, std::size_t index) const;

private:
    std::bitset<256> set_;
};

// True when the text is not empty and its last character is the single byte
// ch; a double-byte character never matches, whatever its second byte.
bool LastCharIs(std::string_view text, char ch, const TLeadBytes& leads = TLeadBytes::System());

// The text up to and including its last "\" or ":" that is a character of its
// own; empty when there is none.
std::string FolderPartOf(std::string_view text, const TLeadBytes& leads = TLeadBytes::System());
