// Resource identifiers shared by the resource script and the program.
// Plain #defines, so that windres can read this file too.
#ifndef VELMOR_RES_RESOURCE_H
#define VELMOR_RES_RESOURCE_H

// String table
#define IDS_DISPLAY_NAME      5101  // uninstall entry "DisplayName"
#define IDS_HELP_SHORTCUT     5102  // help shortcut in the program group
#define IDS_MANUAL_SHORTCUT   5103  // console manual shortcut
#define IDS_UNINSTALL_CAPTION 5104  // caption of every message box
#define IDS_UNINSTALL_DONE    5105  // "warning" notice, first line
#define IDS_DELETE_BY_HAND    5106  // "warning" notice, format with the program path
#define IDS_CONFIRM_UNINSTALL 5107  // confirmation question
#define IDS_CANNOT_OPEN_LIST  5108  // format with the list file name
#define IDS_PROGID_VMZ        5109  // description of the ProgID Velmor
#define IDS_PROGID_ZIP        5110  // description of the ProgID Velmor.ZIP
#define IDS_PROGID_REV        5111  // description of the ProgID Velmor.REV
#define IDS_HOME_PAGE         5112  // product home page address
#define IDS_SHORTCUT_COMMENT  5113  // description of every shortcut
#define IDS_RESTART_NEEDED    5114  // restart notice

// The help button of every dialog
#define IDC_HELPBUTTON        9

// SETUPDLG
#define IDC_TYPE_FIRST        5101  // 5101..5114: archive type rows 0..13
#define IDC_TYPE_LAST         5114
#define IDC_DESKTOP           5115
#define IDC_STARTMENU         5116
#define IDC_PROGRAMS          5117
#define IDC_SHELLEXT          5118
#define IDC_CASCADED          5119
#define IDC_MENUICONS         5120
#define IDC_SELECTALL         5121
#define IDC_EXPLANATION       5122
#define IDC_CONTEXTITEMS      5123

// CONTEXTITEMS: 101..111, one check box per context menu item
#define IDC_ITEM_FIRST        101
#define IDC_ITEM_LAST         111

// DONEDLG
#define IDC_DONE_FOLDER       5101
#define IDC_DONE_RUN          5102
#define IDC_DONE_HELP         5103
#define IDC_DONE_LICENSE      5104
#define IDC_DONE_ORDER        5105
#define IDC_DONE_HOMEPAGE     5106
#define IDC_DONE_THANKS       5107
#define IDC_DONE_PAID         5108
#define IDC_DONE_VISIT        5109

#endif
