// Ctrl+C and Ctrl+Break at a console. While a handler is set, they call it instead of ending the
// program (SetConsoleCtrlHandler on Windows); elsewhere nothing is caught, as the floppy commands
// that use it run only on Windows.
#ifndef TOLVEN_PLATFORM_CONSOLE_BREAK_H
#define TOLVEN_PLATFORM_CONSOLE_BREAK_H

// Sets the handler (null: the default again). It runs on a thread of its own.
void setConsoleBreakHandler(void (*onBreak)(void* context), void* context);

#endif
