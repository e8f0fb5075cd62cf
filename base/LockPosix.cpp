#include "base/Lock.h"

CLock::CLock() = default;
CLock::~CLock() = default;
void CLock::lock() { m_Mutex.lock(); }
bool CLock::try_lock() { return m_Mutex.try_lock(); }
void CLock::unlock() { m_Mutex.unlock(); }
