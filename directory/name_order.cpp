#include "directory/name_order.h"

#include "directory/name_case.h"

namespace {

bool isDigit(uint16_t unit) { return unit >= '0' && unit <= '9'; }

// Compares the digit runs at `a` and `b` by value and moves both past their run. `zeros` gets
// the first difference in leading zeros, which decides only between names otherwise equal.
int compareNumbers(const uint16_t*& a, const uint16_t*& b, int& zeros) {
    const uint16_t* startA = a;
    const uint16_t* startB = b;
    while (*a == '0') ++a;
    while (*b == '0') ++b;
    if (zeros == 0) zeros = static_cast<int>((a - startA) - (b - startB));
    // Significant digits: the longer run is the larger number; runs of equal length compare
    // digit by digit. No conversion, so a run of any length cannot overflow.
    int order = 0;
    while (isDigit(*a) && isDigit(*b)) {
        if (order == 0 && *a != *b) order = *a < *b ? -1 : 1;
        ++a;
        ++b;
    }
    if (isDigit(*a)) return 1;
    if (isDigit(*b)) return -1;
    return order;
}

}  // namespace

int compareNames(const uint16_t* a, const uint16_t* b) {
    int zeros = 0;
    while (*a != 0 && *b != 0) {
        if (isDigit(*a) && isDigit(*b)) {
            int order = compareNumbers(a, b, zeros);
            if (order != 0) return order;
            continue;
        }
        uint16_t upperA = upcaseUnit(*a), upperB = upcaseUnit(*b);
        if (upperA != upperB) return upperA < upperB ? -1 : 1;
        ++a;
        ++b;
    }
    if (*a != *b) return *a == 0 ? -1 : 1;  // a name comes before its own continuations
    return zeros;
}
