// Resource and control ids, each named once. Shared by the resource script and the code.
#pragma once

#define IDI_APP_ICON 101
#define IDB_LOGO 201

#define IDC_PRINTER_COMBO 101
#define IDC_FORM_LIST 102
#define IDC_NAME_EDIT 103
#define IDC_WIDTH_EDIT 104
#define IDC_HEIGHT_EDIT 105
#define IDC_ADD_BUTTON 106
#define IDC_MODIFY_BUTTON 107
#define IDC_DELETE_BUTTON 108
#define IDC_REFRESH_BUTTON 109
#define IDC_STATUS_TEXT 110
#define IDC_CUSTOM_ONLY_CHECK 111
#define IDC_SEARCH_EDIT 112
#define IDC_PRESET_HALF 113
#define IDC_PRESET_THIRD 114
#define IDC_PRESET_101 115
#define IDC_PRESET_127 116

// The form list's context menu.
#define IDM_CURRENT_DEFAULT 301
#define IDM_DEFAULT_FOR_USER 302
#define IDM_DEFAULT_FOR_ALL 303
#define IDM_CHECK_PAPER 304
