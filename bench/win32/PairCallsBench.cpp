// What the Win32 layer costs per file pair of a verification: the calls the
// verifier makes on a disc file and its source, on small files in the page
// cache, so that the time is the layer's and the kernel's, not the disk's.
#include <kvwin32.h>
#include <shlwapi.h>
#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFolders = 10;
constexpr int kFilesPerFolder = 100;

// Two trees of 1 KiB files, mapped to E: (the disc) and F: (the source),
// laid out as the benchmark inputs are: <root>\small\dNNN\fNNNNNN.dat.
class CTrees {
  public:
    CTrees()
    {
        m_root = std::filesystem::temp_directory_path() / ("kvbench_win32_" + std::to_string(::getpid()));
        const std::string bytes(1024, 'k');
        for (const char* pszSide : {"disc", "src"}) {
            for (int d = 0; d < kFolders; ++d) {
                char szDir[32];
                std::snprintf(szDir, sizeof szDir, "small/d%03d", d);
                const std::filesystem::path dir = m_root / pszSide / szDir;
                std::filesystem::create_directories(dir);
                for (int f = 0; f < kFilesPerFolder; ++f) {
                    char szFile[32];
                    std::snprintf(szFile, sizeof szFile, "f%06d.dat", d * kFilesPerFolder + f);
                    std::ofstream(dir / szFile, std::ios::binary).write(bytes.data(), 1024);
                    if (pszSide[0] == 'd') {
                        const std::string strRel = std::string("\\small\\") + (szDir + 6) + "\\" + szFile;
                        m_vecRel.emplace_back(strRel.begin(), strRel.end());
                    }
                }
            }
        }
        setenv("KORVANE_DRIVE_E", (m_root / "disc").c_str(), 1);
        setenv("KORVANE_DRIVE_F", (m_root / "src").c_str(), 1);
    }
    ~CTrees()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    const std::vector<std::wstring>& Rel() const { return m_vecRel; }

  private:
    std::filesystem::path m_root;
    std::vector<std::wstring> m_vecRel; // "\small\d000\f000000.dat", ...
};

const CTrees& Trees()
{
    static CTrees trees;
    return trees;
}

bool ReadWhole(const std::wstring& strPath)
{
    HANDLE h =
        CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    static thread_local std::vector<char> s_buf(16384);
    DWORD dwRead = 0;
    const BOOL bOk = ReadFile(h, s_buf.data(), 16384, &dwRead, nullptr);
    CloseHandle(h);
    return bOk && dwRead == 1024;
}

// The verifier's calls for one pair.
void BM_PairCalls(benchmark::State& state)
{
    const std::vector<std::wstring>& vecRel = Trees().Rel();
    std::vector<std::wstring> vecDisc, vecSrc;
    for (const std::wstring& strRel : vecRel) {
        vecDisc.push_back(L"E:" + strRel);
        vecSrc.push_back(L"F:" + strRel);
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const std::wstring& strDisc = vecDisc[i];
        const std::wstring& strSrc = vecSrc[i];
        i = (i + 1) % vecDisc.size();
        bool bOk = PathFileExistsW(strDisc.c_str()) && PathFileExistsW(strSrc.c_str());
        WIN32_FIND_DATAW data;
        HANDLE hFind = FindFirstFileW(strDisc.c_str(), &data);
        bOk = bOk && hFind != INVALID_HANDLE_VALUE && FindClose(hFind);
        bOk = bOk && ReadWhole(strDisc) && ReadWhole(strSrc) && PathFileExistsW(strSrc.c_str());
        if (!bOk) {
            state.SkipWithError("a call failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PairCalls);

// The parts on their own.
void BM_PathFileExists(benchmark::State& state)
{
    const std::vector<std::wstring>& vecRel = Trees().Rel();
    std::vector<std::wstring> vecDisc;
    for (const std::wstring& strRel : vecRel)
        vecDisc.push_back(L"E:" + strRel);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PathFileExistsW(vecDisc[i].c_str()));
        i = (i + 1) % vecDisc.size();
    }
}
BENCHMARK(BM_PathFileExists);

void BM_OpenReadClose(benchmark::State& state)
{
    const std::vector<std::wstring>& vecRel = Trees().Rel();
    std::vector<std::wstring> vecDisc;
    for (const std::wstring& strRel : vecRel)
        vecDisc.push_back(L"E:" + strRel);
    std::size_t i = 0;
    for (auto _ : state) {
        if (!ReadWhole(vecDisc[i])) {
            state.SkipWithError("a read failed");
            break;
        }
        i = (i + 1) % vecDisc.size();
    }
}
BENCHMARK(BM_OpenReadClose);

// Mapping a path alone, without a system call: what parsing costs.
void BM_MapPath(benchmark::State& state)
{
    Trees();
    const std::wstring strPath = L"E:\\small\\d000\\f000005.dat";
    for (auto _ : state)
        benchmark::DoNotOptimize(kvwin32::MapPath(strPath.c_str()));
}
BENCHMARK(BM_MapPath);

} // namespace

BENCHMARK_MAIN();
