// Speed of the block CRC kernels on one 16 KiB block, and of the whole file
// checksum over a 256 MiB file that sits in the file cache.
// The checksum's internal headers, by their place in the tree: the verifier's
// objects do not export their source folder.
#include "../../src/checksum/CRCHelper.h"
#include "../../src/checksum/CrcKernels.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace {

using kvcrc::CRC_BLOCK_SIZE;
using kvcrc::ECrcKernel;

std::vector<BYTE> RandomBytes(size_t cb, std::uint64_t qwSeed)
{
    std::vector<BYTE> bytes(cb);
    std::uint64_t x = qwSeed | 1;
    for (BYTE& b : bytes) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        b = static_cast<BYTE>(x >> 24);
    }
    return bytes;
}

void BlockKernel(benchmark::State& state, ECrcKernel eKernel)
{
    const kvcrc::PFNBLOCKCRC pfnKernel = kvcrc::KernelFunction(eKernel);
    if (!pfnKernel) {
        state.SkipWithError("not available on this processor");
        return;
    }
    const std::vector<BYTE> block = RandomBytes(CRC_BLOCK_SIZE, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(pfnKernel(block.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * CRC_BLOCK_SIZE);
}
BENCHMARK_CAPTURE(BlockKernel, reference, ECrcKernel::Reference);
BENCHMARK_CAPTURE(BlockKernel, slicing16, ECrcKernel::Slicing16);
BENCHMARK_CAPTURE(BlockKernel, clmul, ECrcKernel::Clmul);
BENCHMARK_CAPTURE(BlockKernel, vpclmul256, ECrcKernel::Vpclmul256);
BENCHMARK_CAPTURE(BlockKernel, vpclmul512, ECrcKernel::Vpclmul512);

// What the checksum calls: the kernel chosen for this processor.
void ComputeBlockCRC(benchmark::State& state)
{
    CCRCHelper helper;
    DWORD adwTable[kvcrc::CRC_TABLE_ENTRIES];
    helper.BuildCRCTable(adwTable);
    const std::vector<BYTE> block = RandomBytes(CRC_BLOCK_SIZE, 2);
    for (auto _ : state) {
        benchmark::DoNotOptimize(helper.ComputeBlockCRC(block.data(), adwTable));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * CRC_BLOCK_SIZE);
    state.SetLabel(kvcrc::KernelName(kvcrc::ActiveKernel()));
}
BENCHMARK(ComputeBlockCRC);

// A 256 MiB file of random bytes in the temporary folder, written and read
// once before the first measurement so that it is served from the cache.
class CCachedFile {
  public:
    static const size_t SIZE = 256u << 20;

    CCachedFile()
    {
        m_path = std::filesystem::temp_directory_path() /
                 ("korvane_crc_bench_" + std::to_string(std::random_device{}()) + ".bin");
        const std::vector<BYTE> chunk = RandomBytes(1u << 20, 3);
        std::ofstream f(m_path, std::ios::binary | std::ios::trunc);
        for (size_t off = 0; off < SIZE; off += chunk.size()) {
            // A different first byte per MiB, so no two MiB are alike.
            f.put(static_cast<char>(off >> 20));
            f.write(reinterpret_cast<const char*>(chunk.data()) + 1,
                    static_cast<std::streamsize>(chunk.size() - 1));
        }
        f.close();
        m_bGood = static_cast<bool>(f);
        std::ifstream warm(m_path, std::ios::binary);
        std::vector<char> buffer(1u << 20);
        while (warm.read(buffer.data(), static_cast<std::streamsize>(buffer.size())))
            ;
    }
    ~CCachedFile()
    {
        std::error_code ec;
        std::filesystem::remove(m_path, ec);
    }
    CCachedFile(const CCachedFile&) = delete;
    CCachedFile& operator=(const CCachedFile&) = delete;

    bool Good() const { return m_bGood; }
    std::wstring Path() const { return m_path.wstring(); }

  private:
    std::filesystem::path m_path;
    bool m_bGood = false;
};

const CCachedFile& CachedFile()
{
    static const CCachedFile s_file;
    return s_file;
}

void ComputeFileCRC(benchmark::State& state)
{
    const CCachedFile& file = CachedFile();
    if (!file.Good()) {
        state.SkipWithError("cannot write the 256 MiB file");
        return;
    }
    const std::wstring strPath = file.Path();
    CCRCHelper helper;
    DWORD dwChecksum = 0;
    for (auto _ : state) {
        dwChecksum = helper.ComputeFileCRC(&kvcrc::NO_READ_REPORTS, strPath.c_str());
        benchmark::DoNotOptimize(dwChecksum);
    }
    if (dwChecksum == 0xFFFFFFFF)
        state.SkipWithError("the file did not open");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(CCachedFile::SIZE));
    state.SetLabel(kvcrc::KernelName(kvcrc::ActiveKernel()));
}
BENCHMARK(ComputeFileCRC)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
