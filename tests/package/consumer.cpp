// Creates a verifier through the installed package and runs it on a
// description that does not exist: the library must load, trace nothing
// unasked and answer with a failure code, not crash.
#include <Korvane.h>

#include <cstdio>

namespace {
DWORD CALLBACK OnEvent(UINT, LPVOID, DWORD, LPVOID)
{
    return 0;
}
} // namespace

int main()
{
    CKorvane verifier;
    FDesc desc;
    desc.strFullPath = L"C:\\nowhere\\a.txt";
    const HRESULT hr = verifier.VerifyBurning(L'E', L"/nonexistent/Media1.xml", &OnEvent, nullptr);
    if (hr != E_FAIL) {
        std::printf("expected E_FAIL, got 0x%08X\n", static_cast<unsigned>(hr));
        return 1;
    }
    std::printf("consumer: Korvane revision %d answered E_FAIL as expected\n", KORVANE_REVISION);
    return 0;
}
