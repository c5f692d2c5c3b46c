// pagediff BEFORE AFTER: prints how many device pages differ between two images, the
// fewest pages any command could have programmed to turn one into the other.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tinyfs/layout.h"

namespace {

std::vector<char> readImage(const char* sPath) {
    std::ifstream oIn(sPath, std::ios::binary);
    if (!oIn) {
        std::fprintf(stderr, "pagediff: cannot read %s\n", sPath);
        std::exit(EXIT_FAILURE);
    }
    std::vector<char> lBytes((std::istreambuf_iterator<char>(oIn)), std::istreambuf_iterator<char>());
    if (lBytes.size() != DEVICE_SIZE) {
        std::fprintf(stderr, "pagediff: %s is not a whole device image\n", sPath);
        std::exit(EXIT_FAILURE);
    }
    return lBytes;
}

} // namespace

int main(int iArgc, char** pArgv) {
    if (iArgc != 3) {
        std::fprintf(stderr, "usage: pagediff BEFORE AFTER\n");
        return EXIT_FAILURE;
    }
    const std::vector<char> lBefore = readImage(pArgv[1]);
    const std::vector<char> lAfter = readImage(pArgv[2]);
    int32_t iDiffering = 0;
    for (int32_t iPage = 0; iPage < PAGE_COUNT; ++iPage) {
        const size_t iStart = size_t(iPage) * PAGE_SIZE;
        if (std::memcmp(lBefore.data() + iStart, lAfter.data() + iStart, PAGE_SIZE) != 0)
            ++iDiffering;
    }
    std::printf("%d\n", int(iDiffering));
    return EXIT_SUCCESS;
}
