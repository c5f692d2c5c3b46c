// The words of the command line and of @FILEs, and the options they set.
#include "host/mktinyfs/commandLine.h"

#include "host/mktinyfs/cInputFile.h"
#include "host/mktinyfs/manifestWords.h"
#include "host/mktinyfs/messageText.h"

namespace {

constexpr size_t ARGUMENT_FILE_MAX = 1 << 20;
constexpr unsigned ARGUMENT_FILE_DEPTH = 16;

// An argument, and the folder its relative paths start from: an @FILE's own folder for
// the words read from it.
struct cWord {
    std::string sText;
    std::string sBase;
    unsigned iDepth = 0; // how many @FILEs it comes through
};

std::string resolve(const cWord& oWord, const std::string& sPath) {
    return sPath.empty() || sPath[0] == '/' ? sPath : oWord.sBase + sPath;
}

class cArguments {
  public:
    cArguments(int iArgc, char** pArgv) {
        for (int i = 1; i < iArgc; ++i)
            lArgs.push_back({pArgv[i], "", 0});
    }

    cOptions parse() {
        cOptions oOptions;
        while (iNext < lArgs.size() && !oOptions.bHelp) {
            const cWord oArg = lArgs[iNext++];
            if (oArg.sText.size() > 1 && oArg.sText[0] == '@')
                expand(oArg);
            else if (oArg.sText.rfind("--", 0) == 0)
                parseOption(oArg.sText, oOptions);
            else
                parseWord(oArg, oOptions);
        }
        if (oOptions.bHelp)
            return oOptions;
        const bool bBuild =
            oOptions.sOutput || !oOptions.lFiles.empty() || oOptions.sDeviceId || oOptions.sMac;
        const bool bDevice = oOptions.sProgramImage || oOptions.sDumpDevice || oOptions.bForce;
        if (!oOptions.lImages.empty()) {
            if (bBuild || oOptions.sExtractImage || oOptions.bSalvage || bDevice)
                throw std::string("--info IMAGE and --diff OLD NEW take no other arguments but --json");
        } else if (oOptions.bJson) {
            throw std::string("--json goes with --info IMAGE or --diff OLD NEW");
        } else if (oOptions.sExtractImage) {
            if (bBuild || bDevice)
                throw std::string("--extract IMAGE DIR takes no other arguments but --salvage");
        } else if (oOptions.bSalvage) {
            throw std::string("--salvage goes with --extract IMAGE DIR");
        } else if (oOptions.sProgramImage) {
            if (bBuild)
                throw std::string("--program IMAGE DEVICE takes no other arguments but --force");
        } else if (oOptions.bForce) {
            throw std::string("--force goes with --program IMAGE DEVICE");
        } else if (oOptions.sDumpDevice) {
            if (bBuild)
                throw std::string("--dump DEVICE FILE takes no other arguments");
        } else if (!oOptions.sOutput) {
            throw std::string("missing OUTPUT (try --help)");
        }
        return oOptions;
    }

  private:
    std::string value(const std::string& sOption) {
        if (iNext >= lArgs.size())
            throw sOption + " needs a value";
        return lArgs[iNext++].sText;
    }

    // @FILE: the words of FILE take its place; relative paths in them start from FILE's
    // folder.
    void expand(const cWord& oArg) {
        const std::string sPath = resolve(oArg, oArg.sText.substr(1));
        if (oArg.iDepth >= ARGUMENT_FILE_DEPTH)
            throw "@FILEs nest more than " + std::to_string(ARGUMENT_FILE_DEPTH) + " deep at " +
                quoteForMessage(sPath) + " (does one name itself?)";
        const std::vector<std::string> lWords =
            splitWords(cInputFile(sPath).readWhole(ARGUMENT_FILE_MAX, "1 MiB"), "@" + sPath);
        const size_t iSlash = sPath.rfind('/');
        const std::string sBase = iSlash == std::string::npos ? "" : sPath.substr(0, iSlash + 1);
        std::vector<cWord> lExpanded;
        for (const std::string& sWord : lWords)
            lExpanded.push_back({sWord, sBase, oArg.iDepth + 1});
        lArgs.insert(lArgs.begin() + long(iNext), lExpanded.begin(), lExpanded.end());
    }

    // A file option applies to the file before it; an option given once may not come
    // again, for that file or on the line.
    void parseOption(const std::string& sOption, cOptions& oOptions) {
        const cOptionRow* pRow = findOption(sOption);
        if (!pRow)
            throw "unknown option " + quoteForMessage(sOption) + " (try --help)";
        cFileArgument* pFile = nullptr;
        if (pRow->iScope == SCOPE_FILE) {
            if (oOptions.lFiles.empty())
                throw sOption + " must follow a file (NAME=PATH or NAME=)";
            pFile = &oOptions.lFiles.back();
        }
        if (pRow->sOnce && !(pFile ? pFile->lGiven : oOptions.lGiven).insert(pRow->sOnce).second)
            throw std::string(pRow->sOnce) + " given twice" +
                (pFile ? " for " + quoteForMessage(pFile->oImageFile.sName) : "");
        pRow->fSet({oOptions, pFile, pRow->sName, [&] { return value(sOption); }});
    }

    static void parseWord(const cWord& oWord, cOptions& oOptions) {
        const std::string& sWord = oWord.sText;
        const size_t iEquals = sWord.find('=');
        if (!oOptions.sOutput) {
            if (iEquals != std::string::npos)
                throw "missing OUTPUT: " + quoteForMessage(sWord) + " is a file, the image path comes first";
            if (sWord.empty())
                throw std::string("empty OUTPUT path");
            oOptions.sOutput = resolve(oWord, sWord);
            return;
        }
        if (iEquals == std::string::npos)
            throw quoteForMessage(sWord) + " is not a file (NAME=PATH or NAME=)";
        cFileArgument oFile;
        oFile.oImageFile.sName = sWord.substr(0, iEquals);
        oFile.sPath = resolve(oWord, sWord.substr(iEquals + 1));
        oOptions.lFiles.push_back(oFile);
    }

    std::vector<cWord> lArgs;
    size_t iNext = 0;
};

} // namespace

cOptions readCommandLine(int iArgc, char** pArgv) {
    return cArguments(iArgc, pArgv).parse();
}
