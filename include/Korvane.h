// Korvane: verification of a burned disc against its media description.
//
// The host creates a CKorvane, calls VerifyBurning with the drive letter of
// the disc, and receives one HRESULT. While the check runs, the library calls
// the host's CRCVERIFCB with the commands below, on the caller's thread.
#pragma once

// Every text the library takes is wide and the DLL has only the W functions;
// without UNICODE, TCHAR would be char and the calls would name members the
// DLL does not export.
#ifndef UNICODE
#error                                                                                                       \
    "Korvane.h needs UNICODE (and _UNICODE) defined: Korvane.dll has only the wide functions (TCHAR must be wchar_t)"
#endif

#include <windows.h>

#include "KorvaneExport.h"
#include "KorvaneRevision.h"
#include "ZRString.h"
#include "ZRXml.h"

// Commands (uiCmd) sent to the host.
#define CRCVERIF_BEGIN 0      // dwParam2: total work (revision 1.1: MiB; 1.0: file count)
#define CRCVERIF_PROGRESS 1   // dwParam2: MiB done (revision 1.1); the file count (1.0)
#define CRCVERIF_END 2        // dwParam2: the file count
#define CRCVERIF_FILEERROR 3  // pParam1: path; dwParam2: 1 missing, 0 differs
#define CRCVERIF_TARGETDONE 4 // revision 1.1 only

// Host answers.
#define CRCVERIF_ANSWER_SKIP 0
#define CRCVERIF_ANSWER_FAIL 1
#define CRCVERIF_ANSWER_ABORT 2

// dwParam2 of CRCVERIF_FILEERROR.
#define CRCVERIF_ERROR_DIFFERS 0
#define CRCVERIF_ERROR_MISSING 1

// pParam3 is always the user pointer given to VerifyBurning. A non-null
// pParam1 points at a MAX_PATH buffer valid only during the call.
typedef DWORD(CALLBACK* CRCVERIFCB)(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3);

// One source/target pair (a file, or a folder).
struct KORVANE_API FDesc {
    FDesc();
    FDesc(const FDesc& other);
    FDesc& operator=(const FDesc& other);
    ~FDesc();

    CZRPathString strFullPath;   // source on the hard disk
    CZRString strPath;           // the entry's Path text, carried along
    CZRPathString strTargetPath; // target on the disc: "E:\dir\name"
    DWORD dwAttribute;           // FILE_ATTRIBUTE_DIRECTORY marks a folder entry
    CZRString strWriteTime;      // the entry's WriteTime text, carried along
    __int64 iSize;               // the entry's FileSize, carried along
};

class KORVANE_API CKorvane {
  public:
    CKorvane();
    CKorvane(const CKorvane& other);
    CKorvane& operator=(const CKorvane& other);
    virtual ~CKorvane();

    // Verifies medium iNumber described by "<strFilePath>\Media<iNumber>.xml"
    // (or "c:\Temp\Media<iNumber>.xml" when strFilePath is null).
    HRESULT VerifyBurning(TCHAR tchDrvLetter, int iNumber, LPCTSTR strFilePath, CRCVERIFCB lpCB,
                          LPVOID lpUserParam);
    // Verifies the medium described by the file strXMLFilePath.
    HRESULT VerifyBurning(TCHAR tchDrvLetter, LPCTSTR strXMLFilePath, CRCVERIFCB lpCB, LPVOID lpUserParam);

#if KORVANE_REVISION >= 11
    // Progress accounting fed by the checksum with each count of bytes read.
    DWORD CBProgress(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pPraram3);
#endif

  protected:
    DWORD GetFileCount(LPCTSTR strXMLFilePath);
#if KORVANE_REVISION >= 11
    __int64 GetMediaSize(LPCTSTR strXMLFilePath);
#endif
    HRESULT GetFileChild(CZRString& strValue, IZRXmlNode* pRuleNode, LPCTSTR strChildName);
    HRESULT GetFileFullPath(CZRPathString& strFullPath, IZRXmlNode* pNode);
    HRESULT GetFilePath(CZRString& strFilePath, IZRXmlNode* pNode);
    HRESULT GetFileTargetPath(CZRPathString& strTargetPath, IZRXmlNode* pNode);
    HRESULT GetFileName(CZRString& strFileName, IZRXmlNode* pNode);
    HRESULT GetFileAttribute(DWORD& dwAttribute, IZRXmlNode* pNode);
    HRESULT GetFileExclusion(DWORD& dwExclusion, IZRXmlNode* pNode);
    HRESULT GetFileWriteTime(CZRString& strWriteTime, IZRXmlNode* pNode);
    HRESULT GetFileSize(__int64& iSize, IZRXmlNode* pNode);

    HRESULT CheckFileCRC(FDesc* pFDesc);
    HRESULT CheckDirCRC(FDesc* pFDesc);

    IZRXml* m_pXml;
    DWORD m_dwFileCount;
#if KORVANE_REVISION >= 11
    __int64 m_llBytesDone;
    DWORD m_dwLastMiB;
    BOOL m_bAbortVerif;
#endif
    CRCVERIFCB m_lpCB;
    LPVOID m_lpUserParam;

  private:
    // The walk of the entries, shared by both revisions' drivers.
    friend class CEntryWalk;
};
