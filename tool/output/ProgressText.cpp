#include "output/ProgressText.h"

#include <cstdio>

namespace kvtool {

namespace {

const char* Unit(bool bFiles)
{
    return bFiles ? "files" : "MiB";
}

// Below this the rate is mostly start-up noise.
const double kdMinElapsed = 0.05;

} // namespace

std::string FormatDuration(double dSeconds)
{
    if (dSeconds < 0)
        dSeconds = 0;
    unsigned long long ullTotal = static_cast<unsigned long long>(dSeconds + 0.5);
    unsigned long long ullHours = ullTotal / 3600;
    unsigned uMinutes = static_cast<unsigned>(ullTotal / 60 % 60);
    unsigned uSeconds = static_cast<unsigned>(ullTotal % 60);
    char sz[48];
    if (ullHours)
        std::snprintf(sz, sizeof sz, "%llu:%02u:%02u", ullHours, uMinutes, uSeconds);
    else
        std::snprintf(sz, sizeof sz, "%u:%02u", uMinutes, uSeconds);
    return sz;
}

std::string FormatProgressBar(const CProgressSnapshot& snap, int iBarWidth)
{
    std::string strBar = "[";
    int iFilled = 0;
    if (snap.uTotal) {
        unsigned long long ullFilled = static_cast<unsigned long long>(snap.uDone) * iBarWidth / snap.uTotal;
        iFilled =
            ullFilled > static_cast<unsigned long long>(iBarWidth) ? iBarWidth : static_cast<int>(ullFilled);
    }
    strBar.append(iFilled, '#');
    strBar.append(iBarWidth - iFilled, '-');
    strBar += "]  ";

    char sz[64];
    if (snap.uTotal)
        std::snprintf(sz, sizeof sz, "%u/%u %s", snap.uDone, snap.uTotal, Unit(snap.bFiles));
    else
        std::snprintf(sz, sizeof sz, "%u %s", snap.uDone, Unit(snap.bFiles));
    strBar += sz;

    if (snap.uTotal) {
        // A folder entry can bring more matching files than the count says.
        unsigned long long ullPercent = static_cast<unsigned long long>(snap.uDone) * 100 / snap.uTotal;
        std::snprintf(sz, sizeof sz, "  %3llu%%", ullPercent > 100 ? 100ULL : ullPercent);
        strBar += sz;
    }
    if (snap.dElapsed >= kdMinElapsed) {
        double dRate = snap.uDone / snap.dElapsed;
        std::snprintf(sz, sizeof sz, "  %.1f %s/s", dRate, Unit(snap.bFiles));
        strBar += sz;
        if (snap.uTotal > snap.uDone && dRate > 0)
            strBar += "  " + FormatDuration((snap.uTotal - snap.uDone) / dRate) + " left";
    }
    return strBar;
}

std::string FitProgressBar(const CProgressSnapshot& snap, int iColumns)
{
    const int iMaxBar = 40;
    const int iMinBar = 10;
    const std::string strBare = FormatProgressBar(snap, 0); // "[]  12/40 MiB ..."
    const int iRoom = iColumns - 1 - static_cast<int>(strBare.size());
    if (iRoom >= iMinBar)
        return FormatProgressBar(snap, iRoom < iMaxBar ? iRoom : iMaxBar);
    std::string strNumbers = strBare.substr(4);
    if (iColumns > 1 && strNumbers.size() > static_cast<size_t>(iColumns - 1))
        strNumbers.resize(iColumns - 1);
    return strNumbers;
}

std::string FormatProgressLine(const CProgressSnapshot& snap)
{
    char sz[64];
    if (snap.uTotal)
        std::snprintf(sz, sizeof sz, "progress: %u of %u %s", snap.uDone, snap.uTotal, Unit(snap.bFiles));
    else
        std::snprintf(sz, sizeof sz, "progress: %u %s", snap.uDone, Unit(snap.bFiles));
    return sz;
}

std::string FormatBeginLine(unsigned uTotal, bool bFiles)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "begin: %u %s to %s", uTotal, Unit(bFiles), bFiles ? "check" : "read");
    return sz;
}

} // namespace kvtool
