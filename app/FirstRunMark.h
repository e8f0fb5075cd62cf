#pragma once
// The mark an earlier run leaves, so the first-run pages are shown once. It is a
// value under the user's own registry key: the uninstaller removes only the
// machine's key, so a reinstall does not show the pages to the same player again,
// while another user of the computer, new to the program, sees them. Windows only.

// 1 when an earlier run left its mark.
int FindFirstRunMark();
void WriteFirstRunMark();
