#pragma once
// Identifiers of the Windows program's resources and of the controls of its dialogs.

#define IDI_STOWRA 101

#define IDD_MEDIA 200
#define IDD_OPTIONS 201
#define IDD_GROUP 202
#define IDD_DRIVE 203
#define IDD_REPLACE 204
#define IDD_PROGRESS 205

// The media dialog.
#define IDC_PRESET_LABEL 1000
#define IDC_PRESET 1001
#define IDC_NAME_LABEL 1002
#define IDC_NAME 1003
#define IDC_CLUSTER_LABEL 1004
#define IDC_CLUSTER 1005
#define IDC_CLUSTER_UNIT 1006
#define IDC_TOTAL_LABEL 1007
#define IDC_TOTAL 1008
#define IDC_TOTAL_UNIT 1009
#define IDC_SYSTEM_LABEL 1010
#define IDC_SYSTEM 1011
#define IDC_SYSTEM_UNIT 1012
#define IDC_SLACK_LABEL 1013
#define IDC_SLACK 1014
#define IDC_SLACK_UNIT 1015
#define IDC_FS_LABEL 1016
#define IDC_FS 1017
#define IDC_COMMENT 1018
#define IDC_GET 1019

// The options dialog: the minimum size, its label, then the eight check boxes in form order.
#define IDC_MIN 1100
#define IDC_MIN_LABEL 1101
#define IDC_CHECK_FIRST 1102

// The grouping dialog: the frame, the three choices, the warning.
#define IDC_GROUP_FRAME 1200
#define IDC_GROUP_ITEM0 1201
#define IDC_GROUP_ITEM1 1202
#define IDC_GROUP_ITEM2 1203
#define IDC_GROUP_NOTE 1204

// The drive dialog.
#define IDC_DRIVE_LABEL 1300
#define IDC_DRIVE_LIST 1301

// The replace question.
#define IDC_REPLACE_ICON 1400
#define IDC_REPLACE_TEXT 1401
#define IDC_YES_ALL 1402

// The move's progress.
#define IDC_PROGRESS_TEXT 1500
#define IDC_PROGRESS_BAR 1501
