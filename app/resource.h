// Dialog templates and their controls (shared by the resource script and the code).
#define IDD_AUDIOERROR 196
#define IDD_FIRSTRUN 197

#define IDC_AUDIOERROR_TEXT 1045
#define IDC_HELP_BUTTON 1015
#define IDC_WIN_MIXER 1013
#define IDC_NEXT 1058
#define IDC_BACK 1059
