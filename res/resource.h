// Resource ids of Vantorix. Plain #defines only: this file is read by both
// the C++ compiler and windres. The numbers are fixed; the code refers to
// resources by these names.
#ifndef VANTORIX_RESOURCE_H
#define VANTORIX_RESOURCE_H

// ---------------------------------------------------------------- dialogs
#define IDD_MAIN                        102
#define IDD_PAGE_INFO                   129
#define IDD_PAGE_MEMORY                 150
#define IDD_PAGE_QUARANTINE             151
#define IDD_PAGE_SCAN                   152
#define IDD_PAGE_SHIELD                 153
#define IDD_PAGE_REPAIR                 154
#define IDD_PAGE_TOOLS                  155
#define IDD_UPDATE_NOTICE               156
#define IDD_PAGE_STARTUP                159
#define IDD_STATUS_POPUP                165

// ------------------------------------------------------- main window (102)
#define IDC_BTN_INFO                    1000
#define IDC_BTN_SHIELD                  1001
#define IDC_BTN_SCAN                    1006
#define IDC_BTN_REPAIR                  1007
#define IDC_BTN_TOOLS                   1008
#define IDC_BTN_STARTUP                 1009
#define IDC_BTN_MEMORY                  1010
#define IDC_BTN_QUARANTINE              1011

// ------------------------------------------------------ status pop-up (165)
#define IDC_POPUP_STATE                 1002
#define IDC_POPUP_TEXT                  1022

// ------------------------------------------------------ information (129)
#define IDC_INFO_STATE                  1002
#define IDC_INFO_HELP                   1005
#define IDC_INFO_WEB_LINK               1049
#define IDC_INFO_MAIL_LINK              1050
#define IDC_INFO_FEATURES               1053
#define IDC_INFO_LOGO                   1061

// ---------------------------------------------------- resident shield (153)
#define IDC_SHIELD_DELETE               1002
#define IDC_SHIELD_EMBLEM               1003
#define IDC_SHIELD_LIST                 1015
#define IDC_SHIELD_DELETE_ALL           1016
#define IDC_SHIELD_STATUS               1017

// ----------------------------------------------------------- USB scan (152)
#define IDC_SCAN_START                  1014
#define IDC_SCAN_STOP                   1015
#define IDC_SCAN_LIST                   1024
#define IDC_SCAN_STATUS                 1025
#define IDC_SCAN_DELETE                 1026
#define IDC_SCAN_DELETE_ALL             1027
#define IDC_SCAN_ANIMATION              1029

// --------------------------------------------------------- quarantine (151)
#define IDC_QUARANTINE_REFRESH          1002
#define IDC_QUARANTINE_RESTORE          1003
#define IDC_QUARANTINE_EMPTY            1004
#define IDC_QUARANTINE_LIST             1057

// ------------------------------------------------------- memory guard (150)
#define IDC_MEMORY_TERMINATE            1003
#define IDC_MEMORY_LIST                 1033
#define IDC_MEMORY_VERDICT              1056

// --------------------------------------------------- start-up programs (159)
#define IDC_STARTUP_LIST                1034
#define IDC_STARTUP_REFRESH             1035
#define IDC_STARTUP_DELETE              1036

// ------------------------------------------------------ system repair (154)
#define IDC_REPAIR_REGISTRY             1002
#define IDC_REPAIR_CLEANUP              1003
#define IDC_REPAIR_SHUTDOWN             1004
#define IDC_REPAIR_CANCEL_SHUTDOWN      1005
#define IDC_REPAIR_LIST                 1036
#define IDC_REPAIR_SHUTDOWN_STATE       1038
#define IDC_REPAIR_DELAY_MINUTES        1039
#define IDC_REPAIR_COUNTDOWN            1040
#define IDC_REPAIR_ANIMATION            1041

// ---------------------------------------------------------- USB tools (155)
#define IDC_TOOLS_SAFE_REMOVE           1002
#define IDC_TOOLS_IMMUNIZE              1030
#define IDC_TOOLS_CANCEL_IMMUNITY       1031
#define IDC_TOOLS_REMOVAL_TEXT          1054
#define IDC_TOOLS_IMMUNITY_TEXT         1055

// ------------------------------------------------------ update notice (156)
#define IDC_UPDATE_TEXT                 1058
#define IDC_UPDATE_VERSION              1059
#define IDC_UPDATE_NOW                  1060

// ----------------------------------------------------- tray menu commands
#define IDR_TRAY_MENU                   203
#define ID_TRAY_SHOW                    32774
#define ID_TRAY_SAFE_REMOVE             32772
#define ID_TRAY_IMMUNIZE                32773
#define ID_TRAY_UPDATE                  32776
#define ID_TRAY_EXIT                    1062

// ------------------------------------------------------------------ icons
#define IDI_MAIN                        128
#define IDI_AUTORUN_FILE                130
#define IDI_HIDDEN_FILE                 132
#define IDI_TRAY                        160
#define IDI_USB_DRIVE                   166
#define IDI_HELP                        191

// ----------------------------------------------- cursor, sound, animations
#define IDCUR_HAND                      137
#define IDR_ARRIVAL_SOUND               167
#define IDR_AVI_SCAN                    170
#define IDR_AVI_WORKING                 183

// ---------------------------------------------------------------- bitmaps
// Page buttons: the hover image is the coloured picture, the normal image
// the same picture greyed.
#define IDB_LOGO                        205
#define IDB_PAGE_REPAIR_HOVER           206
#define IDB_PAGE_SCAN_HOVER             207
#define IDB_PAGE_SHIELD_HOVER           208
#define IDB_PAGE_TOOLS_HOVER            209
#define IDB_PAGE_STARTUP_HOVER          210
#define IDB_PAGE_INFO_HOVER             211
#define IDB_PAGE_MEMORY_HOVER           212
#define IDB_PAGE_QUARANTINE_HOVER       213
#define IDB_SHUTDOWN                    214
#define IDB_CANCEL_SHUTDOWN             215
#define IDB_SHIELD_ACTIVE               216
#define IDB_DELETE                      218
#define IDB_STOP                        219
#define IDB_SCAN                        220
#define IDB_RESTORE                     221
#define IDB_REFRESH                     222
#define IDB_SAFE_REMOVE                 223
#define IDB_IMMUNIZE                    224
#define IDB_CANCEL_IMMUNITY             225
#define IDB_REPAIR_REGISTRY             226
#define IDB_CLEANUP                     227
#define IDB_SHIELD_EMBLEM               228
#define IDB_PAGE_INFO                   229
#define IDB_PAGE_SHIELD                 230
#define IDB_PAGE_SCAN                   231
#define IDB_PAGE_MEMORY                 232
#define IDB_PAGE_QUARANTINE             233
#define IDB_PAGE_TOOLS                  234
#define IDB_PAGE_REPAIR                 235
#define IDB_PAGE_STARTUP                236

// ---------------------------------------------------------------- strings
#define IDS_VERSION                     102
#define IDS_ERROR                       103
#define IDS_SHIELD_ACTIVE               104
#define IDS_SHIELD_INACTIVE             105
#define IDS_STATE_ACTIVE                106
#define IDS_STATE_INACTIVE              107
#define IDS_TIP_INFO                    108
#define IDS_TIP_SHIELD                  109
#define IDS_TIP_SCAN                    110
#define IDS_TIP_TOOLS                   111
#define IDS_TIP_MEMORY                  112
#define IDS_TIP_STARTUP                 113
#define IDS_TIP_REPAIR                  114
#define IDS_TIP_QUARANTINE              115
#define IDS_CONFIRM_QUIT                116
#define IDS_UNINSTALL_TITLE             120
#define IDS_UNINSTALL_QUIT              121
#define IDS_DOCUMENT_NOT_FOUND          122
#define IDS_TIP_HELP                    127
#define IDS_KEY_FEATURES                128
#define IDS_COL_THREAT                  131
#define IDS_COL_STATE                   132
#define IDS_RISKY                       133
#define IDS_NO_THREAT                   134
#define IDS_THREATS_FOUND               135
#define IDS_CONFIRM_DELETE_ALL          137
#define IDS_DELETE_PREFIX               138
#define IDS_DELETED                     139
#define IDS_DELETE_FAILED               140
#define IDS_SELECT_FILE                 141
#define IDS_REPLUG_USB                  142
#define IDS_COL_FILE                    143
#define IDS_COL_SCAN_STATE              144
#define IDS_SUSPICIOUS                  145
#define IDS_USB_NOT_FOUND               146
#define IDS_TIP_IMMUNIZE                147
#define IDS_TIP_SAFE_REMOVE             148
#define IDS_IMMUNITY_EXPLAINED          149
#define IDS_REMOVAL_EXPLAINED           150
#define IDS_CONFIRM_PROGRAMS_EXITED     151
#define IDS_PLEASE_WAIT                 152
#define IDS_CONFIRM_LOG_OFF             153
#define IDS_ROOT_VIRUS_WARNING          154
#define IDS_IMMUNITY_README             155
#define IDS_IMMUNITY_ACQUIRED           156
#define IDS_IMMUNITY_CANCELLED          157
#define IDS_AT_RISK                     158
#define IDS_COL_PROCESS                 159
#define IDS_COL_SECURITY                160
#define IDS_COL_PROCESS_PATH            161
#define IDS_COL_APPLICATION             162
#define IDS_COL_COMMAND                 163
#define IDS_COL_LOCATION                164
#define IDS_SELECT_ITEM                 165
#define IDS_NO_ITEM                     166
#define IDS_TIP_REPAIR_REGISTRY         167
#define IDS_TIP_CLEANUP                 168
#define IDS_TIP_SHUTDOWN                169
#define IDS_TIP_CANCEL_SHUTDOWN         170
#define IDS_COL_CONTENT                 171
#define IDS_COL_REPAIR_STATE            172
#define IDS_CONFIRM_CLEANUP             173
#define IDS_IE_CACHE_DELETED            175
#define IDS_CONFIRM_REPAIR              176
#define IDS_RESTORE_FOLDER_OPTIONS      177
#define IDS_RESTORE_MY_DOCUMENTS        178
#define IDS_RESTORE_RECENT_DOCUMENTS    179
#define IDS_RESTORE_HISTORY             180
#define IDS_RESTORE_FAVORITES           181
#define IDS_RESTORE_HELP                182
#define IDS_RESTORE_SEARCH              183
#define IDS_RESTORE_RUN                 184
#define IDS_RESTORE_LOG_OFF             185
#define IDS_RESTORE_TURN_OFF            186
#define IDS_RESTORE_CONTROL_PANEL       187
#define IDS_RESTORE_TASKBAR             188
#define IDS_RESTORE_WINDOWS_UPDATE      189
#define IDS_RESTORE_ACTIVE_DESKTOP      190
#define IDS_RESTORE_FILE_MENU           191
#define IDS_RESTORE_NETWORK_DRIVE       192
#define IDS_RESTORE_WEB_VIEW            193
#define IDS_RESTORE_DESKTOP_ICON        194
#define IDS_RESTORE_NETWORK_NEIGHBOR    195
#define IDS_RESTORE_INTERNET_ICON       196
#define IDS_RESTORE_RIGHT_CLICK         197
#define IDS_RESTORE_PRINTER             198
#define IDS_RESTORE_DRIVE               199
#define IDS_RESTORE_AUTORUN             200
#define IDS_RESTORE_RUN_PROGRAM         201
#define IDS_RESTORE_REGEDIT             202
#define IDS_RESTORE_SHOW_HIDDEN         203
#define IDS_RESTORE_EXTENSIONS          204
#define IDS_RESTORE_INTERNET_EXPLORER   205
#define IDS_RESTORE_NOTEPAD             206
#define IDS_INACTIVE                    207
#define IDS_ACTIVE                      208
#define IDS_COL_ORIGIN                  209
#define IDS_COL_QUARANTINE              210
#define IDS_TIP_REFRESH                 211
#define IDS_TIP_RESTORE                 212
#define IDS_TIP_EMPTY                   213
#define IDS_RESTORE_PREFIX              214
#define IDS_RESTORE_FAILED              215
#define IDS_RESTORE_SUCCEEDED           216
#define IDS_RESTORED_TO_DESKTOP         217
#define IDS_QUARANTINED_FILE_ABSENT     218
#define IDS_NOTHING_FOUND               219
#define IDS_CONFIRM_EMPTY               220
#define IDS_EMPTY_COMPLETED             221
#define IDS_ASK_DISABLE_AUTORUN         223
#define IDS_TIP_CANCEL_IMMUNITY         224
#define IDS_UPDATE_QUIT                 225
// Texts the program shows that carry no fixed id of their own.
#define IDS_REGISTRY_ACCESS_FAILED      226
#define IDS_UPDATER_NOT_FOUND           227
#define IDS_LINK_OPEN_FAILED            240
#define IDS_LINK_ERROR_OUT_OF_MEMORY    241
#define IDS_LINK_ERROR_FILE_NOT_FOUND   242
#define IDS_LINK_ERROR_PATH_NOT_FOUND   243
#define IDS_LINK_ERROR_ACCESS_DENIED    244
#define IDS_LINK_ERROR_NOT_ENOUGH_MEMORY 245
#define IDS_LINK_ERROR_BAD_FORMAT       246
#define IDS_LINK_ERROR_SHARE            247
#define IDS_LINK_ERROR_ASSOC_INCOMPLETE 248
#define IDS_LINK_ERROR_DDE_TIMEOUT      249
#define IDS_LINK_ERROR_DDE_FAIL         250
#define IDS_LINK_ERROR_DDE_BUSY         251
#define IDS_LINK_ERROR_NO_ASSOC         252
#define IDS_LINK_ERROR_DLL_NOT_FOUND    253
#define IDS_LINK_ERROR_UNKNOWN          254

#endif  // VANTORIX_RESOURCE_H
