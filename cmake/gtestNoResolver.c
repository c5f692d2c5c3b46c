/* Stand-in for getaddrinfo in the cross builds' GoogleTest (see gtestFromSource.cmake):
 * name lookup always fails, so the static tests never call glibc's, which needs glibc's
 * shared libraries at run time. */
#include <netdb.h>

int __wrap_getaddrinfo(const char* pNode, const char* pService, const struct addrinfo* pHints,
                       struct addrinfo** pResult) {
    (void)pNode;
    (void)pService;
    (void)pHints;
    *pResult = 0;
    return EAI_FAIL;
}
