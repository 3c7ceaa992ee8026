#pragma once

namespace vellumin::app {

// With VELLUMIN_SCREENSHOTS=<folder> set, drives the program through its windows once and saves
// each as a PNG: the home screen (DRIVE bar hovered) "home.png", any message box
// "notice.png", the main window on pages 1 to 6 "page-<n>.png" (only page 1 when no drive is
// listed), page 5 for the lab drive offered a newer firmware in its offer, downloading and
// finished states "page-5-offer.png", "page-5-downloading.png", "page-5-finished.png" (the file
// goes to a temporary folder), then the erase page's states "erase-security.png",
// "erase-vendor.png", "erase-refused.png" (each on the first listed drive that shows it), and on
// the simulated lab only, a Full Erase on its vendor-erase drive with its confirmation
// "erase-confirm.png", its elapsed time "erase-running.png" and its completion
// "erase-done.png", then closes the main window, which ends the program.
// VELLUMIN_SCREENSHOT_PREFIX is put before every file name. Does nothing without the variable.
void ArmScreenshotsFromEnvironment();

}  // namespace vellumin::app
