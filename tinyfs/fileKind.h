// The words for a file's kind in messages that refuse it ("a FIFO", "a socket", ...).
#pragma once

#include <sys/types.h>

// The kind of file iMode (stat's st_mode) describes, with its article: "a regular file",
// "a directory", "a symbolic link", "a FIFO", "a socket", "a character device" or "a block
// device".
const char* fileKind(mode_t iMode);
