#include "directory/short_name.h"

#include <cstring>
#include <string>

#include "directory/dir_entry.h"
#include "directory/folder_names.h"
#include "directory/name_case.h"
#include "directory/oem_text.h"

static bool isShortNameChar(char16_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != 0 && c < 0x80 && std::strchr("!#$%&'()-@^_`{}~", static_cast<char>(c)) != nullptr;
}

bool isPlainShortName(const std::u16string& name, uint8_t shortName[11]) {
    size_t dot = name.find(u'.');
    std::u16string base = name.substr(0, dot);
    std::u16string ext = dot == std::u16string::npos ? std::u16string() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
    if (dot != std::u16string::npos && ext.empty()) return false;
    for (char16_t c : base + ext)
        if (!isShortNameChar(c)) return false;
    std::memset(shortName, ' ', 11);
    for (size_t i = 0; i < base.size(); ++i) shortName[i] = static_cast<uint8_t>(base[i]);
    for (size_t i = 0; i < ext.size(); ++i) shortName[8 + i] = static_cast<uint8_t>(ext[i]);
    return true;
}

BasisName makeBasisName(const std::u16string& longName) {
    BasisName basis;
    std::memset(basis.name, ' ', 11);
    basis.needsTail = false;

    // Upper case, blanks dropped, unusable characters made "_". A surrogate pair is one character
    // of the long name and becomes one "_".
    std::string s;
    for (size_t i = 0; i < longName.size(); ++i) {
        char16_t c = longName[i];
        if (c == u' ') {
            basis.needsTail = true;
        } else if (c >= 0x80) {
            // In upper case, as the OEM code page writes it; a character it lacks is lost.
            uint8_t byte = unitToOemByte(upcaseUnit(c));
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < longName.size()) ++i;
            s += byte >= 0x80 ? static_cast<char>(byte) : '_';
            if (byte < 0x80) basis.needsTail = true;
        } else if (c == u'.') {
            s += '.';
        } else {
            char u = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            if (!isShortNameChar(static_cast<char16_t>(u))) {
                u = '_';
                basis.needsTail = true;
            }
            s += u;
        }
    }
    size_t lead = s.find_first_not_of('.');
    if (lead == std::string::npos) lead = s.size();
    if (lead > 0) basis.needsTail = true;
    s.erase(0, lead);

    size_t lastDot = s.rfind('.');
    std::string base, ext;
    for (size_t i = 0; i < s.size() && i < lastDot; ++i) {
        if (s[i] == '.') basis.needsTail = true;  // an extra dot dropped
        else base += s[i];
    }
    if (lastDot != std::string::npos) ext = s.substr(lastDot + 1);
    if (base.empty()) {
        // Only possible for names made of blanks and dots around an extension; the driver would
        // leave such a name nothing to show, so it gets "_".
        base = "_";
        basis.needsTail = true;
    }
    if (base.size() > 8 || ext.size() > 3) basis.needsTail = true;
    std::memcpy(basis.name, base.data(), base.size() < 8 ? base.size() : 8);
    std::memcpy(basis.name + 8, ext.data(), ext.size() < 3 ? ext.size() : 3);
    // A first byte 0xE5 would mark the entry deleted; it is stored as 0x05.
    if (basis.name[0] == de::kDeleted) basis.name[0] = de::kStoredE5;
    return basis;
}

bool pickShortName(const BasisName& basis, const FolderNames& names, uint8_t shortName[11]) {
    std::memcpy(shortName, basis.name, 11);
    if (!basis.needsTail && !names.hasShortName(shortName)) return true;
    size_t baseLength = 8;
    while (baseLength > 0 && basis.name[baseLength - 1] == ' ') --baseLength;
    // Tails below the last one this search found are taken, so a folder filled with names of one
    // basis costs one look-up per name rather than one per name before it.
    for (int n = names.firstTailToTry(basis.name); n <= 999999; ++n) {
        std::string tail = "~" + std::to_string(n);
        size_t keep = 8 - tail.size();
        if (keep > baseLength) keep = baseLength;
        std::memset(shortName, ' ', 8);
        std::memcpy(shortName, basis.name, keep);
        std::memcpy(shortName + keep, tail.data(), tail.size());
        if (!names.hasShortName(shortName)) {
            names.skipTailsBelow(basis.name, n);
            return true;
        }
    }
    names.skipTailsBelow(basis.name, 1000000);
    return false;
}
