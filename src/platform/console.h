// SPDX-License-Identifier: GPL-3.0-or-later
// What a command-line program needs of its console: its arguments as UTF-8,
// Ctrl-C, termination signals, whether a status line can be rewritten in place, and the width.
#pragma once

#include <string>
#include <vector>

namespace tarnimex {

// The arguments after the program's name, in UTF-8 (on Windows taken from the
// wide command line, as argv holds them in the ANSI code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Ctrl-C (and Ctrl-Break on Windows) calls onInterrupt, from a signal handler
// or the console's own thread, instead of ending the program. On POSIX a read
// waiting for input (a pipe that sends nothing) then fails with EINTR, so that
// the reader can see what onInterrupt did.
void CatchInterrupt(void (*onInterrupt)());

// SIGTERM, SIGHUP and SIGINT (on Windows: the console closed, a log-off, a
// shut-down) remove the new files of unfinished writes, then end the program
// as they would have, so that its caller sees the signal. A signal the program
// was started to ignore (nohup) stays ignored; CatchInterrupt, called after,
// takes Ctrl-C over.
void RemoveTemporaryFilesOnTermination();

// SIGTERM and SIGHUP (on Windows: the console closed, a log-off, a
// shut-down) call onStop, from a signal handler or the console's own thread,
// instead of ending the program, for a program that must finish its files
// first. A signal the program was started to ignore (nohup) stays ignored. On
// Windows the system ends the program a few seconds after the console event
// whatever it does; until then the handler waits.
void CatchTermination(void (*onStop)());

// Whether standard output is a console that takes "\r" and the "erase to the
// end of line" sequence; on Windows this turns the console's VT mode on, and
// makes it show UTF-8.
bool PrepareLiveConsole();

// Standard input and output carry bytes as they are (a log read from a pipe,
// a CSV written to one); Windows would otherwise translate line ends.
void UseBinaryStandardStreams();

// Descriptors 0, 1 and 2 open, on /dev/null where one was closed (a program
// started with ">&-", as some schedulers do): a file opened later would
// otherwise take its number, and what goes to standard output or error would
// land in that file. To be called before anything is opened. Returns whether
// standard output was closed.
bool OpenStandardDescriptors();

// Columns of the console, or of $COLUMNS, or 0 when neither tells.
int ConsoleColumns();

}  // namespace tarnimex
