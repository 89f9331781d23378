// The main dialog's control ids, the one place they are defined: plain #defines, so that the
// resource script, the application layer, the Windows shell and the end-to-end driver all read
// them from here.
#pragma once

#define KZ_IDC_INSTALL 1        // IDOK: "&Install...", the default push button
#define KZ_IDC_QUIT 2           // IDCANCEL: "&Quit", later "&Close"
#define KZ_IDC_ABOUT 3          // "&About..."
#define KZ_IDC_MAIN_FOLDER 4    // "&Specify the location of your Kestrome main folder..."
#define KZ_IDC_LOG 1000         // the read-only progress log
