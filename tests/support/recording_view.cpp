// The recording view starts as the dialog template does: every control enabled, template captions.
#include "support/recording_view.h"

namespace kz::test {

RecordingView::RecordingView() {
  captions = {{KZ_IDC_INSTALL, "&Install..."},
              {KZ_IDC_QUIT, "&Quit"},
              {KZ_IDC_ABOUT, "&About..."},
              {KZ_IDC_MAIN_FOLDER, "&Specify the location of your Kestrome main folder..."}};
  enabled = {{KZ_IDC_INSTALL, true}, {KZ_IDC_QUIT, true}, {KZ_IDC_ABOUT, true}, {KZ_IDC_MAIN_FOLDER, true},
             {KZ_IDC_LOG, true}};
}

}  // namespace kz::test
