# What the runner prepares before a scenario (prepare_<name> SCRATCH) and checks after it
# (verify_<name> SCRATCH), on the Unix side of the prefix's C: drive; environment_<name> prints
# NAME=VALUE words for the scenario's driver and updater.

fixture="$repo/build/native/tests/e2e/fixture/kz_e2e_fixture"

with_update() { "$fixture" form "$1/update.kz6"; }
with_product() { "$fixture" product "$1/product" 9; }

prepare_merge_succeeds() { with_update "$1"; }
prepare_merge_fails_on_unwritable_target() { with_update "$1"; }
prepare_install_complete() { with_update "$1" && with_product "$1"; }
prepare_install_stopped_by_file_in_use() { with_update "$1" && with_product "$1"; }
prepare_failed_install_work_folder_removed() {
  "$fixture" form "$1/damaged.kz6" --corrupt-last && with_product "$1"
}
prepare_merged_updater_installs_picked_folder() { with_update "$1" && with_product "$1"; }

verify_install_complete() { "$fixture" verify-installed "$1/product"; }
verify_install_stopped_by_file_in_use() { "$fixture" verify-installed "$1/product"; }

# A product whose folder name ends in a double-byte character with 0x5C as its second byte ("表").
prepare_double_byte_main_folder_installs() { with_update "$1" && "$fixture" product "$1/表" 9; }
environment_double_byte_main_folder_installs() { echo LC_ALL=ja_JP.UTF-8; }
verify_double_byte_main_folder_installs() { "$fixture" verify-installed "$1/表"; }

# Drive K: of the prefix is the scratch folder's product, so that a main folder can be a drive root.
prepare_main_folder_drive_root_installs() {
  with_update "$1" && with_product "$1" && ln -sfn "$1/product" "$WINEPREFIX/dosdevices/k:"
}
verify_main_folder_drive_root_installs() {
  rm -f "$WINEPREFIX/dosdevices/k:"
  "$fixture" verify-installed "$1/product"
}
prepare_folder_pick_drive_root_installs() {
  with_update "$1" && with_product "$1" && ln -sfn "$1/product" "$WINEPREFIX/dosdevices/l:"
}
verify_folder_pick_drive_root_installs() {
  rm -f "$WINEPREFIX/dosdevices/l:"
  "$fixture" verify-installed "$1/product"
}
environment_win32_path_service_double_byte() { echo LC_ALL=ja_JP.UTF-8; }
