/* Ids shared by the resource script and the code: templates, pictures, controls and commands.
 * Plain #defines, so that the resource compiler reads this file too. */
#ifndef TOLVEN_RESOURCES_RESOURCE_IDS_H
#define TOLVEN_RESOURCES_RESOURCE_IDS_H

/* Main window */
#define IDD_MAIN_WINDOW      101
#define IDI_APPLICATION_ICON 102
#define IDR_MAIN_MENU        103
#define IDB_TOOLBAR          104
#define IDI_FOLDER           105
#define IDI_DOCUMENT         106
#define IDI_DRIVE_35         107
#define IDI_DRIVE_525        108

#define IDC_FILE_LIST    1003
#define IDC_STATUS_LINE  1004
#define IDC_INFO_TREE    1005
#define IDC_VOLUME_LABEL 1006
#define IDC_FOLDER_PATH  1007
#define IDC_TOOLBAR      105

/* Commands of the main menu and the toolbar */
#define ID_FILE_QUIT           40005
#define ID_FILE_SAVE_AS        40006
#define ID_HELP_ABOUT          40010
#define ID_FILE_NEW            40011
#define ID_FILE_OPEN           40012
#define ID_FILE_SAVE           40013
#define ID_EXPORT_BOOTSECTOR   40014
#define ID_IMPORT_BOOTSECTOR   40015
#define ID_EXPORT_BOOTCODE     40016
#define ID_IMPORT_BOOTCODE     40017
#define ID_WRITE_TO_DISK       40018
#define ID_LOAD_FROM_DISK      40019
#define ID_IMAGE_EXTRACT       40020
#define ID_IMAGE_INSERT        40021
#define ID_CLUSTER_MAP         40022
#define ID_IMAGE_INSERT_FOLDER 40023
#define ID_IMAGE_NEW_FOLDER    40024
#define ID_IMAGE_RENAME        40025
#define ID_IMAGE_PROPERTIES    40026
#define ID_EDIT_UNDO           40027
#define ID_EDIT_REDO           40028
#define ID_EDIT_DELETE         40029
#define ID_EDIT_SELECT_ALL     40030
#define ID_IMAGE_CHANGE_FORMAT 40060
#define ID_IMAGE_EXTRACT_SELECTED 40031
#define ID_EXTRACT_BUTTON      40032  // the toolbar's and Ctrl+E: the selection, else everything

/* Items of the file list's context menu (returned by the menu, never sent as WM_COMMAND) */
#define ID_LIST_OPEN          1
#define ID_LIST_INSERT        3
#define ID_LIST_EXTRACT       4
#define ID_LIST_DELETE        5
#define ID_LIST_INSERT_FOLDER 6
#define ID_LIST_NEW_FOLDER    7
#define ID_LIST_RENAME        8
#define ID_LIST_PROPERTIES    9

/* New image dialog */
#define IDD_NEW_IMAGE      111
#define IDC_NEW_LABEL      1010
#define IDC_NEW_CANCEL     1011
#define IDC_NEW_CREATE     1012
#define IDC_NEW_OEM_ID     1013
#define IDC_NEW_TYPE_LABEL 1014

/* Floppy drive dialog */
#define IDD_DRIVE           117
#define IDC_DRIVE_STEP_TEXT 1016
#define IDC_DRIVE_PROGRESS  1017
#define IDC_DRIVE_START     1018
#define IDC_DRIVE_CANCEL    1019
#define IDC_DRIVE_NO_FORMAT 1020

/* Cluster organisation dialog */
#define IDD_CLUSTER_MAP          119
#define IDC_CLUSTER_MAP_OK       1022
#define IDC_CLUSTER_MAP_FREE     1023
#define IDC_CLUSTER_MAP_USED     1024
#define IDC_CLUSTER_MAP_RESERVED 1025
#define IDC_CLUSTER_MAP_BAD      1026
#define IDC_CLUSTER_MAP_INFO     1027

/* Sector view dialog, and the commands that open it or mark a file in the cluster map */
#define ID_SECTOR_VIEW        40081
#define ID_LIST_SHOW_IN_MAP   20
#define IDD_SECTOR_VIEW       131
#define IDC_SECTOR_HEX        1060
#define IDC_SECTOR_DECODED    1061
#define IDC_SECTOR_GOTO       1062
#define IDC_SECTOR_AS_SECTOR  1063
#define IDC_SECTOR_AS_CLUSTER 1064
#define IDC_SECTOR_GO         1065
#define IDC_SECTOR_PREVIOUS   1066
#define IDC_SECTOR_NEXT       1067
#define IDC_SECTOR_CLOSE      1068
#define IDC_SECTOR_COUNT      1069

/* New folder dialog */
#define IDD_NEW_FOLDER      121
#define IDC_NEW_FOLDER_NAME 1030

/* Archive member dialog */
#define IDD_MEMBER      125
#define IDC_MEMBER_LIST 1050

/* Properties dialog */
#define IDD_PROPERTIES      123
#define IDC_PROP_LONG_NAME  1040
#define IDC_PROP_SHORT_NAME 1041
#define IDC_PROP_SIZE       1042
#define IDC_PROP_MODIFIED   1043
#define IDC_PROP_CLUSTER    1044
#define IDC_PROP_READ_ONLY  1045
#define IDC_PROP_HIDDEN     1046
#define IDC_PROP_SYSTEM     1047
#define IDC_PROP_ARCHIVE    1048

/* Change format dialog */
#define IDD_CHANGE_FORMAT      160
#define IDC_CHANGE_FORMAT_TYPE 1160
// Extraction's question about a host file of an entry's name.
#define IDD_EXTRACT_CLASH 127
#define IDC_CLASH_TEXT    1054
#define IDC_CLASH_REPLACE 1051
#define IDC_CLASH_SKIP    1052
#define IDC_CLASH_FOR_ALL 1053
// Insertion's name clashes: Keep both in the clash question; the question about a dropped image.
#define IDC_CLASH_KEEP_BOTH 1170
#define IDD_DROPPED_IMAGE   146
#define IDC_DROPPED_TEXT    1171
#define IDC_DROPPED_OPEN    1172
#define IDC_DROPPED_INSERT  1173

/* Defragment and wipe: the Image menu's commands, the cluster map's count of fragmented files */
#define ID_IMAGE_DEFRAGMENT          40120
#define ID_IMAGE_WIPE_FREE_SPACE     40121
#define IDC_CLUSTER_MAP_FRAGMENTED   1140
// Check disk: Image > Check disk... lists the findings and repairs them.
#define ID_IMAGE_CHECK_DISK 40110
#define IDD_CHECK_DISK      142
#define IDC_CHECK_LIST      1120
#define IDC_CHECK_SUMMARY   1121
#define IDC_CHECK_REPAIR    1122

/* Undelete: View > Show deleted entries, Undelete, the lost first character's question, the
   icon of deleted entries. */
#define ID_VIEW_SHOW_DELETED 40100
#define ID_EDIT_UNDELETE     40101
#define ID_LIST_UNDELETE     21
#define IDD_FIRST_CHAR       140
#define IDI_DELETED          141
#define IDC_FIRST_CHAR_TEXT  1100
#define IDC_FIRST_CHAR_EDIT  1101

/* The list's Explorer habits: the menu bar's Open and Show in cluster map, Alt+Up, the label's
 * caption */
#define ID_IMAGE_OPEN_SELECTED   40140
#define ID_IMAGE_SHOW_IN_MAP     40141
#define ID_GO_UP                 40142
#define IDC_VOLUME_LABEL_CAPTION 1190

/* Copy and paste of host files, in the Edit menu and the list's context menu */
#define ID_EDIT_COPY  40170
#define ID_EDIT_PASTE 40171
#define ID_LIST_COPY  23
#define ID_LIST_PASTE 24

/* Recently used images in the File menu, above Quit */
#define ID_FILE_RECENT_SEPARATOR 40150
#define ID_FILE_RECENT_FIRST     40151  /* to 40158, the most recent first */

#endif
