// Naming the kind of a file by its mode.
#include "tinyfs/fileKind.h"

#include <sys/stat.h>

namespace {

struct cKindName {
    mode_t iType; // the S_IFMT bits of the kind
    const char* sName;
};
constexpr cKindName KIND_NAMES[] = {{S_IFREG, "a regular file"},  {S_IFDIR, "a directory"},
                                    {S_IFLNK, "a symbolic link"}, {S_IFIFO, "a FIFO"},
                                    {S_IFSOCK, "a socket"},       {S_IFCHR, "a character device"},
                                    {S_IFBLK, "a block device"}};

} // namespace

const char* fileKind(mode_t iMode) {
    for (const cKindName& oKind : KIND_NAMES) {
        if ((iMode & S_IFMT) == oKind.iType)
            return oKind.sName;
    }
    return "of an unknown kind"; // GCOVR_EXCL_LINE: Linux knows no kind of file besides these
}
