// Reading a media description the way the verifier walks it: every
// "/Factory/FILE[n]" in turn, then each entry's children by index, with
// their names and texts. The time per entry must not grow with the number
// of entries.
#include <windows.h>

#include <oleauto.h>

#include <ZRXml.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Pretty-printed with CR LF line ends, or with LF alone (bLf) as the
// description writer on Linux leaves them.
std::string Description(int nFiles, bool bLf = false)
{
    std::string str = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Factory>\r\n  <Media>\r\n    <Info>\r\n"
                      "      <Media_NumberFiles>" +
                      std::to_string(nFiles) +
                      "</Media_NumberFiles>\r\n      <Media_Size>123456789</Media_Size>\r\n    </Info>\r\n"
                      "  </Media>\r\n";
    char sz[512];
    for (int i = 1; i <= nFiles; ++i) {
        std::snprintf(
            sz, sizeof sz,
            "  <FILE>\r\n    <FullPath>C:\\Src\\d%d\\f%07d.dat</FullPath>\r\n    <Path>d%d\\</Path>\r\n"
            "    <TargetPath>\\d%d\\f%07d.dat</TargetPath>\r\n    <Name>f%07d.dat</Name>\r\n"
            "    <Attribute>32</Attribute>\r\n    <Exclusion>0</Exclusion>\r\n"
            "    <WriteTime>2026-12-08 03:08:26</WriteTime>\r\n    <FileSize>%d</FileSize>\r\n"
            "  </FILE>\r\n",
            i % 100, i, i % 100, i % 100, i, i, i * 3);
        str += sz;
    }
    str += "</Factory>\r\n";
    if (bLf) {
        size_t iOut = 0;
        for (char c : str)
            if (c != '\r')
                str[iOut++] = c;
        str.resize(iOut);
    }
    return str;
}

// Bytes the heap hands out, where the C library can tell.
long long HeapInUse()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#else
    return -1;
#endif
}

// Every entry and every child of it; returns the characters read so the
// work cannot be optimised away.
size_t WalkAll(IZRXml* pDoc)
{
    size_t cch = 0;
    wchar_t szPath[40];
    for (int n = 1;; ++n) {
        std::swprintf(szPath, 40, L"/Factory/FILE[%d]", n);
        IZRXmlNode* pEntry = nullptr;
        if (FAILED(pDoc->GetNode(szPath, &pEntry)))
            break;
        const int nChildren = pEntry->GetChildCount();
        for (int i = 0; i < nChildren; ++i) {
            IZRXmlNode* pChild = nullptr;
            if (FAILED(pEntry->GetChildAt(i, &pChild)))
                break;
            const BSTR bstrName = pChild->GetName();
            const BSTR bstrText = pChild->GetText();
            cch += SysStringLen(bstrName) + SysStringLen(bstrText);
            SysFreeString(bstrName);
            SysFreeString(bstrText);
            pChild->Release();
        }
        pEntry->Release();
    }
    return cch;
}

void LoadBench(benchmark::State& state, bool bLf)
{
    const int nFiles = static_cast<int>(state.range(0));
    const std::string str = Description(nFiles, bLf);
    IZRXml* pDoc = GetZRXmlInterface(XML_TYPE_LIBRARY_CORE);
    for (auto _ : state) {
        if (FAILED(pDoc->LoadMemory(str.data(), str.size())))
            state.SkipWithError("LoadMemory failed");
    }
    // What one loaded tree costs, the index of the root's children included.
    pDoc->LoadMemory("<x/>", 4);
    const long long llBefore = HeapInUse();
    pDoc->LoadMemory(str.data(), str.size());
    IZRXmlNode* pNode = nullptr;
    if (SUCCEEDED(pDoc->GetNode(L"/Factory/FILE[1]", &pNode)))
        pNode->Release();
    if (llBefore >= 0)
        state.counters["tree_bytes_per_entry"] = static_cast<double>(HeapInUse() - llBefore) / nFiles;
    state.counters["input_bytes_per_entry"] = static_cast<double>(str.size()) / nFiles;
    pDoc->Release();
    state.SetItemsProcessed(state.iterations() * nFiles);
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(str.size()));
    state.counters["time_per_entry"] = benchmark::Counter(
        nFiles, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Load(benchmark::State& state)
{
    LoadBench(state, false);
}

void BM_LoadLf(benchmark::State& state)
{
    LoadBench(state, true);
}

// fnPass(pDoc, nFiles) once per iteration over a loaded description of
// state.range(0) entries, timed per entry.
template <class FnPass> void PassBench(benchmark::State& state, FnPass fnPass)
{
    const int nFiles = static_cast<int>(state.range(0));
    IZRXml* pDoc = GetZRXmlInterface(XML_TYPE_LIBRARY_CORE);
    {
        const std::string str = Description(nFiles);
        if (FAILED(pDoc->LoadMemory(str.data(), str.size())))
            state.SkipWithError("LoadMemory failed");
    }
    for (auto _ : state)
        fnPass(pDoc, nFiles);
    pDoc->Release();
    state.SetItemsProcessed(state.iterations() * nFiles);
    state.counters["time_per_entry"] = benchmark::Counter(
        nFiles, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Walk(benchmark::State& state)
{
    PassBench(state, [](IZRXml* pDoc, int) { benchmark::DoNotOptimize(WalkAll(pDoc)); });
}

// The look-up alone: the node of every entry by its number, as the walk asks.
void BM_GetNode(benchmark::State& state)
{
    PassBench(state, [&state](IZRXml* pDoc, int nFiles) {
        wchar_t szPath[40];
        for (int n = 1; n <= nFiles; ++n) {
            std::swprintf(szPath, 40, L"/Factory/FILE[%d]", n);
            IZRXmlNode* pEntry = nullptr;
            if (FAILED(pDoc->GetNode(szPath, &pEntry))) {
                state.SkipWithError("GetNode failed");
                return;
            }
            pEntry->Release();
        }
    });
}

} // namespace

// --large adds descriptions of a million entries (about 330 MB of XML).
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
    for (auto* pBench : {benchmark::RegisterBenchmark("BM_Load", BM_Load),
                         benchmark::RegisterBenchmark("BM_LoadLf", BM_LoadLf),
                         benchmark::RegisterBenchmark("BM_Walk", BM_Walk),
                         benchmark::RegisterBenchmark("BM_GetNode", BM_GetNode)}) {
        pBench->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
        if (bLarge)
            pBench->Arg(1000000);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
