#pragma once
// What stream control needs of kernel streaming: the device names for the Options
// dialog's lists and the audio thread. The kernel-streaming library provides these.
struct AudioDriverEntry;

// 1 with the capture and render names filled in, else 0. On failure with
// bReportFailure the user is shown why and the program quits, as with no other
// driver there is nothing to run on; without it the failure is only logged.
int EnumKsDeviceNames(AudioDriverEntry* pEntry, bool bReportFailure);
// Starts the audio thread at the highest thread priority with the four command
// events; its handle, or null.
void* CreateCaptureThread(void** phEvents);
// Waits until the latest audio thread (g_hCaptureThread) has ended, at most
// dwDeadlineMs, delivering the messages other threads send to this one meanwhile:
// the thread's end report is one. True when it has ended or none was started.
bool WaitForCaptureThreadEnd(unsigned long dwDeadlineMs);
