// The checksum of one small file against reading it through the same file
// calls: what the checksum adds per file (its two heap blocks, the table,
// clearing and summing a whole 16 KiB block) next to open, read and close.
#include <windows.h>

#include "KorvaneChecksum.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

namespace fs = std::filesystem;

class CSmallFile {
  public:
    CSmallFile() : m_path(fs::temp_directory_path() / "korvane_small_file_bench.dat")
    {
        FILE* pFile = std::fopen(m_path.string().c_str(), "wb");
        if (!pFile)
            return;
        for (int i = 0; i < 1024; ++i)
            std::fputc(i * 7, pFile);
        m_bGood = std::fclose(pFile) == 0;
    }
    ~CSmallFile()
    {
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    CSmallFile(const CSmallFile&) = delete;
    CSmallFile& operator=(const CSmallFile&) = delete;

    bool Good() const { return m_bGood; }
    std::wstring Path() const { return m_path.wstring(); }

  private:
    fs::path m_path;
    bool m_bGood = false;
};

const CSmallFile& SmallFile()
{
    static const CSmallFile s_file;
    return s_file;
}

// Open, 16 KiB reads until a short one, close: the calls a checksum cannot do without.
void BM_SmallFileRead(benchmark::State& state)
{
    if (!SmallFile().Good()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    const std::wstring strPath = SmallFile().Path();
    static BYTE s_abBlock[16384];
    for (auto _ : state) {
        HANDLE hFile =
            CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) {
            state.SkipWithError("the file did not open");
            return;
        }
        DWORD dwRead = 0;
        do {
            dwRead = 0;
            ReadFile(hFile, s_abBlock, sizeof s_abBlock, &dwRead, nullptr);
        } while (dwRead == sizeof s_abBlock);
        CloseHandle(hFile);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SmallFileRead);

void BM_SmallFileChecksum(benchmark::State& state)
{
    if (!SmallFile().Good()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    const std::wstring strPath = SmallFile().Path();
    DWORD dwSum = 0;
    for (auto _ : state) {
        dwSum = KorvaneFileChecksum(strPath.c_str());
        benchmark::DoNotOptimize(dwSum);
    }
    if (dwSum == 0xFFFFFFFF)
        state.SkipWithError("the file did not open");
}
BENCHMARK(BM_SmallFileChecksum);

} // namespace
