// Resource ids of vkupdate.exe, shared by the resource script and the code.
#pragma once

// Progress dialog: the update pass.
#define IDD_PROGRESS 101
#define IDC_STATUS 100
#define IDC_PROGRESS_BAR 1001
#define IDC_PERCENT 1002

// Summary dialog.
#define IDD_SUMMARY 102
#define IDC_SUCCESS_BANNER 1003
#define IDC_UPDATED_LIST 1004
#define IDC_FAILED_LIST 1005
#define IDC_RIGHT_GROUP 1006
#define IDC_FAILURE_BANNER 1007

// The program's icon.
#define IDI_VKUPDATE 103

// String table.
#define IDS_FAILURE_BANNER 2
#define IDS_APP_NAME 3
#define IDS_BAD_COMPONENTS 4
#define IDS_ERROR_CAPTION 5
#define IDS_NO_SETUP_INI 6
#define IDS_BAD_EXECUTE_SECTION 7
#define IDS_NO_SETUP_PROGRAM 8
#define IDS_ALL_UP_TO_DATE 9
#define IDS_NO_PROBLEMS 10
#define IDS_TITLE_RAMPART 11
#define IDS_TITLE_DUSKFALL 12
#define IDS_TITLE_TUNNELRUN 13
#define IDS_TITLE_BLOTBALL 14
#define IDS_TITLE_SPELLGALE 15
#define IDS_TITLE_CUESHOT 16
#define IDS_TITLE_WARBANDS 17
#define IDS_TITLE_QUIZHALL 18
#define IDS_SUCCESS_BANNER 19
