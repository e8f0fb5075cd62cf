#pragma once
// One topology node of a filter: its id and type.
#include "audio/ks/KsDefs.h"

class CKsNode
{
public:
    ULONG m_ulNodeId;
    char m_szName[4];  // "NONE", no terminator: nodes carry no name of their own
    GUID m_guidType;

    CKsNode(ULONG ulId, const GUID& type) : m_ulNodeId(ulId), m_szName{'N', 'O', 'N', 'E'}, m_guidType(type) {}
};
