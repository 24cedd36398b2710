// A first-in, first-out list of private heap copies of byte blocks: the image's failure messages,
// and the editor's list of temporary files.
#ifndef TOLVEN_IMAGE_MESSAGE_LIST_H
#define TOLVEN_IMAGE_MESSAGE_LIST_H

#include <cstdint>

struct MessageNode {
    MessageNode* prev;
    MessageNode* next;
    uint32_t size;
    uint8_t* data;
};

class MessageList {
public:
    MessageList();
    ~MessageList();
    MessageList(const MessageList&) = delete;
    MessageList& operator=(const MessageList&) = delete;

    // Appends a copy of `size` bytes. Returns 1, or 0 (list unchanged) when memory runs out.
    int add(const void* bytes, uint32_t size);
    // Copies min(capacity, size) bytes of the oldest entry into `buffer` (no terminator added),
    // then drops the entry. Returns 0 when the list is empty, else 1.
    int popFront(void* buffer, uint32_t capacity);
    // Drops every entry. Returns 1.
    int clear();
    bool isEmpty() const { return head == nullptr; }

protected:
    MessageNode* head;
    MessageNode* tail;
};

#endif
