# What the runner prepares before a scenario (prepare_<name> SCRATCH) and checks after it
# (verify_<name> SCRATCH), on the Unix side of the prefix's C: drive.

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
