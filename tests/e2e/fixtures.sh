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

# The transactional install. cleanup_<name> runs after every scenario that has one, also when the
# scenario failed.
prepare_copy_failure_restores_main_folder() { with_update "$1" && with_product "$1"; }

# The prefix's temporary folder, where the work folder goes.
prefix_temp() {
  local users="$WINEPREFIX/drive_c/users/$(id -un)"
  if [ -d "$users/AppData/Local/Temp" ]; then echo "$users/AppData/Local/Temp"; else echo "$users/Temp"; fi
}

# A volume of half the size of the new files, mounted over the temporary folder (needs root).
prepare_full_temp_folder_fails_extraction() {
  with_update "$1" && with_product "$1" || return 1
  "$fixture" update "$1/new" || return 1
  local bytes temp
  bytes=$(du -sb "$1/new" | cut -f1)
  rm -rf "$1/new"
  temp=$(prefix_temp)
  mkdir -p "$temp" &&
    mount -t tmpfs -o size=$(((bytes / 2 + 4095) / 4096 * 4096)),mode=0777 kz-e2e-temp "$temp" || return 1
  echo "temporary folder $temp: a volume of $(df -B1 --output=size "$temp" | tail -1 | tr -d ' ') bytes for $bytes bytes of new files"
}
verify_full_temp_folder_fails_extraction() {
  [ -z "$(ls -A "$(prefix_temp)")" ] || { echo "left in the temporary folder:"; ls -la "$(prefix_temp)"; return 1; }
}
cleanup_full_temp_folder_fails_extraction() {
  local temp
  temp=$(prefix_temp)
  if mountpoint -q "$temp"; then umount "$temp"; fi
}

# One product for each move after which the updater is killed.
crash_points="1 7 8 60"
prepare_killed_copy_recovers_on_install() {
  with_update "$1" || return 1
  local n
  for n in $crash_points; do "$fixture" product "$1/product-$n" 9 || return 1; done
}
verify_killed_copy_recovers_on_install() {
  local n old failed=0
  for n in $crash_points; do
    echo "product-$n:"
    "$fixture" verify-installed "$1/product-$n" || failed=1
    # Every program and library is now of version 6.11 (help files carry no version).
    old=$("$fixture" versions "$1/product-$n" | grep -v '\.chm ' | grep -v ' 6\.11\.' || true)
    [ -z "$old" ] || { echo "not updated:"; echo "$old"; failed=1; }
  done
  return $failed
}
prepare_killed_copy_then_failed_copy_restores_original() { with_update "$1" && with_product "$1"; }
prepare_forged_journal_changes_nothing() {
  with_update "$1" && with_product "$1" && "$fixture" forged-journal "$1/product"
}
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
