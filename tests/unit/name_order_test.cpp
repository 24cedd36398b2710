// The list order of names: case-insensitive, with numbers by value.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "directory/name_order.h"

namespace {

int compare(const std::u16string& a, const std::u16string& b) {
    return compareNames(reinterpret_cast<const uint16_t*>(a.c_str()),
                        reinterpret_cast<const uint16_t*>(b.c_str()));
}

TEST(NameOrder, SortsAsPeopleRead) {
    // Each name comes strictly before the next.
    const std::vector<std::u16string> ordered = {
        u"0131",
        u"524",
        u"0956",  // by value, not by the first digit
        u"a",
        u"a1",
        u"a01",
        u"a2",
        u"A10b",
        u"a10C",  // zeros decide only between equal values
        u"file 2.txt",
        u"file2.txt",
        u"File10.txt",  // the blank before the digit comes first
        u"file99999999999999999999",
        u"file100000000000000000000",  // no overflow
        u"readme",
        u"README.TXT",
        u"\u00e9t\u00e9",
        u"\u00c9T\u00c9 2",
        u"\u00ff",
    };
    for (size_t i = 0; i + 1 < ordered.size(); ++i) {
        EXPECT_LT(compare(ordered[i], ordered[i + 1]), 0) << i;
        EXPECT_GT(compare(ordered[i + 1], ordered[i]), 0) << i;
    }
    EXPECT_EQ(0, compare(u"Photo 7.JPG", u"photo 7.jpg"));
    EXPECT_EQ(0, compare(u"\u00ff", u"\u0178"));  // Latin-1's one upper case outside Latin-1
    EXPECT_EQ(0, compare(u"", u""));
}

}  // namespace
