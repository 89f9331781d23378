// Steps that the keyboard, registry-value, picker and code-page scenarios share.
#pragma once

#include <windows.h>

#include <string>

#include "scenario.h"

namespace e2e {

// The first log line for a main folder spelt exactly as the updater must show it (its trailing
// backslash included), for folders whose last byte alone does not tell whether one is there.
std::string locationLineShowing(const std::string& shownFolder);
// The log of a completed install whose first line is firstLine.
std::string completedLogAfter(const std::string& firstLine);

// Merges the scratch folder's update.kz6 into a copy of the updater (tool\kaem_update611.exe) with
// the updater's own merge command; the merged updater's path, or "" (and a failed check).
std::string mergeUpdate(Env& env);

// A key pressed and released in dialog's thread, sent to the focused control (or the dialog), where
// the dialog's own keyboard handling sees it.
void pressKey(HWND dialog, UINT virtualKey);

// Opens the picker from the main dialog, types fileName where the hidden file-name field takes it
// and presses OK; true when the picker closed.
bool pickThroughFileName(Env& env, HWND dialog, DWORD pid, const std::string& fileName);
HWND openPickerOf(Env& env, HWND dialog, DWORD pid);
void typeFileName(HWND picker, const std::string& fileName);
// Types fileName where the hidden file-name field takes it and presses OK.
void chooseThrough(HWND picker, const std::string& fileName);
// Waits for the picker of pid to close; true when it did (the check is named what).
bool pickerClosed(Env& env, DWORD pid, const std::string& what);
// Makes a product main folder (its data sub-folders but skip), records it machine-wide and opens
// the updater's main dialog; nullptr (the process ended, a failed check) when it does not come.
HWND openOverProduct(Env& env, Process& process, const std::string& product, const std::string& skip = "");

// Presses Install and waits until the run has ended; the final log.
std::string installAndWait(HWND dialog);
// With the dialog showing shownLine for mainFolder: that line, an install that completes, the folder
// recorded machine-wide as it was given, and Close ending the updater without a question.
void expectInstallsInto(Env& env, HWND dialog, Process& process, const std::string& mainFolder,
                        const std::string& shownLine);

// Presses Close after a completed install and expects the updater to end without any question;
// a question that shows meanwhile fails the check (and is answered, so that the updater ends).
void closeWithoutQuestionAsked(Env& env, HWND dialog, Process& process);

}  // namespace e2e
