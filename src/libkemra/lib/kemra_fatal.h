// The one place where libkemra ends the process. Not part of the public
// interface.
#ifndef KEMRA_FATAL_H
#define KEMRA_FATAL_H

// Ends the process with the given exit status; the caller has already printed
// its message. Defined weak in err_printf.cpp so that a fuzz harness can link
// its own definition (which must not return: it may throw or longjmp).
extern "C" [[noreturn]] void kemra_fatal_exit(int status);

#endif // KEMRA_FATAL_H
