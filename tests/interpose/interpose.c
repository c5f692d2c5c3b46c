/* I/O interposition for tests and benchmarks of the real binary: preloaded with
 * LD_PRELOAD, it watches the calls the tool makes on the flash device and on chosen
 * local files, logs them, and can make one of them fail, slow the device down or end
 * the process in the middle of a page write. The tool itself knows nothing of this.
 *
 * Environment (all optional; without BRX_IO_DEVICE and BRX_IO_FILES nothing is watched):
 *
 *   BRX_IO_DEVICE=PATH
 *       The device. Descriptors opened from PATH (open, open64, openat, openat64) are
 *       watched: kinds open, lseek (lseek, lseek64), read, write, close.
 *   BRX_IO_FILES=PATH[:PATH...]
 *       Local files. Streams opened from these paths (fopen, fopen64) are watched:
 *       kinds fopen, fread, fwrite, fseek (fseek, fseeko, fseeko64), ftell (ftell,
 *       ftello, ftello64), fclose; rewind is logged but never fails.
 *       A path matches when the text is equal or when both name the same existing file.
 *   BRX_IO_FAIL=KIND:K:MODE[,KIND:K:MODE...]
 *       The K-th call (counting from 1) of KIND on watched targets fails:
 *         error     returns the kind's failure value with errno EIO (-1, NULL, EOF, or
 *                   for fread/fwrite 0 with the stream's error flag set); a failing
 *                   close or fclose still releases the descriptor or stream;
 *         short     read, write, fread, fwrite transfer half the requested count
 *                   (strictly fewer than asked) and return that;
 *         wrongpos  lseek, fseek land one byte past the requested position; lseek
 *                   returns that position, ftell reports one byte more than the truth.
 *   BRX_IO_CUT=K:before|torn
 *       Power cut at the K-th device page written (counting 1056-byte pages across
 *       write calls): the pages of that call before page K are written, for "torn"
 *       also the first half of page K, then the process is killed with SIGKILL.
 *   BRX_IO_DELAY_US=N
 *       Sleeps N microseconds per device page read or written.
 *   BRX_IO_LOG=PATH
 *       Appends one line per watched call, written at once, so the log survives an
 *       abrupt end:
 *         KIND POS LENGTH RESULT [PATH]
 *       POS is the descriptor's or stream's position before the call (for lseek and
 *       fseek the requested offset, LENGTH then holds the origin), LENGTH the bytes
 *       asked for, RESULT the return value, in bytes for fread and fwrite (0/-1 for
 *       open and fopen: success or failure). open and fopen lines end with the path. A
 *       power cut logs the partial write it made. Injected events add lines
 *         fault KIND K MODE          before the failing call's own line
 *         cut PAGE before|torn       just before the process is killed
 *         stdout 0 BYTES 0           standard output flushed with BYTES buffered
 *       The stdout lines tell which output was printed before which call: the tool
 *       flushes every line it prints.
 *       tests/interpose/cIoLog.h reads this format.
 */
#undef _FILE_OFFSET_BITS
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#define _LARGEFILE64_SOURCE

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

enum {
    DEVICE_PAGE_SIZE = 1056, /* the board's flash page */
    MAX_FDS = 1024,
    MAX_STREAMS = 16,
    MAX_FILES = 16,
    MAX_FAULTS = 8,
    MAX_PATH_TEXT = 4096,
    LOG_LINE = 4096 + 128,
    STREAM_ERROR_FLAG = 0x20 /* glibc's _IO_ERR_SEEN: what ferror() tests */
};

enum eKind {
    K_OPEN,
    K_LSEEK,
    K_READ,
    K_WRITE,
    K_CLOSE,
    K_FOPEN,
    K_FREAD,
    K_FWRITE,
    K_FSEEK,
    K_FTELL,
    K_FCLOSE,
    K_COUNT
};
static const char* const KIND_NAMES[K_COUNT] = {"open",  "lseek",  "read",  "write", "close", "fopen",
                                                "fread", "fwrite", "fseek", "ftell", "fclose"};

enum eMode { M_NONE, M_ERROR, M_SHORT, M_WRONGPOS };
static const char* const MODE_NAMES[] = {"none", "error", "short", "wrongpos"};

struct cFault {
    int iKind;
    long iCall;
    int iMode;
};

/* The real functions, found behind this library. */
static int (*real_open)(const char*, int, ...);
static int (*real_open64)(const char*, int, ...);
static int (*real_openat)(int, const char*, int, ...);
static int (*real_openat64)(int, const char*, int, ...);
static off_t (*real_lseek)(int, off_t, int);
static off64_t (*real_lseek64)(int, off64_t, int);
static ssize_t (*real_read)(int, void*, size_t);
static ssize_t (*real_write)(int, const void*, size_t);
static int (*real_close)(int);
static FILE* (*real_fopen)(const char*, const char*);
static FILE* (*real_fopen64)(const char*, const char*);
static size_t (*real_fread)(void*, size_t, size_t, FILE*);
static size_t (*real_fwrite)(const void*, size_t, size_t, FILE*);
static int (*real_fseek)(FILE*, long, int);
static int (*real_fseeko)(FILE*, off_t, int);
static int (*real_fseeko64)(FILE*, off64_t, int);
static long (*real_ftell)(FILE*);
static off_t (*real_ftello)(FILE*);
static off64_t (*real_ftello64)(FILE*);
static int (*real_fclose)(FILE*);
static void (*real_rewind)(FILE*);
static int (*real_fflush)(FILE*);

static int bConfigured;
static const char* sDevicePath;
static char aFilePaths[MAX_FILES][MAX_PATH_TEXT];
static int iFileCount;
static struct cFault aFaults[MAX_FAULTS];
static int iFaultCount;
static long iCutPage; /* 0: no cut */
static int bCutTorn;
static long iDelayUs;
static const char* sLogPath;
static int iLogFd = -1;

static unsigned char aWatchedFds[MAX_FDS];
static FILE* aWatchedStreams[MAX_STREAMS];
static long aCalls[K_COUNT];
static long iPagesWritten;

#define RESOLVE(name)                                                                                        \
    do {                                                                                                     \
        if (real_##name == NULL)                                                                             \
            *(void**)&real_##name = dlsym(RTLD_NEXT, #name);                                                 \
    } while (0)

static int parseMode(const char* sText) {
    for (int i = M_ERROR; i <= M_WRONGPOS; ++i)
        if (strcmp(sText, MODE_NAMES[i]) == 0)
            return i;
    return M_NONE;
}

static void parseFaults(const char* sSpec) {
    char aCopy[MAX_PATH_TEXT];
    snprintf(aCopy, sizeof aCopy, "%s", sSpec);
    char* pSave = NULL;
    for (char* sItem = strtok_r(aCopy, ",", &pSave); sItem && iFaultCount < MAX_FAULTS;
         sItem = strtok_r(NULL, ",", &pSave)) {
        char aKind[32], aMode[32];
        long iCall = 0;
        if (sscanf(sItem, "%31[^:]:%ld:%31s", aKind, &iCall, aMode) != 3)
            continue;
        for (int iKind = 0; iKind < K_COUNT; ++iKind) {
            if (strcmp(aKind, KIND_NAMES[iKind]) == 0 && parseMode(aMode) != M_NONE) {
                aFaults[iFaultCount].iKind = iKind;
                aFaults[iFaultCount].iCall = iCall;
                aFaults[iFaultCount].iMode = parseMode(aMode);
                ++iFaultCount;
            }
        }
    }
}

static void configure(void) {
    if (bConfigured)
        return;
    bConfigured = 1;
    const char* sValue = getenv("BRX_IO_DEVICE");
    sDevicePath = sValue && *sValue ? sValue : NULL;
    if ((sValue = getenv("BRX_IO_FILES")) != NULL) {
        const char* pStart = sValue;
        while (*pStart && iFileCount < MAX_FILES) {
            const char* pEnd = strchr(pStart, ':');
            const size_t iLength = pEnd ? (size_t)(pEnd - pStart) : strlen(pStart);
            if (iLength > 0 && iLength < MAX_PATH_TEXT) {
                memcpy(aFilePaths[iFileCount], pStart, iLength);
                aFilePaths[iFileCount][iLength] = 0;
                ++iFileCount;
            }
            if (!pEnd)
                break;
            pStart = pEnd + 1;
        }
    }
    if ((sValue = getenv("BRX_IO_FAIL")) != NULL)
        parseFaults(sValue);
    if ((sValue = getenv("BRX_IO_CUT")) != NULL) {
        char aHow[16] = "";
        if (sscanf(sValue, "%ld:%15s", &iCutPage, aHow) != 2 || iCutPage < 1 ||
            (strcmp(aHow, "before") != 0 && strcmp(aHow, "torn") != 0))
            iCutPage = 0;
        bCutTorn = strcmp(aHow, "torn") == 0;
    }
    if ((sValue = getenv("BRX_IO_DELAY_US")) != NULL)
        iDelayUs = atol(sValue);
    sValue = getenv("BRX_IO_LOG");
    sLogPath = sValue && *sValue ? sValue : NULL;
}

static void logLine(const char* sFormat, ...) {
    if (!sLogPath)
        return;
    RESOLVE(open);
    RESOLVE(write);
    if (iLogFd < 0)
        iLogFd = real_open(sLogPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (iLogFd < 0)
        return;
    char aLine[LOG_LINE];
    va_list oArgs;
    va_start(oArgs, sFormat);
    int iLength = vsnprintf(aLine, sizeof aLine, sFormat, oArgs);
    va_end(oArgs);
    if (iLength < 0)
        return;
    if ((size_t)iLength >= sizeof aLine)
        iLength = sizeof aLine - 1;
    const int iSavedErrno = errno;
    if (real_write(iLogFd, aLine, (size_t)iLength) < 0) {
        /* a lost log line shows as a count mismatch in the reader */
    }
    errno = iSavedErrno;
}

/* Counts one call of the kind on a watched target; the mode of the fault it meets. */
static int nextCall(int iKind) {
    const long iCall = ++aCalls[iKind];
    for (int i = 0; i < iFaultCount; ++i) {
        if (aFaults[i].iKind == iKind && aFaults[i].iCall == iCall) {
            logLine("fault %s %ld %s\n", KIND_NAMES[iKind], iCall, MODE_NAMES[aFaults[i].iMode]);
            return aFaults[i].iMode;
        }
    }
    return M_NONE;
}

static int sameFile(const char* sA, const char* sB) {
    if (strcmp(sA, sB) == 0)
        return 1;
    struct stat oA, oB;
    return stat(sA, &oA) == 0 && stat(sB, &oB) == 0 && oA.st_dev == oB.st_dev && oA.st_ino == oB.st_ino;
}

static int isDevicePath(const char* sPath) {
    configure();
    return sDevicePath && sPath && sameFile(sPath, sDevicePath);
}

static int isWatchedFile(const char* sPath) {
    configure();
    for (int i = 0; sPath && i < iFileCount; ++i)
        if (sameFile(sPath, aFilePaths[i]))
            return 1;
    return 0;
}

static int isWatchedFd(int iFd) {
    return iFd >= 0 && iFd < MAX_FDS && aWatchedFds[iFd];
}

static int isWatchedStream(FILE* pFile) {
    for (int i = 0; pFile && i < MAX_STREAMS; ++i)
        if (aWatchedStreams[i] == pFile)
            return 1;
    return 0;
}

static void forgetStream(FILE* pFile) {
    for (int i = 0; i < MAX_STREAMS; ++i)
        if (aWatchedStreams[i] == pFile)
            aWatchedStreams[i] = NULL;
}

static void rememberStream(FILE* pFile) {
    for (int i = 0; i < MAX_STREAMS; ++i) {
        if (aWatchedStreams[i] == NULL) {
            aWatchedStreams[i] = pFile;
            return;
        }
    }
}

static long long fdPosition(int iFd) {
    RESOLVE(lseek64);
    return (long long)real_lseek64(iFd, 0, SEEK_CUR);
}

static long long streamPosition(FILE* pFile) {
    RESOLVE(ftello64);
    return (long long)real_ftello64(pFile);
}

static void delayPages(size_t iBytes) {
    if (iDelayUs > 0 && iBytes > 0)
        usleep((useconds_t)(iDelayUs * (long)((iBytes + DEVICE_PAGE_SIZE - 1) / DEVICE_PAGE_SIZE)));
}

/* ---- device descriptors ---- */

static int watchOpen(const char* sPath, int iFd, int bFail) {
    if (bFail) {
        errno = EIO;
        iFd = -1;
    }
    if (iFd >= 0 && iFd < MAX_FDS)
        aWatchedFds[iFd] = 1;
    logLine("open 0 0 %d %s\n", iFd < 0 ? -1 : 0, sPath);
    return iFd;
}

static mode_t modeArgument(int iFlags, va_list oArgs) {
    return (iFlags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(oArgs, int) : 0;
}

#define OPEN_BODY(CALL)                                                                                      \
    va_list oArgs;                                                                                           \
    va_start(oArgs, iFlags);                                                                                 \
    const mode_t iMode = modeArgument(iFlags, oArgs);                                                        \
    va_end(oArgs);                                                                                           \
    if (!isDevicePath(sPath))                                                                                \
        return CALL;                                                                                         \
    const int bFail = nextCall(K_OPEN) == M_ERROR;                                                           \
    if (bFail)                                                                                               \
        return watchOpen(sPath, -1, 1);                                                                      \
    return watchOpen(sPath, CALL, 0)

int open(const char* sPath, int iFlags, ...) {
    RESOLVE(open);
    OPEN_BODY(real_open(sPath, iFlags, iMode));
}

int open64(const char* sPath, int iFlags, ...) {
    RESOLVE(open64);
    OPEN_BODY(real_open64(sPath, iFlags, iMode));
}

int openat(int iDir, const char* sPath, int iFlags, ...) {
    RESOLVE(openat);
    OPEN_BODY(real_openat(iDir, sPath, iFlags, iMode));
}

int openat64(int iDir, const char* sPath, int iFlags, ...) {
    RESOLVE(openat64);
    OPEN_BODY(real_openat64(iDir, sPath, iFlags, iMode));
}

static long long watchedSeek(int iFd, long long iOffset, int iWhence) {
    RESOLVE(lseek64);
    const int iMode = nextCall(K_LSEEK);
    long long iResult;
    if (iMode == M_ERROR) {
        errno = EIO;
        iResult = -1;
    } else if (iMode == M_WRONGPOS) {
        iResult = (long long)real_lseek64(iFd, (off64_t)iOffset + 1, iWhence);
    } else {
        iResult = (long long)real_lseek64(iFd, (off64_t)iOffset, iWhence);
    }
    logLine("lseek %lld %d %lld\n", iOffset, iWhence, iResult);
    return iResult;
}

off_t lseek(int iFd, off_t iOffset, int iWhence) {
    RESOLVE(lseek);
    if (!isWatchedFd(iFd))
        return real_lseek(iFd, iOffset, iWhence);
    return (off_t)watchedSeek(iFd, iOffset, iWhence);
}

off64_t lseek64(int iFd, off64_t iOffset, int iWhence) {
    RESOLVE(lseek64);
    if (!isWatchedFd(iFd))
        return real_lseek64(iFd, iOffset, iWhence);
    return (off64_t)watchedSeek(iFd, iOffset, iWhence);
}

ssize_t read(int iFd, void* pBuffer, size_t iCount) {
    RESOLVE(read);
    if (!isWatchedFd(iFd))
        return real_read(iFd, pBuffer, iCount);
    const long long iPos = fdPosition(iFd);
    const int iMode = nextCall(K_READ);
    ssize_t iResult;
    if (iMode == M_ERROR) {
        errno = EIO;
        iResult = -1;
    } else {
        iResult = real_read(iFd, pBuffer, iMode == M_SHORT ? iCount / 2 : iCount);
        delayPages(iResult > 0 ? (size_t)iResult : 0);
    }
    logLine("read %lld %zu %zd\n", iPos, iCount, iResult);
    return iResult;
}

/* The power cut: the pages of this call before the cut page (and half of that page for
 * a torn cut) reach the device, then the process dies without unwinding. */
static void cutPower(int iFd, const void* pBuffer, long long iPos, long iPageInCall) {
    size_t iBytes = (size_t)iPageInCall * DEVICE_PAGE_SIZE;
    if (bCutTorn)
        iBytes += DEVICE_PAGE_SIZE / 2;
    if (iBytes > 0) {
        const ssize_t iDone = real_write(iFd, pBuffer, iBytes);
        logLine("write %lld %zu %zd\n", iPos, iBytes, iDone);
    }
    logLine("cut %lld %s\n", iPos / DEVICE_PAGE_SIZE + iPageInCall, bCutTorn ? "torn" : "before");
    kill(getpid(), SIGKILL);
    _exit(EXIT_FAILURE); /* not reached */
}

ssize_t write(int iFd, const void* pBuffer, size_t iCount) {
    RESOLVE(write);
    if (!isWatchedFd(iFd))
        return real_write(iFd, pBuffer, iCount);
    const long long iPos = fdPosition(iFd);
    const long iPages = (long)((iCount + DEVICE_PAGE_SIZE - 1) / DEVICE_PAGE_SIZE);
    if (iCutPage > 0 && iCutPage > iPagesWritten && iCutPage <= iPagesWritten + iPages)
        cutPower(iFd, pBuffer, iPos, iCutPage - iPagesWritten - 1);
    const int iMode = nextCall(K_WRITE);
    ssize_t iResult;
    if (iMode == M_ERROR) {
        errno = EIO;
        iResult = -1;
    } else {
        iPagesWritten += iPages;
        iResult = real_write(iFd, pBuffer, iMode == M_SHORT ? iCount / 2 : iCount);
        delayPages(iResult > 0 ? (size_t)iResult : 0);
    }
    logLine("write %lld %zu %zd\n", iPos, iCount, iResult);
    return iResult;
}

int close(int iFd) {
    RESOLVE(close);
    if (!isWatchedFd(iFd))
        return real_close(iFd);
    aWatchedFds[iFd] = 0;
    const int iMode = nextCall(K_CLOSE);
    int iResult = real_close(iFd);
    if (iMode == M_ERROR) {
        errno = EIO;
        iResult = -1;
    }
    logLine("close 0 0 %d\n", iResult);
    return iResult;
}

/* ---- local file streams ---- */

static FILE* watchFopen(const char* sPath, FILE* pFile) {
    if (pFile)
        rememberStream(pFile);
    logLine("fopen 0 0 %d %s\n", pFile ? 0 : -1, sPath);
    return pFile;
}

FILE* fopen(const char* sPath, const char* sMode) {
    RESOLVE(fopen);
    if (!isWatchedFile(sPath))
        return real_fopen(sPath, sMode);
    if (nextCall(K_FOPEN) == M_ERROR) {
        errno = EIO;
        return watchFopen(sPath, NULL);
    }
    return watchFopen(sPath, real_fopen(sPath, sMode));
}

FILE* fopen64(const char* sPath, const char* sMode) {
    RESOLVE(fopen64);
    if (!isWatchedFile(sPath))
        return real_fopen64(sPath, sMode);
    if (nextCall(K_FOPEN) == M_ERROR) {
        errno = EIO;
        return watchFopen(sPath, NULL);
    }
    return watchFopen(sPath, real_fopen64(sPath, sMode));
}

size_t fread(void* pBuffer, size_t iSize, size_t iCount, FILE* pFile) {
    RESOLVE(fread);
    if (!isWatchedStream(pFile))
        return real_fread(pBuffer, iSize, iCount, pFile);
    const long long iPos = streamPosition(pFile);
    const int iMode = nextCall(K_FREAD);
    size_t iResult;
    if (iMode == M_ERROR) {
        pFile->_flags |= STREAM_ERROR_FLAG;
        errno = EIO;
        iResult = 0;
    } else {
        iResult = real_fread(pBuffer, iSize, iMode == M_SHORT ? iCount / 2 : iCount, pFile);
    }
    logLine("fread %lld %zu %zu\n", iPos, iSize * iCount, iResult * iSize);
    return iResult;
}

size_t fwrite(const void* pBuffer, size_t iSize, size_t iCount, FILE* pFile) {
    RESOLVE(fwrite);
    if (!isWatchedStream(pFile))
        return real_fwrite(pBuffer, iSize, iCount, pFile);
    const long long iPos = streamPosition(pFile);
    const int iMode = nextCall(K_FWRITE);
    size_t iResult;
    if (iMode == M_ERROR) {
        pFile->_flags |= STREAM_ERROR_FLAG;
        errno = EIO;
        iResult = 0;
    } else {
        iResult = real_fwrite(pBuffer, iSize, iMode == M_SHORT ? iCount / 2 : iCount, pFile);
    }
    logLine("fwrite %lld %zu %zu\n", iPos, iSize * iCount, iResult * iSize);
    return iResult;
}

static int watchedFseek(FILE* pFile, long long iOffset, int iWhence) {
    RESOLVE(fseeko64);
    const int iMode = nextCall(K_FSEEK);
    int iResult;
    if (iMode == M_ERROR) {
        errno = EIO;
        iResult = -1;
    } else {
        iResult = real_fseeko64(pFile, (off64_t)(iOffset + (iMode == M_WRONGPOS ? 1 : 0)), iWhence);
    }
    logLine("fseek %lld %d %d\n", iOffset, iWhence, iResult);
    return iResult;
}

int fseek(FILE* pFile, long iOffset, int iWhence) {
    RESOLVE(fseek);
    if (!isWatchedStream(pFile))
        return real_fseek(pFile, iOffset, iWhence);
    return watchedFseek(pFile, iOffset, iWhence);
}

int fseeko(FILE* pFile, off_t iOffset, int iWhence) {
    RESOLVE(fseeko);
    if (!isWatchedStream(pFile))
        return real_fseeko(pFile, iOffset, iWhence);
    return watchedFseek(pFile, iOffset, iWhence);
}

int fseeko64(FILE* pFile, off64_t iOffset, int iWhence) {
    RESOLVE(fseeko64);
    if (!isWatchedStream(pFile))
        return real_fseeko64(pFile, iOffset, iWhence);
    return watchedFseek(pFile, iOffset, iWhence);
}

static long long watchedFtell(FILE* pFile) {
    const long long iTruth = streamPosition(pFile);
    const int iMode = nextCall(K_FTELL);
    long long iResult = iTruth;
    if (iMode == M_ERROR) {
        errno = EIO;
        iResult = -1;
    } else if (iMode == M_WRONGPOS && iTruth >= 0) {
        iResult = iTruth + 1;
    }
    logLine("ftell %lld 0 %lld\n", iTruth, iResult);
    return iResult;
}

long ftell(FILE* pFile) {
    RESOLVE(ftell);
    if (!isWatchedStream(pFile))
        return real_ftell(pFile);
    return (long)watchedFtell(pFile);
}

off_t ftello(FILE* pFile) {
    RESOLVE(ftello);
    if (!isWatchedStream(pFile))
        return real_ftello(pFile);
    return (off_t)watchedFtell(pFile);
}

off64_t ftello64(FILE* pFile) {
    RESOLVE(ftello64);
    if (!isWatchedStream(pFile))
        return real_ftello64(pFile);
    return (off64_t)watchedFtell(pFile);
}

void rewind(FILE* pFile) {
    RESOLVE(rewind);
    if (isWatchedStream(pFile)) {
        const long long iPos = streamPosition(pFile);
        logLine("rewind %lld 0 0\n", iPos);
    }
    real_rewind(pFile);
}

int fclose(FILE* pFile) {
    RESOLVE(fclose);
    if (!isWatchedStream(pFile))
        return real_fclose(pFile);
    forgetStream(pFile);
    const int iMode = nextCall(K_FCLOSE);
    int iResult = real_fclose(pFile);
    if (iMode == M_ERROR) {
        errno = EIO;
        iResult = EOF;
    }
    logLine("fclose 0 0 %d\n", iResult);
    return iResult;
}

int fflush(FILE* pFile) {
    RESOLVE(fflush);
    if (pFile != NULL && pFile == stdout) {
        configure();
        logLine("stdout 0 %ld 0\n", (long)(pFile->_IO_write_ptr - pFile->_IO_write_base));
    }
    return real_fflush(pFile);
}
