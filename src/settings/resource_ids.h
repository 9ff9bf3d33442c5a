// Identifiers of the saver's resources and of the dialogs' controls. Plain
// macros, because the resource compiler reads this header too.
#pragma once

// Resources.
#define IDS_DESCRIPTION 1        // the name the display settings list
#define IDD_ABOUT 103            // About box
#define IDD_SETTINGS 7001        // configuration dialog
#define IDI_SAVER 7002           // icon group of the saver windows

// Controls of the configuration dialog (OK and Cancel are IDOK and IDCANCEL).
#define IDC_ABOUT 1019
#define IDC_DEFAULTS 1020
#define IDC_ADD_DIRECTORY 1028
#define IDC_REMOVE_DIRECTORY 1029
#define IDC_DIRECTORY_LIST 1030
#define IDC_TEXTURE_SIZE 1032
#define IDC_SECONDS_SLIDER 1035
#define IDC_SECONDS_LABEL 1036
#define IDC_MULTIMON 1037
#define IDC_PAIRS 1038

// An About box line with this id is drawn in blue (none has it today).
#define IDC_ABOUT_HIGHLIGHT 1025
