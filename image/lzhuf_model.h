// LZHUF, the compression of Teledisk's "td" files: LZSS over a 4096-byte window first filled with
// spaces, matches of 3 to 60 bytes; characters and match lengths are coded by one adaptive
// Huffman tree, match positions by a fixed code for their upper 6 bits and 6 plain bits.
// The tree is shared by the reader (image/container_td0.cpp) and the tests' writer.
#ifndef TOLVEN_IMAGE_LZHUF_MODEL_H
#define TOLVEN_IMAGE_LZHUF_MODEL_H

#include <cstdint>
#include <cstring>

namespace lzhuf {

const int kWindow = 4096;
const int kLookahead = 60;
const int kThreshold = 2;
const int kSymbols = 256 - kThreshold + kLookahead;  // bytes, then match lengths 3..60
const int kTable = kSymbols * 2 - 1;                 // nodes of the tree
const int kRoot = kTable - 1;
const uint16_t kMaxFrequency = 0x8000;

// The position code: 1 upper value with 3 bits, 3 with 4, 8 with 5, 12 with 6, 24 with 7, 16 with
// 8, assigned in order. upper[b] and bits[b] name the value and code length whose code starts
// the byte b.
struct PositionCode {
    uint8_t upper[256];
    uint8_t bits[256];
    PositionCode() {
        static const int kCounts[6] = {1, 3, 8, 12, 24, 16};
        int code = 0, slot = 0;
        for (int n = 0; n < 6; ++n) {
            for (int k = 0; k < kCounts[n]; ++k, ++code) {
                for (int s = 0; s < (256 >> (n + 3)); ++s, ++slot) {
                    upper[slot] = static_cast<uint8_t>(code);
                    bits[slot] = static_cast<uint8_t>(n + 3);
                }
            }
        }
    }
};

// The adaptive tree. Node son[n] and son[n] + 1 are the two children of n (leaf s is kTable + s);
// a symbol's code is the path from the root, 1 for a second child.
class Tree {
public:
    Tree() {
        for (int i = 0; i < kSymbols; ++i) {
            freq[i] = 1;
            son[i] = i + kTable;
            parent[i + kTable] = i;
        }
        for (int i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
            freq[j] = static_cast<uint16_t>(freq[i] + freq[i + 1]);
            son[j] = i;
            parent[i] = parent[i + 1] = j;
        }
        freq[kTable] = 0xFFFF;
        parent[kRoot] = 0;
    }

    // Counts one more of `symbol`, swapping nodes to keep the frequencies in order.
    void update(int symbol) {
        if (freq[kRoot] == kMaxFrequency) rebuild();
        int c = parent[symbol + kTable];
        do {
            uint16_t k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                while (k > freq[++l]) {
                }
                --l;
                freq[c] = freq[l];
                freq[l] = k;
                int i = son[c];
                parent[i] = l;
                if (i < kTable) parent[i + 1] = l;
                int j = son[l];
                son[l] = i;
                parent[j] = c;
                if (j < kTable) parent[j + 1] = c;
                son[c] = j;
                c = l;
            }
        } while ((c = parent[c]) != 0);
    }

    uint16_t freq[kTable + 1];
    int parent[kTable + kSymbols];
    int son[kTable];

private:
    // Halves every leaf's count and builds the tree anew from them.
    void rebuild() {
        int j = 0;
        for (int i = 0; i < kTable; ++i) {
            if (son[i] >= kTable) {
                freq[j] = static_cast<uint16_t>((freq[i] + 1) / 2);
                son[j] = son[i];
                ++j;
            }
        }
        for (int i = 0, k = kSymbols; k < kTable; i += 2, ++k) {
            uint16_t f = static_cast<uint16_t>(freq[i] + freq[i + 1]);
            int l = k - 1;
            while (f < freq[l]) --l;
            ++l;
            std::memmove(&freq[l + 1], &freq[l], sizeof freq[0] * static_cast<size_t>(k - l));
            freq[l] = f;
            std::memmove(&son[l + 1], &son[l], sizeof son[0] * static_cast<size_t>(k - l));
            son[l] = i;
        }
        for (int i = 0; i < kTable; ++i) {
            int k = son[i];
            parent[k] = i;
            if (k < kTable) parent[k + 1] = i;
        }
    }
};

}  // namespace lzhuf

#endif
