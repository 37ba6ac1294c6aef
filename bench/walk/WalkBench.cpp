// A whole VerifyBurning run over descriptions of many tiny file entries, all
// naming the same source and disc copy: the walk, the reader and the file
// comparison per entry, without millions of files on the disk. The time per
// entry must not grow with the number of entries, and the heap must not grow
// while the entries are walked.
#include <windows.h>

#include "Korvane.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace {

namespace fs = std::filesystem;

const char kszBytes[] = "tiny file, the same on both sides\n";

// Bytes the heap hands out, where the C library can tell; -1 elsewhere.
long long HeapInUse()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#else
    return -1;
#endif
}

// Resident bytes now; -1 where not known.
long long ResidentBytes()
{
#if defined(_WIN32)
    return -1;
#else
    long long llPages = 0;
    long long llResident = 0;
    FILE* pFile = std::fopen("/proc/self/statm", "r");
    if (!pFile)
        return -1;
    const int iRead = std::fscanf(pFile, "%lld %lld", &llPages, &llResident);
    std::fclose(pFile);
    return iRead == 2 ? llResident * 4096 : -1;
#endif
}

// The most this process was ever resident; -1 where not known.
long long PeakResidentBytes()
{
#if defined(_WIN32)
    return -1;
#else
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return -1;
    return static_cast<long long>(usage.ru_maxrss) * 1024;
#endif
}

// The source folder and the disc folder with one tiny file each, and the
// description of nFiles entries naming that pair.
class CMedium {
  public:
    explicit CMedium(int nFiles)
        : m_root(fs::temp_directory_path() / ("korvane_walk_bench_" + std::to_string(nFiles)))
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
        fs::create_directories(m_root / "src");
        fs::create_directories(m_root / "disc" / "t");
        for (const fs::path& file : {m_root / "src" / "a.dat", m_root / "disc" / "t" / "a.dat"}) {
            FILE* pFile = std::fopen(file.string().c_str(), "wb");
            if (pFile) {
                std::fwrite(kszBytes, 1, sizeof kszBytes - 1, pFile);
                std::fclose(pFile);
            }
        }
        // The disc is a drive letter: on Windows the drive the temporary
        // folder lies on, here a mapped one.
        std::string strDisc = (m_root / "disc").u8string();
#if defined(_WIN32)
        m_wcDrive = static_cast<wchar_t>(strDisc[0]);
        strDisc = strDisc.substr(2);
#else
        m_wcDrive = L'T';
        setenv("KORVANE_DRIVE_T", strDisc.c_str(), 1);
        strDisc.clear();
#endif
        WriteDescription(nFiles, (m_root / "src" / "a.dat").u8string(), strDisc + "\\t");
    }
    ~CMedium()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    CMedium(const CMedium&) = delete;
    CMedium& operator=(const CMedium&) = delete;

    wchar_t Drive() const
    {
        return m_wcDrive;
    }
    const std::wstring& Description() const
    {
        return m_strDescription;
    }
    bool IsReady() const
    {
        return m_bReady;
    }

  private:
    void WriteDescription(int nFiles, const std::string& strSource, const std::string& strTargetPath)
    {
        const fs::path file = m_root / "Media1.xml";
        m_strDescription = file.wstring();
        FILE* pFile = std::fopen(file.string().c_str(), "wb");
        if (!pFile)
            return;
        std::fprintf(pFile,
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Factory>\n  <Media>\n    <Info>\n"
                     "      <Media_NumberFiles>%d</Media_NumberFiles>\n      <Media_Size>%lld</Media_Size>\n"
                     "    </Info>\n  </Media>\n",
                     nFiles, static_cast<long long>(nFiles) * static_cast<long long>(sizeof kszBytes - 1));
        for (int i = 0; i < nFiles; ++i)
            std::fprintf(
                pFile,
                "  <FILE>\n    <FullPath>%s</FullPath>\n    <Path>\\t\\a.dat</Path>\n"
                "    <TargetPath>%s</TargetPath>\n    <Name>a.dat</Name>\n    <Attribute>32</Attribute>\n"
                "    <Exclusion>0</Exclusion>\n    <FileSize>%u</FileSize>\n"
                "    <WriteTime>2026-12-08 03:08:26</WriteTime>\n  </FILE>\n",
                strSource.c_str(), strTargetPath.c_str(), static_cast<unsigned>(sizeof kszBytes - 1));
        std::fputs("</Factory>\n", pFile);
        m_bReady = std::fclose(pFile) == 0;
    }

    fs::path m_root;
    wchar_t m_wcDrive = L'T';
    std::wstring m_strDescription;
    bool m_bReady = false;
};

// What the host side sees of one run: when the walk began and ended, and the
// heap at those points and at its highest in between.
struct CRunWatch {
    typedef std::chrono::steady_clock Clock;
    Clock::time_point begin;
    Clock::time_point end;
    long long llHeapBegin = -1;
    long long llHeapEnd = -1;
    long long llHeapMax = -1;
    long long llResidentBegin = -1;
    long long llResidentEnd = -1;
    long long llPairs = 0;
    long long llProblems = 0;
    bool bEnded = false;

    void Sample()
    {
        const long long llHeap = HeapInUse();
        if (llHeap > llHeapMax)
            llHeapMax = llHeap;
    }
};

DWORD CALLBACK Watch(UINT uiCmd, LPVOID /*pParam1*/, DWORD /*dwParam2*/, LPVOID pParam3)
{
    CRunWatch& watch = *static_cast<CRunWatch*>(pParam3);
    switch (uiCmd) {
    case CRCVERIF_BEGIN:
        watch.llHeapBegin = HeapInUse();
        watch.llHeapMax = watch.llHeapBegin;
        watch.llResidentBegin = ResidentBytes();
        watch.begin = CRunWatch::Clock::now();
        break;
    case CRCVERIF_TARGETDONE:
        if (++watch.llPairs % 4096 == 0)
            watch.Sample();
        break;
    case CRCVERIF_FILEERROR:
        ++watch.llProblems;
        break;
    case CRCVERIF_END:
        watch.end = CRunWatch::Clock::now();
        watch.Sample();
        watch.llHeapEnd = HeapInUse();
        watch.llResidentEnd = ResidentBytes();
        watch.bEnded = true;
        break;
    default:
        break;
    }
    return CRCVERIF_ANSWER_SKIP;
}

void BM_VerifyRun(benchmark::State& state)
{
    const int nFiles = static_cast<int>(state.range(0));
    CMedium medium(nFiles);
    if (!medium.IsReady()) {
        state.SkipWithError("cannot write the medium");
        return;
    }
    double dWalkSeconds = 0;
    CRunWatch last;
    long long llHeapBeforeRun = -1;
    for (auto _ : state) {
        CRunWatch watch;
        llHeapBeforeRun = HeapInUse();
        CKorvane korvane;
        const HRESULT hr =
            korvane.VerifyBurning(medium.Drive(), medium.Description().c_str(), &Watch, &watch);
        if (hr != S_OK || !watch.bEnded || watch.llPairs != nFiles || watch.llProblems != 0) {
            state.SkipWithError("the run did not pass every entry");
            return;
        }
        dWalkSeconds += std::chrono::duration<double>(watch.end - watch.begin).count();
        last = watch;
    }
    const double dRuns = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * nFiles);
    // The whole run, the three loads of the description included.
    state.counters["time_per_entry"] = benchmark::Counter(
        nFiles, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    // From the start report to the end report: the walk alone.
    state.counters["walk_ns_per_entry"] = dWalkSeconds / dRuns / nFiles * 1e9;
    if (last.llHeapBegin >= 0 && llHeapBeforeRun >= 0) {
        // What the loaded description costs the library, per entry.
        state.counters["heap_loaded_per_entry"] =
            static_cast<double>(last.llHeapBegin - llHeapBeforeRun) / nFiles;
        // How much more the heap held at any point of the walk than at its start.
        state.counters["heap_walk_growth"] = static_cast<double>(last.llHeapMax - last.llHeapBegin);
    }
    if (last.llResidentBegin >= 0) {
        state.counters["rss_walk_growth"] = static_cast<double>(last.llResidentEnd - last.llResidentBegin);
        state.counters["rss_peak_mb"] = static_cast<double>(PeakResidentBytes()) / 1e6;
    }
}

} // namespace

// --large adds a run over a million entries (a 270 MB description, about a
// minute). The peak resident size is the process's: the largest run is last.
int main(int argc, char** argv)
{
    bool bLarge = false;
    int nArgs = 0;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--large") == 0)
            bLarge = true;
        else
            argv[nArgs++] = argv[i];
    }
    argc = nArgs;
    auto* pBench = benchmark::RegisterBenchmark("BM_VerifyRun", BM_VerifyRun);
    pBench->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
    // One run is long enough to measure; more would only cost minutes.
    auto* pLong = benchmark::RegisterBenchmark("BM_VerifyRun", BM_VerifyRun);
    pLong->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
    if (bLarge)
        pLong->Arg(1000000);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
