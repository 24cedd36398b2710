#include "platform/console_break.h"

void ConsoleBreakSlot::set(void (*onBreak)(void* context), void* context) {
    std::lock_guard<std::mutex> guard(mutex_);
    onBreak_ = onBreak;
    context_ = context;
}

void ConsoleBreakSlot::clear() { set(nullptr, nullptr); }

bool ConsoleBreakSlot::deliver() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (onBreak_ == nullptr) return false;
    onBreak_(context_);
    return true;
}
