// Naming the kind of a file by its mode.
#include "tinyfs/fileKind.h"

#include <sys/stat.h>

const char* fileKind(mode_t iMode) {
    if (S_ISREG(iMode))
        return "a regular file";
    if (S_ISDIR(iMode))
        return "a directory";
    if (S_ISLNK(iMode))
        return "a symbolic link";
    if (S_ISFIFO(iMode))
        return "a FIFO";
    if (S_ISSOCK(iMode))
        return "a socket";
    if (S_ISCHR(iMode))
        return "a character device";
    if (S_ISBLK(iMode))
        return "a block device";
    return "of an unknown kind"; // GCOVR_EXCL_LINE: Linux knows no kind of file besides these
}
