// What tolven-cli prints is UTF-8, the core's encoding of names and paths. A Windows console
// shows it as such only with its output code page set to UTF-8; other terminals take it as it is.
#ifndef TOLVEN_PLATFORM_CONSOLE_TEXT_H
#define TOLVEN_PLATFORM_CONSOLE_TEXT_H

// Sets a Windows console's output code page to UTF-8 until the program exits (the console's own
// is put back then); nothing without a console, or elsewhere.
void useUtf8Console();

#endif
