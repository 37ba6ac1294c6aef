// What finding a name under another case costs: 10,000 lookups in one folder
// whose names are all spelled otherwise, against the same lookups spelled
// exactly. The folder's listing is dropped before each pass, so a pass pays
// for the one listing it makes. Target: folded / exact <= 3 (the "ratio").
#include <kvwin32.h>
#include <windows.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFiles = 10000;

class CFolder {
  public:
    CFolder()
    {
        m_root = std::filesystem::temp_directory_path() / ("kvbench_case_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_root / "Disc");
        for (int i = 0; i < kFiles; ++i) {
            char szName[32];
            std::snprintf(szName, sizeof szName, "File%05d.dat", i);
            std::ofstream(m_root / "Disc" / szName, std::ios::binary) << 'k';
            std::snprintf(szName, sizeof szName, "%05d", i);
            const std::wstring strNumber(szName, szName + 5);
            m_vecExact.push_back(L"G:\\Disc\\File" + strNumber + L".dat");
            m_vecFolded.push_back(L"G:\\DISC\\FILE" + strNumber + L".DAT");
        }
        setenv("KORVANE_DRIVE_G", m_root.c_str(), 1);
    }
    ~CFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    const std::vector<std::wstring>& Exact() const { return m_vecExact; }
    const std::vector<std::wstring>& Folded() const { return m_vecFolded; }

  private:
    std::filesystem::path m_root;
    std::vector<std::wstring> m_vecExact, m_vecFolded;
};

const CFolder& Folder()
{
    static const CFolder s_folder;
    return s_folder;
}

using Seconds = std::chrono::duration<double>;

template <typename FnLookup>
double Pass(const std::vector<std::wstring>& vecPaths, FnLookup fnLookup, benchmark::State& state)
{
    kvwin32::ForgetFolderListings();
    const auto t0 = std::chrono::steady_clock::now();
    for (const std::wstring& strPath : vecPaths)
        if (!fnLookup(strPath.c_str()))
            state.SkipWithError("a lookup failed");
    return Seconds(std::chrono::steady_clock::now() - t0).count();
}

template <typename FnLookup> void Compare(benchmark::State& state, FnLookup fnLookup)
{
    const CFolder& folder = Folder();
    double dExact = 0, dFolded = 0;
    for (auto _ : state) {
        dExact += Pass(folder.Exact(), fnLookup, state);
        dFolded += Pass(folder.Folded(), fnLookup, state);
    }
    const double cIter = static_cast<double>(state.iterations());
    state.counters["exact_us"] = dExact / cIter * 1e6;
    state.counters["folded_us"] = dFolded / cIter * 1e6;
    state.counters["ratio"] = dExact > 0 ? dFolded / dExact : 0;
}

void BM_CaseAttributes(benchmark::State& state)
{
    Compare(state, [](const wchar_t* psz) { return GetFileAttributesW(psz) != INVALID_FILE_ATTRIBUTES; });
}
BENCHMARK(BM_CaseAttributes)->Unit(benchmark::kMillisecond);

void BM_CaseOpenClose(benchmark::State& state)
{
    Compare(state, [](const wchar_t* psz) {
        HANDLE h = CreateFileW(psz, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        return h != INVALID_HANDLE_VALUE && CloseHandle(h);
    });
}
BENCHMARK(BM_CaseOpenClose)->Unit(benchmark::kMillisecond);

} // namespace
