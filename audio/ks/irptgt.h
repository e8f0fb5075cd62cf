#pragma once
// The base of every object that owns a device handle: synchronous property
// requests over overlapped I/O.
#include "audio/ks/KsDefs.h"

class CKsIrpTarget
{
public:
    HANDLE m_handle = INVALID_HANDLE_VALUE;

    static bool IsValidHandle(HANDLE h) { return KsHandleValid(h); }

    // One request, waited for; size queries (no output buffer) answer with the size.
    static HRESULT SyncIoctl(HANDLE h, ULONG ulCode, void* pIn, ULONG cbIn, void* pOut, ULONG cbOut, ULONG* pcbReturned);
    // A new KSMULTIPLE_ITEM buffer (free with KsFree); nothing allocated on failure.
    HRESULT QueryPropertyList(const GUID& set, ULONG ulId, KSMULTIPLE_ITEM** ppItem);
    HRESULT SetProperty(const GUID& set, ULONG ulId, void* pValue, ULONG cbValue, void* pExtra, ULONG cbExtra);
    BOOL Close();

protected:
    // The size query and the query itself of a property list, for any property input.
    static HRESULT QueryList(HANDLE h, void* pProperty, ULONG cbProperty, KSMULTIPLE_ITEM** ppItem);
};
