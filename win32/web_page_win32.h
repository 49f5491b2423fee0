// Opening a web page in the owner's browser from any thread. ShellExecute
// wants COM initialised as a single-threaded apartment, which the internet
// library's worker threads are not, so the page is opened from a thread of
// its own that is (RunOnStaThread(OpenInBrowser, url)).
#pragma once

#include <string>

// On the calling thread, which must be in a single-threaded apartment.
void OpenInBrowser(const std::string& url);

// Runs work(text) on a thread of its own, COM initialised there as a
// single-threaded apartment (or as the system allows). Returns at once;
// false when the thread could not be started.
bool RunOnStaThread(void (*work)(const std::string&), const std::string& text);
