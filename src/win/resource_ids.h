// Resource and control ids of the updater, shared by the resource script and the Windows shell.
#pragma once

#define KZ_IDD_UPDATE 102
#define KZ_IDD_ABOUT 129
#define KZ_IDI_APP 128
#define KZ_DLG_ASK_FOLDER "DlgKMAskFolder"

// Main dialog: its controls' ids are the application layer's.
#include "app/dialog_ids.h"

// About box: the title line and the maker's notice.
#define KZ_IDC_ABOUT_TITLE 202
#define KZ_IDC_ABOUT_NOTICE 203

// Folder picker's child template: the common dialog's placeholder and the read-only folder field.
#define KZ_IDC_PICK_PLACEHOLDER 1119
#define KZ_IDC_PICK_FOLDER 1002
