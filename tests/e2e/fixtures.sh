# What the runner prepares before a scenario (prepare_<name> SCRATCH) and checks after it
# (verify_<name> SCRATCH), on the Unix side of the prefix's C: drive; environment_<name> prints
# NAME=VALUE words for the scenario's driver and updater. <name> is a scenario of the driver's list:
# the runner refuses to start while one of these functions names none.

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

# Waits (up to a minute) for a work folder that was not in the temporary folder TEMP when called,
# and prints its path.
wait_for_work_folder() {
  local temp=$1 existing folder i
  existing=$(ls -A "$temp")
  for ((i = 0; i < 600; i++)); do
    for folder in "$temp"/~[kK][mM]*; do
      [ -d "$folder" ] && ! grep -qxF -- "$(basename "$folder")" <<< "$existing" && { echo "$folder"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

# The new work folder's Unix mode, onto which Wine maps the folder's DACL, recorded while the
# updater runs as "<name> <mode>" (name in lower case) and "temp <mode>" of its parent.
watch_work_folder() {
  local temp=$1 out=$2 folder name
  folder=$(wait_for_work_folder "$temp") || return 1
  name=$(basename "$folder")
  printf '%s %s\ntemp %s\n' "${name,,}" "$(stat -c %a "$folder")" "$(stat -c %a "$temp")" > "$out.part"
  mv "$out.part" "$out"
}
prepare_work_folder_private_install_completes() {
  with_update "$1" && with_product "$1" || return 1
  local temp
  temp=$(prefix_temp)
  mkdir -p "$temp"
  watch_work_folder "$temp" "$1/work-folder-mode.txt" < /dev/null > /dev/null 2>&1 &
}
verify_work_folder_private_install_completes() {
  cat "$1/work-folder-mode.txt" && "$fixture" verify-installed "$1/product"
}

# A symbolic link planted at bin in the new work folder, pointing at a folder outside that holds
# keep.txt; the file "linked" in the scratch folder tells the driver that it is there.
plant_link_in_work_folder() {
  local folder
  folder=$(wait_for_work_folder "$1") || return 1
  ln -s "$2/outside" "$folder/bin" && touch "$2/linked"
}
prepare_extraction_refuses_linked_entry_folder() {
  with_update "$1" && with_product "$1" || return 1
  mkdir -p "$1/outside" && echo kept > "$1/outside/keep.txt" || return 1
  local temp
  temp=$(prefix_temp)
  mkdir -p "$temp"
  plant_link_in_work_folder "$temp" "$1" < /dev/null > /dev/null 2>&1 &
}
verify_extraction_refuses_linked_entry_folder() {
  [ "$(ls -A "$1/outside")" = keep.txt ] && [ "$(cat "$1/outside/keep.txt")" = kept ] || {
    echo "the folder the link points at changed:"; ls -la "$1/outside"; return 1
  }
}
# What Wine could not remove: the planted link, and the work folder that holds it.
cleanup_extraction_refuses_linked_entry_folder() {
  local link
  for link in "$(prefix_temp)"/~[kK][mM]*/bin; do
    if [ -L "$link" ]; then rm "$link" && rmdir "$(dirname "$link")"; fi
  done
  return 0
}

# The product's bin folder moved elsewhere and a symbolic link left in its place.
prepare_copy_refuses_linked_folder() {
  with_update "$1" && with_product "$1" && mv "$1/product/bin" "$1/elsewhere" && ln -s "$1/elsewhere" "$1/product/bin"
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
