// The workbench of the fault and power-cut suites: the sample images, the commands run
// on them with what each may change, and a scratch directory that restores the image
// and the local files before every run of the tool under the interposition library.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/mktinyfs/cImageBuilder.h"
#include "tests/interpose/cIoLog.h"
#include "tests/support/cRunResult.h"

// Bytes [iFrom, iTo) of the device.
struct cByteRange {
    uint32_t iFrom;
    uint32_t iTo;
};

// One command line on one image, with what the command owns there.
struct cCommandCase {
    std::string sName;              // test name: letters, digits, underscores
    std::vector<std::string> lArgs; // after "-d IMAGE"; INPUT_ARG and TARGET_ARG stand for the local files
    cImageBuilder oImage;
    std::vector<uint8_t> lInput;       // contents of the local file "--write" copies in
    std::vector<cByteRange> lMayTouch; // the only device bytes the command may change
    std::string sWrittenFile;          // the image file whose contents the command rewrites, if any
};

// Placeholders in cCommandCase::lArgs.
extern const char INPUT_ARG[];  // the local file "--write" reads
extern const char TARGET_ARG[]; // the local file "--read" creates

// The sample images and where their files lie.
namespace sample {
extern const uint32_t KERNEL_OFFSET; // page-aligned
extern const uint32_t ROOTFS_OFFSET; // inside a page
extern const uint32_t MAC_OFFSET;    // the MAC text crosses a page boundary
extern const char DEVICE_ID[];
extern const uint32_t FULL_WRITE_OFFSET; // the file rewritten in the full table
extern const char FULL_WRITE_NAME[];
extern const char FULL_RENAME_EARLY_NAME[]; // its slot lies in the first half of a page
extern const char FULL_RENAME_LATE_NAME[];  // its slot lies in the second half of a page

// A few files, a MAC address and a device identifier; the FAT fits one page.
cImageBuilder smallImage();
// 1023 entries: the FAT fills all its pages.
cImageBuilder fullImage();
// Reproducible filler bytes.
std::vector<uint8_t> randomBytes(size_t iCount, uint32_t iSeed);
// The FAT's bytes, for the commands that rewrite it.
cByteRange fatRange();
} // namespace sample

// A scratch directory holding the image and the local files of one command case.
class cFaultBench {
  public:
    explicit cFaultBench(const cCommandCase& oCase);

    // Puts back the image, the input file and the old target file, removes the log.
    void reset() const;
    // Runs the tool on the image with the case's arguments, the interposer watching the
    // device and both local files and logging to logPath(); lExtraArgs replace the
    // case's arguments when given.
    cRunResult run(cIoSetup oSetup, const std::vector<std::string>& lExtraArgs = {}) const;
    cIoLog log() const { return cIoLog(logPath()); }

    std::vector<uint8_t> image() const { return readBytes(imagePath()); }
    const std::vector<uint8_t>& before() const { return lBefore; }
    // The local file "--read" creates: its contents before every run.
    const std::vector<uint8_t>& oldTarget() const { return lOldTarget; }
    std::vector<uint8_t> target() const { return readBytes(targetPath()); }
    std::vector<uint8_t> input() const { return readBytes(inputPath()); }

    std::string imagePath() const { return oDir.file("image.bin"); }
    std::string inputPath() const { return oDir.file("input.bin"); }
    std::string targetPath() const { return oDir.file("target.bin"); }
    std::string logPath() const { return oDir.file("io.log"); }
    // The case's arguments with the placeholders replaced.
    std::vector<std::string> args() const;

  private:
    const cCommandCase& oCase;
    cTempDir oDir;
    std::vector<uint8_t> lBefore;
    std::vector<uint8_t> lOldTarget;
};

// Names the case in test output.
void PrintTo(const cCommandCase& oCase, std::ostream* pOut);

// The bytes of lImage outside every range of lOwned that differ from lBefore, as
// "first differing offset (count)" text, or empty when there are none.
std::string foreignChanges(const std::vector<uint8_t>& lBefore, const std::vector<uint8_t>& lImage,
                           const std::vector<cByteRange>& lOwned);
