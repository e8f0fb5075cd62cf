#pragma once
// A kernel-streaming filter: one opened device with its topology nodes and pins,
// the pins also sorted by data flow and communication.
#include "audio/ks/irptgt.h"
#include "audio/ks/node.h"

class CKsPin;

class CKsFilter : public CKsIrpTarget
{
public:
    char m_szFriendlyName[MAX_PATH];
    CKsList<CKsNode> m_listNodes;           // owns its nodes
    CKsList<CKsPin> m_listPins;             // owns every pin
    CKsList<CKsPin> m_listRenderSinkPins;   // the sorted lists share the pins above
    CKsList<CKsPin> m_listCaptureSourcePins;
    CKsList<CKsPin> m_listCaptureSinkPins;
    CKsList<CKsPin> m_listRenderSourcePins;
    CKsList<CKsPin> m_listBridgePins;
    char m_szFilterName[MAX_PATH];  // the device interface path

    CKsFilter(const char* szPath, HRESULT* phr);
    virtual ~CKsFilter();
    CKsFilter(const CKsFilter&) = delete;
    CKsFilter& operator=(const CKsFilter&) = delete;

    virtual HRESULT Instantiate();
    virtual HRESULT BuildNodeList();
    virtual HRESULT BuildPinList();
    virtual void ClearLists();

    HRESULT QueryPinProperty(ULONG ulPinId, const GUID& set, ULONG ulId, void* pValue, ULONG cbValue);
    HRESULT QueryPinPropertyList(ULONG ulPinId, const GUID& set, ULONG ulId, KSMULTIPLE_ITEM** ppItem);
    HRESULT SortPins();

protected:
    HRESULT PinCount(ULONG* pulCount);
    // Deletes every pin and empties all pin lists.
    void DeletePins();
};
