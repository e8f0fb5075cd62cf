#pragma once
// What stream control needs of kernel streaming: the device names for the Options
// dialog's lists and the audio thread. The kernel-streaming library provides these.
struct AudioDriverEntry;

// 1 with the capture and render names filled in; 0 when the failure was already
// shown to the user.
int EnumKsDeviceNames(AudioDriverEntry* pEntry);
// Starts the audio thread at the highest thread priority with the four command
// events; its handle, or null.
void* CreateCaptureThread(void** phEvents);
