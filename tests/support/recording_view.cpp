// The recording view starts as the dialog template does: every control enabled, template captions.
#include "support/recording_view.h"

namespace kz::test {

RecordingView::RecordingView() {
  captions = {{1, "&Install..."},
              {2, "&Quit"},
              {3, "&About..."},
              {4, "&Specify the location of your Kestrome main folder..."}};
  enabled = {{1, true}, {2, true}, {3, true}, {4, true}, {1000, true}};
}

}  // namespace kz::test
