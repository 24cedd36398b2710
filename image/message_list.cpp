#include "image/message_list.h"

#include <cstring>
#include <new>

MessageList::MessageList() : head(nullptr), tail(nullptr) {}

MessageList::~MessageList() { clear(); }

int MessageList::add(const void* bytes, uint32_t size) {
    MessageNode* node = new (std::nothrow) MessageNode;
    if (node == nullptr) return 0;
    // One byte at least, so that an empty block still has a buffer of its own.
    node->data = new (std::nothrow) uint8_t[size == 0 ? 1 : size];
    if (node->data == nullptr) {
        delete node;
        return 0;
    }
    if (size != 0) std::memcpy(node->data, bytes, size);
    node->size = size;
    node->next = nullptr;
    node->prev = tail;
    if (tail != nullptr) tail->next = node;
    else head = node;
    tail = node;
    return 1;
}

int MessageList::popFront(void* buffer, uint32_t capacity) {
    MessageNode* node = head;
    if (node == nullptr) return 0;
    uint32_t n = node->size < capacity ? node->size : capacity;
    if (n != 0) std::memcpy(buffer, node->data, n);
    head = node->next;
    if (head != nullptr) head->prev = nullptr;
    else tail = nullptr;
    delete[] node->data;
    delete node;
    return 1;
}

int MessageList::clear() {
    while (head != nullptr) {
        MessageNode* next = head->next;
        delete[] head->data;
        delete head;
        head = next;
    }
    tail = nullptr;
    return 1;
}
