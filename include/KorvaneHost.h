/* KorvaneHost: the verifier behind a flat C interface, for hosts that cannot
 * link Korvane.dll's C++ class (it carries GCC's name decoration) or that
 * load the library with LoadLibraryW/GetProcAddress or dlopen/dlsym.
 *
 * Plain C (C89 and C++ alike). Every text is wide (wchar_t); the commands
 * and answers of the callback, and the HRESULTs returned, are CKorvane's.
 * The functions are exported by their plain names. */
#ifndef KORVANE_HOST_H
#define KORVANE_HOST_H

#include <wchar.h>

#if defined(_WIN32)
#include <windows.h>
typedef HRESULT KORVANE_HRESULT;
typedef DWORD KORVANE_DWORD;
typedef UINT KORVANE_UINT;
#else
/* The 32-bit types of Windows, as the Win32 layer of these systems has them. */
typedef int KORVANE_HRESULT;
typedef unsigned int KORVANE_DWORD;
typedef unsigned int KORVANE_UINT;
#endif

/* The calling convention of every function and of the callback: standard
 * call on 32-bit Windows, the platform's one elsewhere. */
#if defined(_WIN32) && !defined(_WIN64)
#define KORVANE_HOST_CALL __stdcall
#else
#define KORVANE_HOST_CALL
#endif

/* Written here rather than generated: the header must serve any compiler. */
#if defined(_WIN32)
#if defined(KORVANE_HOST_EXPORTS)
#define KORVANE_HOST_API __declspec(dllexport)
#else
#define KORVANE_HOST_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) && defined(KORVANE_HOST_EXPORTS)
#define KORVANE_HOST_API __attribute__((visibility("default")))
#else
#define KORVANE_HOST_API
#endif

/* Commands (uiCmd) and answers, as in Korvane.h. */
#define CRCVERIF_BEGIN 0
#define CRCVERIF_PROGRESS 1
#define CRCVERIF_END 2
#define CRCVERIF_FILEERROR 3
#define CRCVERIF_TARGETDONE 4
#define CRCVERIF_ANSWER_SKIP 0
#define CRCVERIF_ANSWER_FAIL 1
#define CRCVERIF_ANSWER_ABORT 2
#define CRCVERIF_ERROR_DIFFERS 0
#define CRCVERIF_ERROR_MISSING 1

/* CKorvane's callback: pParam1 is null or a path of at most MAX_PATH (260)
 * wide characters, valid only during the call; pParam3 is the user pointer
 * given to KorvaneHostSetCallback. */
typedef KORVANE_DWORD(KORVANE_HOST_CALL* KORVANE_HOST_CALLBACK)(KORVANE_UINT uiCmd, void* pParam1,
                                                                KORVANE_DWORD dwParam2, void* pParam3);

/* One verifier; one run at a time on it. */
typedef struct KorvaneHostObject* KORVANE_HOST;

#ifdef __cplusplus
extern "C" {
#endif

/* A new verifier without a callback; null when no memory is left. */
KORVANE_HOST_API KORVANE_HOST KORVANE_HOST_CALL KorvaneHostCreate(void);
/* Releases the verifier; a null one is ignored. */
KORVANE_HOST_API void KORVANE_HOST_CALL KorvaneHostDestroy(KORVANE_HOST hHost);
/* The callback and user pointer of the runs that follow (null: none, every
 * problem then fails the run). E_INVALIDARG for a null verifier. */
KORVANE_HOST_API KORVANE_HRESULT KORVANE_HOST_CALL KorvaneHostSetCallback(KORVANE_HOST hHost,
                                                                          KORVANE_HOST_CALLBACK pfnCallback,
                                                                          void* pUserParam);
/* CKorvane::VerifyBurning by folder and number: "<pszFolder>\Media<iNumber>.xml"
 * (null folder: "c:\Temp"). */
KORVANE_HOST_API KORVANE_HRESULT KORVANE_HOST_CALL KorvaneHostVerifyBurning(KORVANE_HOST hHost,
                                                                            wchar_t wcDrive, int iNumber,
                                                                            const wchar_t* pszFolder);
/* CKorvane::VerifyBurning by the description file's path. */
KORVANE_HOST_API KORVANE_HRESULT KORVANE_HOST_CALL KorvaneHostVerifyFile(KORVANE_HOST hHost, wchar_t wcDrive,
                                                                         const wchar_t* pszDescription);
/* The disc checksum of one file (the sum of the CRC-32/BZIP2 values of its
 * zero-padded 16 KiB blocks); 0xFFFFFFFF when it cannot be opened. */
KORVANE_HOST_API KORVANE_DWORD KORVANE_HOST_CALL KorvaneHostFileChecksum(const wchar_t* pszPath);

#ifdef __cplusplus
}
#endif

/* The functions' types, for hosts that look them up by name. */
typedef KORVANE_HOST(KORVANE_HOST_CALL* PFN_KORVANEHOSTCREATE)(void);
typedef void(KORVANE_HOST_CALL* PFN_KORVANEHOSTDESTROY)(KORVANE_HOST);
typedef KORVANE_HRESULT(KORVANE_HOST_CALL* PFN_KORVANEHOSTSETCALLBACK)(KORVANE_HOST, KORVANE_HOST_CALLBACK,
                                                                       void*);
typedef KORVANE_HRESULT(KORVANE_HOST_CALL* PFN_KORVANEHOSTVERIFYBURNING)(KORVANE_HOST, wchar_t, int,
                                                                         const wchar_t*);
typedef KORVANE_HRESULT(KORVANE_HOST_CALL* PFN_KORVANEHOSTVERIFYFILE)(KORVANE_HOST, wchar_t, const wchar_t*);
typedef KORVANE_DWORD(KORVANE_HOST_CALL* PFN_KORVANEHOSTFILECHECKSUM)(const wchar_t*);

#endif /* KORVANE_HOST_H */
