// Ctrl+C and Ctrl+Break at a console. While a handler is set, they call it instead of ending the
// program (SetConsoleCtrlHandler on Windows); elsewhere nothing is caught, as the floppy commands
// that use it run only on Windows.
#ifndef TOLVEN_PLATFORM_CONSOLE_BREAK_H
#define TOLVEN_PLATFORM_CONSOLE_BREAK_H

#include <mutex>

// Sets the handler (null: the default again). It runs on a thread of its own; once the handler
// has been set to null, no call of the one before is running or will run, so its context may go.
void setConsoleBreakHandler(void (*onBreak)(void* context), void* context);

// Where the handler is kept between the console's thread and the program's: a call runs while
// the slot is held, so clearing it waits for a call under way.
class ConsoleBreakSlot {
public:
    void set(void (*onBreak)(void* context), void* context);
    void clear();
    // Calls the handler; false when none is set.
    bool deliver();

private:
    std::mutex mutex_;
    void (*onBreak_)(void*) = nullptr;
    void* context_ = nullptr;
};

#endif
