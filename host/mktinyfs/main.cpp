// The mktinyfs command: turns a command line of files and options into an image file,
// through the image builder, takes an image apart (--extract), or looks inside images
// (--info, --diff), or puts an image on the device and reads it back (--program, --dump).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "host/mktinyfs/cImageBuilder.h"
#include "host/mktinyfs/cImageOutput.h"
#include "host/mktinyfs/cInputFile.h"
#include "host/mktinyfs/commandLine.h"
#include "host/mktinyfs/extractCommand.h"
#include "host/mktinyfs/infoDiffCommand.h"
#include "host/mktinyfs/programCommand.h"
#include "host/mktinyfs/standardOutput.h"
#include "tinyfs/stoppingSignals.h"

namespace {

constexpr char PROGRAM[] = "mktinyfs";

// Every input stays open from its measuring to its reading, up to 1023 of them and more
// than a soft limit of 1024 descriptors leaves room for: the hard limit applies.
void allowOpenInputs() {
    struct rlimit oLimit {};
    if (::getrlimit(RLIMIT_NOFILE, &oLimit) == 0 && oLimit.rlim_cur < oLimit.rlim_max) {
        oLimit.rlim_cur = oLimit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &oLimit);
    }
}

// iTrouble: the status trouble ends the run with, once the line is read.
int run(int iArgc, char** pArgv, int& iTrouble) {
    const cOptions oOptions = readCommandLine(iArgc, pArgv);
    iTrouble = oOptions.lImages.empty() ? EXIT_FAILURE : INFO_DIFF_TROUBLE;
    if (oOptions.bHelp) {
        std::fputs(usageText().c_str(), stdout);
        finishStandardOutput();
        return EXIT_SUCCESS;
    }
    if (oOptions.bDiff)
        return diffCommand(oOptions.lImages[0], oOptions.lImages[1], oOptions.bJson);
    if (!oOptions.lImages.empty())
        return infoCommand(oOptions.lImages[0], oOptions.bJson);
    if (oOptions.sExtractImage)
        return extractImage(*oOptions.sExtractImage, oOptions.sExtractDir, oOptions.bSalvage);
    if (oOptions.sProgramImage)
        return programCommand(*oOptions.sProgramImage, oOptions.sDevice, oOptions.bForce);
    if (oOptions.sDumpDevice)
        return dumpCommand(*oOptions.sDumpDevice, oOptions.sDevice);
    // Checks first, reading last: the names, then OUTPUT, then the inputs' sizes and the
    // layout; contents are read while the image is written.
    cImageBuilder oBuilder;
    for (const cFileArgument& oArgument : oOptions.lFiles)
        oBuilder.addFile(oArgument.oImageFile);
    if (oOptions.sMac)
        oBuilder.setMac(*oOptions.sMac);
    if (oOptions.sDeviceId)
        oBuilder.setDeviceId(*oOptions.sDeviceId);
    oBuilder.checkEntries();
    cImageOutput oOutput(*oOptions.sOutput, oOptions.lFiles.empty() && !oOptions.sMac);
    allowOpenInputs();
    std::vector<std::unique_ptr<cInputFile>> lInputs;
    uint64_t iHeld = 0;
    for (size_t i = 0; i < oOptions.lFiles.size(); ++i) {
        if (oOptions.lFiles[i].sPath.empty())
            continue;
        cInputFile& oInput = *lInputs.emplace_back(std::make_unique<cInputFile>(oOptions.lFiles[i].sPath));
        if (!oInput.isMeasured()) {
            oInput.readAhead(iHeld);
            iHeld += oInput.getSize();
        }
        oBuilder.setContents(i, oInput.getSize(),
                             [&oInput](uint8_t* pTo, size_t iLength) { oInput.readExactly(pTo, iLength); });
    }
    oBuilder.write(
        [&](uint32_t iAt, const uint8_t* pFrom, size_t iLength) { oOutput.write(iAt, pFrom, iLength); });
    oOutput.commit();
    return EXIT_SUCCESS;
}

// --info and --diff end in trouble with a status of their own, as cmp and diff do, so that
// a script tells it from problems found; so do their command-line errors. A line that
// cannot be read is judged by its words; one that was read by what it asks for (an @FILE
// may hold --info, a file may be named "--info").
int troubleStatus(int iArgc, char** pArgv) {
    for (int i = 1; i < iArgc; ++i) {
        if (std::strcmp(pArgv[i], "--info") == 0 || std::strcmp(pArgv[i], "--diff") == 0)
            return INFO_DIFF_TROUBLE;
    }
    return EXIT_FAILURE;
}

} // namespace

int main(int iArgc, char** pArgv) {
    int iTrouble = troubleStatus(iArgc, pArgv);
    ignoreFileSizeSignal();
    try {
        return run(iArgc, pArgv, iTrouble);
    } catch (const std::string& sMessage) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, sMessage.c_str());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: out of memory\n", PROGRAM);
    } catch (const std::exception& oError) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, oError.what());
    }
    return iTrouble;
}
